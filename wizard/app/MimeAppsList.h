// Edits of a mimeapps.list that leave every line they are not about exactly as it was: comments,
// blank lines, other sections and keys, and their order.
#pragma once

#include <string>
#include <string_view>
#include <vector>

inline constexpr const char* kDefaultApplicationsSection = "Default Applications";
inline constexpr const char* kAddedAssociationsSection = "Added Associations";
inline constexpr const char* kRemovedAssociationsSection = "Removed Associations";

// "a.desktop;b.desktop;" as its desktop ids, without empty items.
std::vector<std::string> SplitDesktopIdList(std::string_view value);
// The ids with a ';' after each.
std::string JoinDesktopIdList(const std::vector<std::string>& ids);

class CMimeAppsList {
public:
    explicit CMimeAppsList(std::string_view text);

    // The ids listed for `key` in `section`. When the key is there more than once, the last
    // one counts, as it does for the desktop's own reader.
    std::vector<std::string> Get(std::string_view section, std::string_view key) const;

    // Makes `key` list `ids` in `section`: its first line is rewritten in place and any later
    // duplicate lines (which would hide it) go; a missing key is added at the end of the
    // section, a missing section at the end of the file. An empty list removes the key, and the
    // section with it when that leaves the section nothing but blank lines.
    void Set(std::string_view section, std::string_view key, const std::vector<std::string>& ids);

    std::string Text() const;

private:
    struct Line {
        std::string text;
        std::string section; // the section the line belongs to (headers: their own)
        bool isHeader = false;
    };
    bool IsKeyLine(const Line& line, std::string_view section, std::string_view key) const;
    // Removes the blocks of `section` that hold nothing but blank lines; a comment keeps its block.
    void RemoveSectionIfBlank(std::string_view section);

    std::vector<Line> lines_;
    bool endsWithNewline_ = true;
};
