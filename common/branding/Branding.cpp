#include "common/branding/Branding.h"

#include "common/branding/IniFile.h"
#include "common/resources/ProgramDirectory.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <optional>

namespace {

std::optional<std::string> ReadSetting(const std::string& section, const std::string& key) {
    return IniFile::Load(GetProgramDirectory() + kSettingsFileName).Find(section, key);
}

ProgramKind CurrentProgram() {
    const kvResourceManager* manager = GetResourceManager();
    return manager != nullptr ? manager->Program() : ProgramKind::Launcher;
}

struct BrandNames {
    std::string product;
    std::optional<std::string> device;
};

BrandNames ReadBrandNames(ProgramKind program) {
    BrandNames names;
    if (program == ProgramKind::Launcher) {
        names.product = ReadBrandingString(kDefaultSection, "ProductName", kDefaultProductName);
        names.device = ReadBrandingString(kDefaultSection, "ServerDevice", names.product);
    } else {
        names.product = ReadBrandingString("ProductName", kDefaultProductName);
    }
    return names;
}

std::string LoadResourceText(unsigned id) {
    const kvResourceManager* manager = GetResourceManager();
    return manager != nullptr ? manager->LoadText(id) : std::string();
}

} // namespace

std::string GetProgramDirectory() {
    return ProgramDirectoryOfThisProcess();
}

std::string ReadBrandingString(const std::string& section, const std::string& key,
                               const std::string& defaultText) {
    auto value = ReadSetting(section, key);
    return value ? CutUtf8Text(std::move(*value), kLauncherValueLimit) : defaultText;
}

std::string ReadBrandingString(const std::string& key, const std::string& defaultText) {
    auto value = ReadSetting(kDefaultSection, key);
    return value ? CutUtf8Text(std::move(*value), kWizardValueLimit) : defaultText;
}

int ReadBrandingInt(const std::string& section, const std::string& key, int defaultValue) {
    const auto value = ReadSetting(section, key);
    if (!value) {
        return defaultValue;
    }
    size_t i = 0;
    bool negative = false;
    if (i < value->size() && ((*value)[i] == '-' || (*value)[i] == '+')) {
        negative = (*value)[i] == '-';
        ++i;
    }
    long long magnitude = 0;
    for (; i < value->size() && (*value)[i] >= '0' && (*value)[i] <= '9'; ++i) {
        magnitude = std::min<long long>(magnitude * 10 + ((*value)[i] - '0'),
                                        static_cast<long long>(INT_MAX) + 1);
    }
    const long long result = negative ? -magnitude : magnitude;
    return static_cast<int>(std::clamp<long long>(result, INT_MIN, INT_MAX));
}

std::string ReadRelayDomain() {
    return ReadBrandingString("Domain", "Domain", kDefaultRelayDomain);
}

std::string LibraryShareName(bool personalLibrary) {
    return personalLibrary ? ReadBrandingString("mylibrary", kDefaultMyLibrary)
                           : ReadBrandingString("familylibrary", kDefaultFamilyLibrary);
}

std::string PictureFolderName(bool personalLibrary, const std::string& folderName) {
    if (!folderName.empty()) {
        return folderName;
    }
    return personalLibrary ? ReadBrandingString("myphotos", kDefaultMyPhotos)
                           : ReadBrandingString("familyphotos", kDefaultFamilyPhotos);
}

std::string LoadBrandedText(unsigned id) {
    const ProgramKind program = CurrentProgram();
    const std::string text = LoadResourceText(id);
    const BrandNames names = ReadBrandNames(program);
    return branding_detail::ReplacePlaceholders(text, names.product,
                                                names.device ? &*names.device : nullptr, false);
}

namespace branding_detail {

std::string ReplacePlaceholders(std::string_view text, std::string_view productName,
                                const std::string* deviceName, bool escapePercent) {
    std::string result;
    result.reserve(text.size() + productName.size());
    auto insert = [&](std::string_view name) {
        for (char c : name) {
            result.push_back(c);
            if (escapePercent && c == '%') {
                result.push_back('%');
            }
        }
    };
    // One pass over the original text: what was inserted is never searched again, so a name
    // holding "%p" or "%v" cannot make the replacement run without end.
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 1 < text.size()) {
            if (text[i + 1] == 'p') {
                insert(productName);
                ++i;
                continue;
            }
            if (text[i + 1] == 'v' && deviceName != nullptr) {
                insert(*deviceName);
                ++i;
                continue;
            }
        }
        result.push_back(text[i]);
    }
    return result;
}

