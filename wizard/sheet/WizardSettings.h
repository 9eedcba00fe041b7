// The choices of the wizard's sheet that outlive a run, kept in the user's registry hive.
#pragma once

#include "common/registry/Registry.h"

#include <string>

// Value names under kWizardSettingsKeyPath (User root).
inline constexpr const char* kSaveSettingsValue = "bSaveSettings";
inline constexpr const char* kUsingSavedValue = "bUsingSaved";
inline constexpr const char* kUsePersonalLibraryValue = "bUsePersonalLibrary";
inline constexpr const char* kDeleteAfterCopyValue = "bDeleteImagesFromCamera";
inline constexpr const char* kGroupNameValue = "bGroupName";
inline constexpr const char* kFolderNameValue = "bFolderName";
inline constexpr const char* kGroupSelectionValue = "bGroupSel";
inline constexpr const char* kServerNameValue = "bSubdomain";
inline constexpr const char* kCopyVideosValue = "bCopyVideos";

inline constexpr const char* kDefaultGroupName = "Photo";
inline constexpr const char* kDefaultFolderName = "MyPhotos";

// Naming types of a destination entry (see DestinationEntries.h); groupSelection is one of them.
inline constexpr int kNamingTypeCount = 4;

struct WizardSettings {
    bool saveSettings = false;
    bool usingSaved = false; // copy with these settings without asking
    int groupSelection = 0;  // naming type, 0 .. kNamingTypeCount - 1
    bool usePersonalLibrary = false;
    bool deleteAfterCopy = false;
    bool copyVideos = true; // videos go with the pictures
    std::string groupName = kDefaultGroupName;
    std::string folderName = kDefaultFolderName;
    std::string serverName; // the chosen server's host name up to its first dot
};

// The saved settings, each value that cannot be read taking its default. usingSaved is only
// honoured while saveSettings is on; a groupSelection that is not a naming type reads as 0.
WizardSettings LoadSavedSettings(CRegistry& registry);

// Writes every setting, turning usingSaved off first when saveSettings is off. An empty server
// name leaves the stored one in place. Stops at the first write that fails: false, and one line
// on standard output saying which value could not be written.
bool SaveSettings(CRegistry& registry, WizardSettings& settings);
