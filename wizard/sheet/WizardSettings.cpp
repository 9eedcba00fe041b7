#include "wizard/sheet/WizardSettings.h"

#include <cstdio>

namespace {

bool ReadFlag(CRegistry& registry, const char* name) {
    return registry.GetDword(User, kWizardSettingsKeyPath, name, 0) != 0;
}

} // namespace

WizardSettings LoadSavedSettings(CRegistry& registry) {
    WizardSettings settings;
    settings.saveSettings = ReadFlag(registry, kSaveSettingsValue);
    settings.usingSaved = ReadFlag(registry, kUsingSavedValue);
    settings.usePersonalLibrary = ReadFlag(registry, kUsePersonalLibraryValue);
    settings.deleteAfterCopy = ReadFlag(registry, kDeleteAfterCopyValue);
    // Ticked until the user unticks it: a hive from before the box has no value.
    settings.copyVideos = registry.GetDword(User, kWizardSettingsKeyPath, kCopyVideosValue, 1) != 0;
    settings.groupName =
        registry.GetString(User, kWizardSettingsKeyPath, kGroupNameValue, kDefaultGroupName);
    settings.folderName =
        registry.GetString(User, kWizardSettingsKeyPath, kFolderNameValue, kDefaultFolderName);
    settings.serverName = registry.GetString(User, kWizardSettingsKeyPath, kServerNameValue, "");
    // The value picks a naming type and the destination list's first selection; anything else
    // (a hand-edited or foreign hive) would name an entry that does not exist.
    const uint32_t selection =
        registry.GetDword(User, kWizardSettingsKeyPath, kGroupSelectionValue, 0);
    settings.groupSelection = selection < kNamingTypeCount ? static_cast<int>(selection) : 0;
    if (!settings.saveSettings) {
        settings.usingSaved = false;
    }
    return settings;
}

bool SaveSettings(CRegistry& registry, WizardSettings& settings) {
    if (!settings.saveSettings) {
        settings.usingSaved = false;
    }
    const char* failed = nullptr;
    auto number = [&](const char* name, uint32_t value) {
        if (failed == nullptr && !registry.SetDword(User, kWizardSettingsKeyPath, name, value)) {
            failed = name;
        }
    };
    auto text = [&](const char* name, const std::string& value) {
        if (failed == nullptr && !registry.SetString(User, kWizardSettingsKeyPath, name, value)) {
            failed = name;
        }
    };
    number(kSaveSettingsValue, settings.saveSettings ? 1 : 0);
    number(kUsingSavedValue, settings.usingSaved ? 1 : 0);
    number(kUsePersonalLibraryValue, settings.usePersonalLibrary ? 1 : 0);
    number(kDeleteAfterCopyValue, settings.deleteAfterCopy ? 1 : 0);
    text(kGroupNameValue, settings.groupName);
    text(kFolderNameValue, settings.folderName);
    number(kGroupSelectionValue, static_cast<uint32_t>(settings.groupSelection));
    number(kCopyVideosValue, settings.copyVideos ? 1 : 0);
    // A run that never chose a server must not forget the one chosen before.
    if (!settings.serverName.empty()) {
        text(kServerNameValue, settings.serverName);
    }
    if (failed != nullptr) {
        std::printf("The wizard settings could not be saved: writing %s failed\n", failed);
        std::fflush(stdout);
        return false;
    }
    return true;
}
