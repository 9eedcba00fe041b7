#include "wizard/transfer/TransferNaming.h"

#include "common/branding/Branding.h"
#include "wizard/search/MediaKinds.h"
#include "wizard/transfer/WebDavReply.h"

#include <cstdio>
#include <vector>

namespace {

char FoldAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool StartsWithFolded(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) {
        return false;
    }
    for (size_t i = 0; i < prefix.size(); ++i) {
        if (FoldAscii(text[i]) != FoldAscii(prefix[i])) {
            return false;
        }
    }
    return true;
}

bool EndsWithFolded(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() &&
           StartsWithFolded(text.substr(text.size() - suffix.size()), suffix);
}

constexpr std::string_view kTemporaryPrefix = ".~";
constexpr std::string_view kTemporarySuffix = ".snapferry";

// A name "<group> <anything>.<extension>" of the group's pictures.
bool IsGroupPictureName(std::string_view name, std::string_view groupName) {
    if (name.size() <= groupName.size() + 1 || !StartsWithFolded(name, groupName) ||
        name[groupName.size()] != ' ') {
        return false;
    }
    // Every extension a copy can have, so that a number names one picture whatever its files.
    return IsNumberedExtension(FileExtension(name.substr(groupName.size() + 1)));
}

} // namespace

std::string LibraryShareOf(const CTransferProperties& properties) {
    if (WebFolderAddress webFolder; !properties.webFolderLink.empty() &&
                                    ParseWebFolderLink(properties.webFolderLink, webFolder)) {
        return webFolder.share;
    }
    return LibraryShareName(properties.library != 0);
}

std::string DestinationFolder(const CTransferProperties& properties) {
    return JoinSharePath(LibraryShareOf(properties), properties.location);
}

std::string_view FileExtension(std::string_view fileName) {
    const size_t dot = fileName.rfind('.');
    return dot == std::string_view::npos ? std::string_view() : fileName.substr(dot);
}

std::string DestinationName(const std::string& groupName, int64_t number,
                            std::string_view extension) {
    std::string name = groupName;
    name += ' ';
    name += std::to_string(number);
    name += extension;
    return name;
}

std::string TemporaryCopyName(std::string_view finalName) {
    std::string name(kTemporaryPrefix);
    name += finalName;
    name += kTemporarySuffix;
    return name;
}

bool IsTemporaryCopyName(std::string_view name) {
    return name.size() > kTemporaryPrefix.size() + kTemporarySuffix.size() &&
           name.substr(0, kTemporaryPrefix.size()) == kTemporaryPrefix &&
           EndsWithFolded(name, kTemporarySuffix);
}

std::string TemporaryCopyPath(std::string_view finalPath) {
    const size_t slash = finalPath.find_last_of('/');
    if (slash == std::string_view::npos) {
        return TemporaryCopyName(finalPath);
    }
    return std::string(finalPath.substr(0, slash + 1)) +
           TemporaryCopyName(finalPath.substr(slash + 1));
}

std::string FinalCopyPath(std::string_view path) {
    const size_t slash = path.find_last_of('/');
    const size_t nameStart = slash == std::string_view::npos ? 0 : slash + 1;
    const std::string_view name = path.substr(nameStart);
    if (!IsTemporaryCopyName(name)) {
        return std::string(path);
    }
    return std::string(path.substr(0, nameStart))
        .append(name.substr(kTemporaryPrefix.size(),
                            name.size() - kTemporaryPrefix.size() - kTemporarySuffix.size()));
}

std::optional<int> NumberOfGroupName(std::string_view name, std::string_view groupName) {
    if (!IsGroupPictureName(name, groupName)) {
        return std::nullopt;
    }
    const size_t space = name.rfind(' ');
    const size_t dot = name.rfind('.');
    if (space == std::string_view::npos || dot == std::string_view::npos || dot <= space + 1) {
        return std::nullopt;
    }
    const std::string digits(name.substr(space + 1, dot - space - 1));
    unsigned value = 0;
    if (std::sscanf(digits.c_str(), "%u", &value) != 1) {
        return std::nullopt;
    }
    return static_cast<int>(value);
}

ShareResult ListForNumbering(CAbstractShareSession* session, const std::string& folder,
                             std::vector<ShareEntry>& entries) {
    entries.clear();
    const ShareResult listed = session != nullptr ? session->List(folder, entries)
                                                  : ShareResult{ShareStatus::NotSupported};
    if (!listed.ok()) {
        std::printf("Invalid File Handle. GetLastError reports %d\n", listed.error);
    }
    return listed;
}

int FindLastNumber(CAbstractShareSession* session, const std::string& folder,
                   const std::string& groupName) {
    std::vector<ShareEntry> entries;
    if (!ListForNumbering(session, folder, entries).ok()) {
        return 0;
    }
    return LastNumberAmong(entries, groupName);
}

int LastNumberAmong(const std::vector<ShareEntry>& entries, const std::string& groupName) {
    bool anyOfGroup = false;
    int best = -1;
    for (const ShareEntry& entry : entries) {
        if (IsTemporaryCopyName(entry.name) || !IsGroupPictureName(entry.name, groupName)) {
            continue;
        }
        anyOfGroup = true;
        if (std::optional<int> number = NumberOfGroupName(entry.name, groupName);
            number && *number > best) {
            best = *number;
        }
    }
    return anyOfGroup ? best : 0;
}
