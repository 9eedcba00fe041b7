#include "tools/mkbundle/DesktopEntry.h"

#include "common/branding/Branding.h"

#include <algorithm>
#include <charconv>

namespace {

constexpr std::string_view kEnglish = "en-us";

std::string_view LanguagePart(std::string_view tag) {
    return tag.substr(0, tag.find('-'));
}

// A localestring value: one line, with the escapes the desktop entry format knows.
std::string EscapeValue(std::string_view text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\\') {
            out += "\\\\";
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == ' ' && i == 0) {
            out += "\\s";
        } else {
            out.push_back(c);
        }
    }
    return out;
}

// "Key=@160@" gives "Key" and 160.
bool TextReference(std::string_view line, std::string_view& key, unsigned& id) {
    const size_t equals = line.find('=');
    if (equals == std::string_view::npos || equals == 0) {
        return false;
    }
    const std::string_view value = line.substr(equals + 1);
    if (value.size() < 3 || value.front() != '@' || value.back() != '@') {
        return false;
    }
    const std::string_view number = value.substr(1, value.size() - 2);
    auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), id);
    if (error != std::errc() || end != number.data() + number.size()) {
        return false;
    }
    key = line.substr(0, equals);
    return true;
}

} // namespace

std::string DesktopLocale(std::string_view tag, const std::vector<std::string>& allTags) {
    const std::string_view language = LanguagePart(tag);
    const auto sharing = std::count_if(allTags.begin(), allTags.end(), [&](const std::string& t) {
        return LanguagePart(t) == language;
    });
    if (sharing <= 1 || language.size() == tag.size()) {
        return std::string(language);
    }
    std::string locale(language);
    locale += '_';
    for (const char c : tag.substr(language.size() + 1)) {
        locale.push_back(c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c);
    }
    return locale;
}

DesktopEntryResult ExpandDesktopEntry(std::string_view templateText, const ResourceBundle& texts,
                                      std::string_view productName) {
    DesktopEntryResult result;
    const std::string product(productName);
    auto branded = [&](const std::string& text) {
        return EscapeValue(branding_detail::ReplacePlaceholders(text, product, &product, false));
    };

    size_t lineNumber = 0;
    for (size_t start = 0; start < templateText.size();) {
        ++lineNumber;
        size_t end = templateText.find('\n', start);
        if (end == std::string_view::npos) {
            end = templateText.size();
        }
        const std::string_view line = templateText.substr(start, end - start);
        start = end + 1;

        if (!line.empty() && line.front() == '#') {
            continue; // the template's own comments are not the entry's
        }
        std::string_view key;
        unsigned id = 0;
        if (!TextReference(line, key, id)) {
            result.text.append(line);
            result.text += '\n';
            continue;
        }
        const std::string* english = texts.FindText(kEnglish, id);
        if (english == nullptr || english->empty()) {
            result.line = lineNumber;
            result.error = "no English text for string " + std::to_string(id);
            return result;
        }
        const std::string base = branded(*english);
        result.text.append(key);
        result.text += "=" + base + "\n";
        for (const auto& language : texts.Languages()) {
            if (language == kEnglish) {
                continue;
            }
            const std::string* translated = texts.FindText(language, id);
            if (translated == nullptr || translated->empty()) {
                result.line = lineNumber;
                result.error = "no " + language + " text for string " + std::to_string(id);
                return result;
            }
            const std::string value = branded(*translated);
            if (value != base) {
                result.text.append(key);
                result.text.append("[")
                    .append(DesktopLocale(language, texts.Languages()))
                    .append("]=")
                    .append(value)
                    .append("\n");
            }
        }
    }
    result.ok = true;
    return result;
}
