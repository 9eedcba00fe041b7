#include "common/resources/UserLanguage.h"

#include <algorithm>
#include <utility>

namespace {

char Lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool IsAsciiLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool IsAsciiAlnum(char c) {
    return IsAsciiLetter(c) || (c >= '0' && c <= '9');
}

} // namespace

UserLanguage EnglishUserLanguage() {
    return {"en-us", 9};
}

unsigned PrimaryLanguageOf(std::string_view isoLanguage) {
    // The primary language numbers of the Windows language identifiers.
    static constexpr std::pair<std::string_view, unsigned> kTable[] = {
        {"ar", 0x01}, {"bg", 0x02}, {"ca", 0x03}, {"zh", 0x04}, {"cs", 0x05}, {"da", 0x06},
        {"de", 0x07}, {"el", 0x08}, {"en", 0x09}, {"es", 0x0a}, {"fi", 0x0b}, {"fr", 0x0c},
        {"he", 0x0d}, {"hu", 0x0e}, {"is", 0x0f}, {"it", 0x10}, {"ja", 0x11}, {"ko", 0x12},
        {"nl", 0x13}, {"nb", 0x14}, {"nn", 0x14}, {"no", 0x14}, {"pl", 0x15}, {"pt", 0x16},
        {"rm", 0x17}, {"ro", 0x18}, {"ru", 0x19}, {"hr", 0x1a}, {"sk", 0x1b}, {"sq", 0x1c},
        {"sv", 0x1d}, {"th", 0x1e}, {"tr", 0x1f}, {"ur", 0x20}, {"id", 0x21}, {"uk", 0x22},
        {"be", 0x23}, {"sl", 0x24}, {"et", 0x25}, {"lv", 0x26}, {"lt", 0x27}, {"fa", 0x29},
        {"vi", 0x2a}, {"hy", 0x2b}, {"eu", 0x2d}, {"mk", 0x2f}, {"af", 0x36}, {"ka", 0x37},
        {"fo", 0x38}, {"hi", 0x39}, {"mt", 0x3a}, {"ga", 0x3c}, {"ms", 0x3e}, {"kk", 0x3f},
        {"sw", 0x41}, {"bn", 0x45}, {"ta", 0x49}, {"gl", 0x56}, {"cy", 0x52},
    };
    for (const auto& [code, number] : kTable) {
        if (code == isoLanguage) {
            return number;
        }
    }
    return 0;
}

UserLanguage ParseLocaleName(std::string_view localeName) {
    // language[_territory][.codeset][@modifier]
    std::string_view name = localeName.substr(0, localeName.find_first_of(".@"));
    if (name.empty() || name == "C" || name == "POSIX") {
        return EnglishUserLanguage();
    }
    const size_t separator = name.find('_');
    std::string_view language = name.substr(0, separator);
    std::string_view territory =
        separator == std::string_view::npos ? std::string_view{} : name.substr(separator + 1);

    if (language.size() < 2 || language.size() > 3) {
        return EnglishUserLanguage();
    }
    for (char c : language) {
        if (!IsAsciiLetter(c)) {
            return EnglishUserLanguage();
        }
    }
    for (char c : territory) {
        if (!IsAsciiAlnum(c)) {
            return EnglishUserLanguage();
        }
    }

    UserLanguage result;
    for (char c : language) {
        result.tag.push_back(Lower(c));
    }
    result.primaryLanguage = PrimaryLanguageOf(result.tag);
    if (!territory.empty()) {
        result.tag.push_back('-');
        for (char c : territory) {
            result.tag.push_back(Lower(c));
        }
    }
    return result;
}

UserLanguage ParseWindowsLocaleName(std::string_view localeName) {
    // language[-script][-region]: a script has four letters, a region two letters or three
    // digits. The script says nothing the language table needs.
    std::string posixName;
    size_t index = 0;
    for (size_t start = 0; start <= localeName.size(); ++index) {
        const size_t end = std::min(localeName.find('-', start), localeName.size());
        const std::string_view part = localeName.substr(start, end - start);
        const bool letters = !part.empty() && std::all_of(part.begin(), part.end(), IsAsciiLetter);
        const bool digits = !part.empty() && std::all_of(part.begin(), part.end(), [](char c) {
            return c >= '0' && c <= '9';
        });
        const bool last = end == localeName.size();
        if (index == 0 && letters) {
            posixName = part;
        } else if (index == 1 && letters && part.size() == 4) {
            // the script
        } else if (index > 0 && last &&
                   ((letters && part.size() == 2) || (digits && part.size() == 3))) {
            posixName.append("_").append(part);
        } else {
            return EnglishUserLanguage();
        }
        start = end + 1;
    }
    return ParseLocaleName(posixName);
}
