#include "wizard/sheet/DestinationEntries.h"

#include "common/branding/Branding.h"

#include <algorithm>

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
                                                     const std::string& date) {
    if (settings.groupName.empty()) {
        settings.groupName = kDefaultGroupName;
    }
    return BuildDestinationEntries(subFolders, PictureFolderName(settings.usePersonalLibrary, {}),
                                   settings.groupName, date);
}

std::string LibraryNetworkFolder(const std::string& serverAddress, bool personalLibrary) {
    return "//" + serverAddress + "/" + LibraryShareName(personalLibrary);
}

std::string FormatLocalDate(std::time_t when) {
    std::tm local{};
    if (::localtime_r(&when, &local) == nullptr) {
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
