// The reader of settings.ini, shared by both programs. Windows INI conventions: "[section]"
// lines, then "key=value" lines; section and key names compare without regard to ASCII letter
// case; the first entry of a key wins; values are taken as written (no escape sequences), with
// surrounding blanks and one pair of matching surrounding quotes removed; lines starting with
// ';' or '#' are comments.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class IniFile {
public:
    // A file larger than this is not read at all: settings.ini is a few lines, and it is read on
    // every branded text.
    static constexpr size_t kMaxFileSize = 1u << 20;

    static IniFile Parse(std::string_view text);
    // A missing, unreadable or over-long file, or one that is not a regular file, gives an empty
    // IniFile.
    static IniFile Load(const std::string& path);

    std::optional<std::string> Find(std::string_view section, std::string_view key) const;
    size_t EntryCount() const { return m_entries.size(); }

private:
    struct Entry {
        std::string section;
        std::string key;
        std::string value;
    };
    std::vector<Entry> m_entries;
};
