// Branding: settings.ini beside the programs, and the branded texts built from the resource
// texts with "%p" (product name) and, in the launcher, "%v" (server device name) replaced.
// Nothing is cached: settings.ini is read on every call, so an edited file takes effect at the
// next text, and every function may be called from any thread.
#pragma once

#include "common/resources/ResourceManager.h"

#include <span>
#include <string>
#include <string_view>
#include <type_traits>

inline constexpr const char* kSettingsFileName = "settings.ini";
inline constexpr const char* kDefaultSection = "Default";
inline constexpr const char* kDefaultProductName = "Velmora";
// The relay domain when settings.ini names none.
inline constexpr const char* kDefaultRelayDomain = "velmora-relay.example";
inline constexpr const char* kDefaultFamilyLibrary = "FamilyLibrary";
inline constexpr const char* kDefaultMyLibrary = "MyLibrary";
inline constexpr const char* kDefaultFamilyPhotos = "FamilyPhotos";
inline constexpr const char* kDefaultMyPhotos = "MyPhotos";

// Longest values the two readers return, in characters.
inline constexpr size_t kLauncherValueLimit = 255;
inline constexpr size_t kWizardValueLimit = 254;

// The directory of the running program, ending with the platform's separator. The environment
// variable VELMORA_PROGRAM_DIR, when set and not empty, names it instead (for tools and tests).
std::string GetProgramDirectory();

// The launcher's reader: [section] key, at most 255 characters; the default when the file,
// section or key is missing.
std::string ReadBrandingString(const std::string& section, const std::string& key,
                               const std::string& defaultText);
// The wizard's reader: section "Default", at most 254 characters.
std::string ReadBrandingString(const std::string& key, const std::string& defaultText);
// The leading sign and decimal digits of the value (0 when there are none; out-of-range values
// are held at the int limits), or the default when the key is missing.
int ReadBrandingInt(const std::string& section, const std::string& key, int defaultValue);

// [Domain] Domain, or kDefaultRelayDomain.
std::string ReadRelayDomain();
// The library share: "mylibrary" (personal) or "familylibrary" (family), wizard reader.
std::string LibraryShareName(bool personalLibrary);
// `folderName` when it is not empty, else the library's default picture folder ("myphotos" or
// "familyphotos").
std::string PictureFolderName(bool personalLibrary, const std::string& folderName);

// The text of a string id with its placeholders replaced; empty when the id is missing or no
// resource manager exists. The launcher replaces %p and %v, the wizard %p only (the program is
// the resource manager's; the launcher's rules when there is none). Each placeholder of the
// text is replaced once: a name that itself holds "%p" or "%v" is inserted as it is.
std::string LoadBrandedText(unsigned id);

namespace branding_detail {

struct FormatArg {
    enum class Kind { Integer, Text, Real };
    Kind kind = Kind::Integer;
    // An integer as its own type's signed and unsigned readings, as printf would see it.
    long long asSigned = 0;
    unsigned long long asUnsigned = 0;
    std::string_view text;
    double real = 0;
};

template <class T> FormatArg MakeFormatArg(const T& value) {
    using Arg = FormatArg;
    if constexpr (std::is_same_v<T, bool>) {
        return {Arg::Kind::Integer, value ? 1 : 0, value ? 1u : 0u, {}, 0};
    } else if constexpr (std::is_enum_v<T>) {
        return MakeFormatArg(static_cast<std::underlying_type_t<T>>(value));
    } else if constexpr (std::is_integral_v<T>) {
        return {Arg::Kind::Integer,
                static_cast<long long>(static_cast<std::make_signed_t<T>>(value)),
                static_cast<unsigned long long>(static_cast<std::make_unsigned_t<T>>(value)),
                {},
                0};
    } else if constexpr (std::is_floating_point_v<T>) {
        return {Arg::Kind::Real, 0, 0, {}, static_cast<double>(value)};
    } else if constexpr (std::is_array_v<T>) {
        static_assert(std::is_same_v<std::remove_cv_t<std::remove_extent_t<T>>, char>,
                      "FormatBrandedText takes integers, floating point values and texts");
        return {Arg::Kind::Text, 0, 0, std::string_view(value), 0};
    } else if constexpr (std::is_pointer_v<T>) {
        static_assert(std::is_same_v<std::remove_cv_t<std::remove_pointer_t<T>>, char>,
                      "FormatBrandedText takes integers, floating point values and texts");
        return {Arg::Kind::Text, 0, 0, value != nullptr ? std::string_view(value) : "", 0};
    } else {
        static_assert(std::is_convertible_v<const T&, std::string_view>,
                      "FormatBrandedText takes integers, floating point values and texts");
        return {Arg::Kind::Text, 0, 0, std::string_view(value), 0};
    }
}

// Formats printf-style after checking every conversion against its argument: d i (integer),
// u o x X (integer, read unsigned), c (integer), s (text), f F e E g G a A (real), with flags,
// width and precision written as digits. Length modifiers are accepted and ignored (the
// argument's own type decides). "%%" takes no argument; surplus arguments are ignored. Any other
// conversion, a '*' or '$', a width or precision over 999, a missing argument or a wrong kind is
// a mismatch: the result is then nullopt-like, `ok` false and the returned text empty.
std::string FormatChecked(std::string_view format, std::span<const FormatArg> args, bool& ok);

// The branded text with any '%' of the inserted names doubled, formatted with the arguments;
// on a mismatch, the branded text unformatted.
std::string FormatBrandedTextWith(unsigned id, std::span<const FormatArg> args);

// Replaces the placeholders of `text` in one pass: %p by `productName`, and %v by `deviceName`
// when it is given. With `escapePercent`, a '%' in an inserted name is written as "%%".
std::string ReplacePlaceholders(std::string_view text, std::string_view productName,
                                const std::string* deviceName, bool escapePercent);

} // namespace branding_detail

// LoadBrandedText(id) used as a printf-style format with the arguments, after checking that its
// conversions fit the arguments' types; a text that does not fit (a wrong translation) is
// returned branded but unformatted. A '%' in the product or device name shows as typed.
template <class... Args> std::string FormatBrandedText(unsigned id, const Args&... args) {
    if constexpr (sizeof...(Args) == 0) {
        return branding_detail::FormatBrandedTextWith(id, {});
    } else {
        const branding_detail::FormatArg converted[] = {branding_detail::MakeFormatArg(args)...};
        return branding_detail::FormatBrandedTextWith(id, converted);
    }
}
