#include "wizard/app/MimeAppsList.h"

#include <optional>

namespace {

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) {
        text.remove_suffix(1);
    }
    return text;
}

// The section name of a "[name]" line.
std::optional<std::string> HeaderName(std::string_view line) {
    line = Trimmed(line);
    if (line.size() < 2 || line.front() != '[' || line.back() != ']') {
        return std::nullopt;
    }
    return std::string(line.substr(1, line.size() - 2));
}

std::optional<std::string_view> ValueOf(std::string_view line, std::string_view key) {
    const std::string_view trimmed = Trimmed(line);
    if (trimmed.starts_with('#')) {
        return std::nullopt;
    }
    const size_t equals = trimmed.find('=');
    if (equals == std::string_view::npos || Trimmed(trimmed.substr(0, equals)) != key) {
        return std::nullopt;
    }
    return Trimmed(trimmed.substr(equals + 1));
}

} // namespace

std::vector<std::string> SplitDesktopIdList(std::string_view value) {
    std::vector<std::string> ids;
    while (!value.empty()) {
        const size_t semicolon = value.find(';');
        const std::string_view id = Trimmed(value.substr(0, semicolon));
        if (!id.empty()) {
            ids.emplace_back(id);
        }
        value.remove_prefix(semicolon == std::string_view::npos ? value.size() : semicolon + 1);
    }
    return ids;
}

std::string JoinDesktopIdList(const std::vector<std::string>& ids) {
    std::string value;
    for (const std::string& id : ids) {
        value += id + ";";
    }
    return value;
}

CMimeAppsList::CMimeAppsList(std::string_view text) {
    endsWithNewline_ = text.empty() || text.back() == '\n';
    std::string section;
    while (!text.empty()) {
        const size_t end = text.find('\n');
        Line line{std::string(text.substr(0, end)), {}, false};
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (const std::optional<std::string> name = HeaderName(line.text)) {
            section = *name;
            line.isHeader = true;
        }
        line.section = section;
        lines_.push_back(std::move(line));
    }
}

bool CMimeAppsList::IsKeyLine(const Line& line, std::string_view section,
                              std::string_view key) const {
    return !line.isHeader && line.section == section && ValueOf(line.text, key).has_value();
}

std::vector<std::string> CMimeAppsList::Get(std::string_view section, std::string_view key) const {
    std::vector<std::string> ids;
    for (const Line& line : lines_) {
        if (IsKeyLine(line, section, key)) {
            ids = SplitDesktopIdList(*ValueOf(line.text, key));
        }
    }
    return ids;
}

void CMimeAppsList::Set(std::string_view section, std::string_view key,
                        const std::vector<std::string>& ids) {
    const std::string newLine = std::string(key) + "=" + JoinDesktopIdList(ids);
    bool written = false;
    bool erased = false;
    for (size_t i = 0; i < lines_.size();) {
        if (!IsKeyLine(lines_[i], section, key)) {
            ++i;
        } else if (!written && !ids.empty()) {
            lines_[i].text = newLine;
            written = true;
            ++i;
        } else {
            lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(i));
            erased = true;
        }
    }
    if (ids.empty() && erased) {
        RemoveSectionIfBlank(section);
    }
    if (written || ids.empty()) {
        return;
    }
    // After the last line of the section's first block that is not blank, so that the new key
    // joins its neighbours rather than the gap before the next section.
    std::optional<size_t> insertAfter;
    for (size_t i = 0; i < lines_.size(); ++i) {
        if (lines_[i].section != section) {
            if (insertAfter) {
                break;
            }
            continue;
        }
        if (lines_[i].isHeader && insertAfter) {
            break; // a second block of the same section
        }
        if (lines_[i].isHeader || !Trimmed(lines_[i].text).empty()) {
            insertAfter = i;
        }
    }
    if (insertAfter) {
        lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(*insertAfter + 1),
                      Line{newLine, std::string(section), false});
        return;
    }
    if (!lines_.empty() && !Trimmed(lines_.back().text).empty()) {
        lines_.push_back(Line{"", lines_.back().section, false});
    }
    lines_.push_back(
        Line{std::string("[").append(section).append("]"), std::string(section), true});
    lines_.push_back(Line{newLine, std::string(section), false});
    endsWithNewline_ = true;
}

void CMimeAppsList::RemoveSectionIfBlank(std::string_view section) {
    size_t header = 0;
    while (header < lines_.size()) {
        if (!lines_[header].isHeader || lines_[header].section != section) {
            ++header;
            continue;
        }
        size_t end = header + 1;
        bool blank = true;
        for (; end < lines_.size() && !lines_[end].isHeader; ++end) {
            blank = blank && Trimmed(lines_[end].text).empty();
        }
        if (!blank) {
            header = end;
            continue;
        }
        // A block at the end of the file takes the blank lines that parted it from the one
        // before along, as a section added at the end brought one.
        size_t begin = header;
        if (end == lines_.size()) {
            while (begin > 0 && !lines_[begin - 1].isHeader &&
                   Trimmed(lines_[begin - 1].text).empty()) {
                --begin;
            }
        }
        lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(begin),
                     lines_.begin() + static_cast<std::ptrdiff_t>(end));
        header = begin;
    }
}

std::string CMimeAppsList::Text() const {
    std::string text;
    for (size_t i = 0; i < lines_.size(); ++i) {
        text += lines_[i].text;
        if (i + 1 < lines_.size() || endsWithNewline_) {
            text += '\n';
        }
    }
    return text;
}
