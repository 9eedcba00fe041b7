// The relay's addresses and the web folder it hands out: the link lookup's address, the
// checks every address passes before it is handed to the desktop, and the WebDAV location of a
// web folder. Pure functions: nothing here touches the network or the desktop.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// Addresses, links and names are held in 255 characters; a longer one is refused, never cut
// (a cut address names another place).
inline constexpr std::size_t kMaxAddressLength = 255;

// Letters A to Z become a to z; every other byte stays.
std::string AsciiLowerCase(std::string_view text);

// Escapes every byte but the unreserved characters (letters, digits, "-._~") as %XX, so that a
// name always stays one query value.
std::string PercentEscape(std::string_view text);

// An address that may be handed to the desktop: "http://" or "https://" (any letter case), a
// host, at most kMaxAddressLength characters, and no blank or control character. Anything else
// (another scheme, a local path, an option-like text) is never opened.
bool IsOpenableWebAddress(std::string_view address);

// "www." + relay domain.
std::string RelayHost(std::string_view relayDomain);

// The relay's link lookup, http://www.DOMAIN/getmydisk?d=SERVER&u=USER with both names
// escaped; none when it would be longer than kMaxAddressLength.
std::optional<std::string> LinkLookupAddress(std::string_view relayDomain, std::string_view server,
                                             std::string_view user);

// The web folder behind an openable link as a WebDAV location for the desktop's file manager:
// http://... becomes dav://..., https://... becomes davs://...; none for a link that is not
// openable.
std::optional<std::string> WebFolderLocation(std::string_view link);

// "USER on SERVER.DOMAIN", the name under which a web folder is shown.
std::string WebFolderDisplayName(std::string_view user, std::string_view server,
                                 std::string_view relayDomain);