namespace {

constexpr int kMaxFieldDigits = 3;

bool IsOneOf(char c, std::string_view set) {
    return set.find(c) != std::string_view::npos;
}

// Reads up to three digits; more is a mismatch.
bool ReadNumber(std::string_view format, size_t& i, std::string& directive) {
    int digits = 0;
    while (i < format.size() && format[i] >= '0' && format[i] <= '9') {
        if (++digits > kMaxFieldDigits) {
            return false;
        }
        directive.push_back(format[i++]);
    }
    return true;
}

template <class Value>
void AppendFormatted(std::string& out, const std::string& directive, Value v) {
    // The conversion was checked against the value's type, and its length modifier is ours, so
    // the format cannot read anything but `v`.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
    const int length = std::snprintf(nullptr, 0, directive.c_str(), v);
    if (length <= 0) {
        return;
    }
    const size_t start = out.size();
    out.resize(start + static_cast<size_t>(length) + 1);
    std::snprintf(out.data() + start, static_cast<size_t>(length) + 1, directive.c_str(), v);
#pragma GCC diagnostic pop
    out.resize(start + static_cast<size_t>(length));
}

} // namespace

std::string FormatChecked(std::string_view format, std::span<const FormatArg> args, bool& ok) {
    ok = false;
    std::string out;
    size_t next = 0;
    for (size_t i = 0; i < format.size(); ++i) {
        if (format[i] != '%') {
            out.push_back(format[i]);
            continue;
        }
        ++i;
        if (i < format.size() && format[i] == '%') {
            out.push_back('%');
            continue;
        }
        std::string directive = "%";
        while (i < format.size() && IsOneOf(format[i], "-+ #0")) {
            directive.push_back(format[i++]);
        }
        if (!ReadNumber(format, i, directive)) {
            return {};
        }
        if (i < format.size() && format[i] == '.') {
            directive.push_back(format[i++]);
            if (!ReadNumber(format, i, directive)) {
                return {};
            }
        }
        while (i < format.size() && IsOneOf(format[i], "hlLqjzt")) {
            ++i;
        }
        if (i >= format.size() || next >= args.size()) {
            return {};
        }
        const char conversion = format[i];
        const FormatArg& arg = args[next++];
        if (IsOneOf(conversion, "di") && arg.kind == FormatArg::Kind::Integer) {
            AppendFormatted(out, directive + "ll" + conversion, arg.asSigned);
        } else if (IsOneOf(conversion, "uoxX") && arg.kind == FormatArg::Kind::Integer) {
            AppendFormatted(out, directive + "ll" + conversion, arg.asUnsigned);
        } else if (conversion == 'c' && arg.kind == FormatArg::Kind::Integer) {
            AppendFormatted(out, directive + 'c', static_cast<int>(arg.asSigned));
        } else if (conversion == 's' && arg.kind == FormatArg::Kind::Text) {
            const std::string text(arg.text);
            AppendFormatted(out, directive + 's', text.c_str());
        } else if (IsOneOf(conversion, "fFeEgGaA") && arg.kind == FormatArg::Kind::Real) {
            AppendFormatted(out, directive + conversion, arg.real);
        } else {
            return {};
        }
    }
    ok = true;
    return out;
}

std::string FormatBrandedTextWith(unsigned id, std::span<const FormatArg> args) {
    const ProgramKind program = CurrentProgram();
    const std::string text = LoadResourceText(id);
    const BrandNames names = ReadBrandNames(program);
    const std::string* device = names.device ? &*names.device : nullptr;

    bool ok = false;
    std::string formatted =
        FormatChecked(ReplacePlaceholders(text, names.product, device, true), args, ok);
    if (ok) {
        return formatted;
    }
    return ReplacePlaceholders(text, names.product, device, false);
}

} // namespace branding_detail
