#include "common/branding/IniFile.h"

#include "common/files/RegularFile.h"

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && IsBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

char FoldCase(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (FoldCase(a[i]) != FoldCase(b[i])) {
            return false;
        }
    }
    return true;
}

} // namespace

IniFile IniFile::Parse(std::string_view text) {
    IniFile ini;
    if (text.substr(0, 3) == "\xEF\xBB\xBF") {
        text.remove_prefix(3);
    }
    std::string section;
    bool inSection = false;
    while (!text.empty()) {
        const size_t end = text.find('\n');
        std::string_view line = Trim(text.substr(0, end));
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);

        if (line.empty() || line.front() == ';' || line.front() == '#') {
            continue;
        }
        if (line.front() == '[') {
            const size_t close = line.find(']');
            if (close == std::string_view::npos) {
                continue;
            }
            section = std::string(Trim(line.substr(1, close - 1)));
            inSection = true;
            continue;
        }
        const size_t equals = line.find('=');
        if (!inSection || equals == std::string_view::npos) {
            continue;
        }
        std::string_view key = Trim(line.substr(0, equals));
        std::string_view value = Trim(line.substr(equals + 1));
        if (key.empty()) {
            continue;
        }
        if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
            value.back() == value.front()) {
            value = value.substr(1, value.size() - 2);
        }
        ini.m_entries.push_back({section, std::string(key), std::string(value)});
    }
    return ini;
}

IniFile IniFile::Load(const std::string& path) {
    const auto text = ReadRegularFile(path, kMaxFileSize);
    return text ? Parse(*text) : IniFile{};
}

std::optional<std::string> IniFile::Find(std::string_view section, std::string_view key) const {
    for (const auto& entry : m_entries) {
        if (SameName(entry.section, section) && SameName(entry.key, key)) {
            return entry.value;
        }
    }
    return std::nullopt;
}
