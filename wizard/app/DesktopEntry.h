// The wizard's freedesktop desktop entry: the text the desktop reads to start the wizard for a
// camera or a memory card. Pure text functions, shared by /register and the installer.
#pragma once

#include <optional>
#include <string>
#include <string_view>

// The entry's file name, which is also its desktop id in mimeapps.list.
inline constexpr const char* kWizardDesktopId = "net.velmora.snapferry.desktop";
inline constexpr const char* kWizardIconName = "net.velmora.snapferry";
// Cards and cameras that carry a DCIM folder.
inline constexpr const char* kCameraContentType = "x-content/image-dcf";
// Where /register keeps the default it replaced, so that /unregister can give it back.
inline constexpr const char* kPreviousDefaultKey = "X-Velmora-Previous-Default";

// A string value as a desktop entry writes it: backslash, newline, tab and carriage return
// escaped, and a leading space written as "\s" so that readers do not drop it.
std::string EscapeDesktopEntryValue(std::string_view value);
// The reverse; an unknown escape keeps its character.
std::string UnescapeDesktopEntryValue(std::string_view value);

// One argument of an Exec key, double-quoted, with '"', '`', '$' and '\' escaped by a backslash
// and '%' doubled. The result is still to be escaped as a string value (which doubles the
// backslashes again).
std::string QuoteDesktopExecArgument(std::string_view argument);

// The entry that starts `programPath` with "/autoplay %u" for x-content/image-dcf, hidden from
// menus. `name` and `comment` go in as given (the caller loads them; `name` must not be empty);
// an empty comment leaves the Comment key out. Ends with a newline, so keys can be appended.
std::string WizardDesktopEntryText(const std::string& name, const std::string& comment,
                                   const std::string& icon, const std::string& programPath);

// The unescaped value of `key` in the [Desktop Entry] group of an entry's text; nullopt when the
// key is not there.
std::optional<std::string> DesktopEntryValue(std::string_view text, std::string_view key);
