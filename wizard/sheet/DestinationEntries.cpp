#include "wizard/sheet/DestinationEntries.h"

#include "common/branding/Branding.h"
#include "common/system/LocalTime.h"

#include <algorithm>
#include <cctype>

std::string DestinationSuffix(int type, const std::string& groupName, const std::string& date) {
    switch (type) {
    case kNamingFolderAndName:
        return "/" + groupName;
    case kNamingFolderDateAndName:
        return "/" + date + ", " + groupName;
    case kNamingFolderAndDate:
        return "/" + date;
    default:
        return {};
    }
}

std::vector<DestinationEntry> BuildDestinationEntries(const std::vector<std::string>& subFolders,
                                                      const std::string& defaultFolder,
                                                      const std::string& groupName,
                                                      const std::string& date) {
    std::vector<DestinationEntry> entries;
    entries.reserve(subFolders.size() * kNamingTypeCount);
    auto addFolder = [&](const std::string& folder) {
        for (int type = 0; type < kNamingTypeCount; ++type) {
            entries.push_back({folder + DestinationSuffix(type, groupName, date), type});
        }
    };
    const bool hasDefault =
        std::find(subFolders.begin(), subFolders.end(), defaultFolder) != subFolders.end();
    if (hasDefault) {
        addFolder(defaultFolder);
    }
    for (const std::string& folder : subFolders) {
        if (!(hasDefault && folder == defaultFolder)) {
            addFolder(folder);
        }
    }
    return entries;
}

std::vector<DestinationEntry> FillDestinationEntries(WizardSettings& settings,
                                                     const std::vector<std::string>& subFolders,
                                                     const std::string& date, bool webFolder) {
    settings.groupName = EffectiveGroupName(settings.groupName);
    const std::string pictureFolder = webFolder
                                          ? ReadBrandingString("webfolderphotos", "Pictures")
                                          : PictureFolderName(settings.usePersonalLibrary, {});
    return BuildDestinationEntries(subFolders, pictureFolder, settings.groupName, date);
}

std::string LibraryNetworkFolder(const std::string& serverAddress, bool personalLibrary) {
    return "//" + serverAddress + "/" + LibraryShareName(personalLibrary);
}

std::string FormatLocalDate(std::time_t when) {
    std::tm local{};
    if (!ToLocalTime(when, local)) {
        return {};
    }
    char text[64];
    const size_t length = std::strftime(text, sizeof text, "%Y-%m-%d", &local);
    return std::string(text, length);
}

std::string TodayText() {
    return FormatLocalDate(std::time(nullptr));
}

std::string FolderNameFromDestination(std::string_view text) {
    const size_t slash = text.find('/');
    if (slash == std::string_view::npos || slash == 0) {
        return std::string(text);
    }
    return std::string(text.substr(0, slash));
}

bool IsValidGroupName(std::string_view name) {
    return name.find_first_of(kInvalidGroupNameCharacters) == std::string_view::npos;
}

std::string InvalidGroupNameMessage() {
    return std::string("A picture group name can not contain any of following \ncharacters: ") +
           kInvalidGroupNameCharacters;
}

namespace {

constexpr unsigned kDotNameText = 191;      // "." and ".." refused
constexpr unsigned kTooLongText = 192;      // "... at most %d characters ..."
constexpr unsigned kFileInTheWayText = 193; // "A file named %s is already in %s ..."

// The number of characters of a UTF-8 text; npos when it is not UTF-8.
size_t Utf8Length(std::string_view text) {
    size_t count = 0;
    for (size_t at = 0; at < text.size(); ++count) {
        const auto lead = static_cast<unsigned char>(text[at]);
        const size_t length = lead < 0x80           ? 1
                              : (lead >> 5) == 0x6  ? 2
                              : (lead >> 4) == 0xE  ? 3
                              : (lead >> 3) == 0x1E ? 4
                                                    : 0;
        if (length == 0 || at + length > text.size()) {
            return std::string_view::npos;
        }
        for (size_t next = 1; next < length; ++next) {
            if ((static_cast<unsigned char>(text[at + next]) >> 6) != 0x2) {
                return std::string_view::npos;
            }
        }
        at += length;
    }
    return count;
}

bool SameNameIgnoringCase(std::string_view left, std::string_view right) {
    return left.size() == right.size() &&
           std::equal(left.begin(), left.end(), right.begin(), [](char a, char b) {
               return std::tolower(static_cast<unsigned char>(a)) ==
                      std::tolower(static_cast<unsigned char>(b));
           });
}

} // namespace

GroupNameProblem CheckGroupName(std::string_view name) {
    if (!IsValidGroupName(name)) {
        return GroupNameProblem::BadCharacter;
    }
    if (name == "." || name == "..") {
        return GroupNameProblem::DotName;
    }
    if (Utf8Length(name) > kGroupNameCharacterLimit) {
        return GroupNameProblem::TooLong;
    }
    return GroupNameProblem::None;
}

std::string GroupNameMessage(GroupNameProblem problem) {
    switch (problem) {
    case GroupNameProblem::None:
        return {};
    case GroupNameProblem::BadCharacter:
        return InvalidGroupNameMessage();
    case GroupNameProblem::DotName:
        return LoadBrandedText(kDotNameText);
    case GroupNameProblem::TooLong:
        return FormatBrandedText(kTooLongText, int(kGroupNameCharacterLimit));
    }
    return {};
}

std::string EffectiveGroupName(std::string_view typed) {
    const bool blank = std::all_of(typed.begin(), typed.end(), [](char c) {
        return std::isspace(static_cast<unsigned char>(c)) != 0;
    });
    return blank ? std::string(kDefaultGroupName) : std::string(typed);
}

std::string FileInTheWay(std::string_view destination,
                         const std::vector<ShareEntry>& parentEntries) {
    const size_t slash = destination.rfind('/');
    if (slash == std::string_view::npos) {
        // The library folder itself, which was listed as a folder.
        return {};
    }
    const std::string_view name = destination.substr(slash + 1);
    for (const ShareEntry& entry : parentEntries) {
        if (!entry.isFolder && SameNameIgnoringCase(entry.name, name)) {
            return entry.name;
        }
    }
    return {};
}

std::string FileInTheWayMessage(const std::string& name, const std::string& folder) {
    return FormatBrandedText(kFileInTheWayText, name, folder);
}
