// The saved settings against real hive files in a scratch folder.
#include "wizard/sheet/WizardSettings.h"

#include "../../common/registry/TempDirectory.h"
#include "common/registry/linux/RegistryFile.h"
#include "common/resources/ResourceManager.h"
#include "resources/BuiltinBundles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

const std::string kHeader = "Windows Registry Editor Version 5.00\n\n";
const std::string kKeyLine = std::string("[HKEY_CURRENT_USER\\") + kWizardSettingsKeyPath + "]\n";

// The file store with every write after the first `allowed` ones refused, to see where saving
// stops.
class CFailingRegistry : public CRegistryFile {
public:
    using CRegistryFile::CRegistryFile;
    int allowed = 1000;
    std::vector<std::string> attempted;

    bool SetString(int root, const std::string& key, const std::string& name,
                   const std::string& text) override {
        return Allow(name) && CRegistryFile::SetString(root, key, name, text);
    }
    bool SetDword(int root, const std::string& key, const std::string& name,
                  uint32_t value) override {
        return Allow(name) && CRegistryFile::SetDword(root, key, name, value);
    }

private:
    bool Allow(const std::string& name) {
        attempted.push_back(name);
        return static_cast<int>(attempted.size()) <= allowed;
    }
};

class WizardSettingsTest : public ::testing::Test {
protected:
    fs::path UserHive() const { return temp_.Path() / "home/velmora/registry.reg"; }
    void WriteUserHive(const std::string& values) {
        WriteWholeFile(UserHive(), kHeader + kKeyLine + values);
    }
    std::string Stored(const char* name) {
        return registry_.GetString(User, kWizardSettingsKeyPath, name, "<none>");
    }

    CTempDirectory temp_;
    CFailingRegistry registry_{(temp_.Path() / "etc/velmora/registry.reg").string(),
                               UserHive().string()};
};

TEST_F(WizardSettingsTest, TheKeyIsTheOneTheWizardsTextsName) {
    const kvResourceManager* texts =
        CreateResourceManager(ProgramKind::Wizard, WizardBuiltinBundle());
    ASSERT_NE(texts, nullptr);
    EXPECT_EQ(texts->LoadText(117), kWizardSettingsKeyPath);
    DestroyResourceManager();
}

TEST_F(WizardSettingsTest, FirstRunGivesTheDefaults) {
    const WizardSettings settings = LoadSavedSettings(registry_);
    EXPECT_FALSE(settings.saveSettings);
    EXPECT_FALSE(settings.usingSaved);
    EXPECT_FALSE(settings.usePersonalLibrary);
    EXPECT_FALSE(settings.deleteAfterCopy);
    EXPECT_TRUE(settings.copyVideos) << "videos go along until the box is unticked";
    EXPECT_EQ(settings.groupName, "Photo");
    EXPECT_EQ(settings.folderName, "MyPhotos");
    EXPECT_EQ(settings.serverName, "");
    EXPECT_EQ(settings.groupSelection, 0);
    EXPECT_FALSE(fs::exists(UserHive())) << "loading writes nothing";
}

TEST_F(WizardSettingsTest, SavedValuesAreReadBackWithTheirKinds) {
    WizardSettings saved;
    saved.saveSettings = true;
    saved.usingSaved = true;
    saved.usePersonalLibrary = true;
    saved.deleteAfterCopy = true;
    saved.copyVideos = false;
    saved.groupSelection = 2;
    saved.groupName = "Holiday";
    saved.folderName = "Trips";
    saved.serverName = "srv1";
    ASSERT_TRUE(SaveSettings(registry_, saved));

    const WizardSettings loaded = LoadSavedSettings(registry_);
    EXPECT_TRUE(loaded.saveSettings && loaded.usingSaved && loaded.usePersonalLibrary &&
                loaded.deleteAfterCopy);
    EXPECT_FALSE(loaded.copyVideos);
    EXPECT_EQ(loaded.groupSelection, 2);
    EXPECT_EQ(loaded.groupName, "Holiday");
    EXPECT_EQ(loaded.folderName, "Trips");
    EXPECT_EQ(loaded.serverName, "srv1");

    const std::string hive = ReadWholeFile(UserHive());
    for (const char* line :
         {"\"bSaveSettings\"=dword:00000001", "\"bUsingSaved\"=dword:00000001",
          "\"bUsePersonalLibrary\"=dword:00000001", "\"bDeleteImagesFromCamera\"=dword:00000001",
          "\"bGroupSel\"=dword:00000002", "\"bGroupName\"=\"Holiday\"", "\"bFolderName\"=\"Trips\"",
          "\"bSubdomain\"=\"srv1\"", "\"bCopyVideos\"=dword:00000000"}) {
        EXPECT_NE(hive.find(line), std::string::npos) << line;
    }
}

TEST_F(WizardSettingsTest, UsingSavedNeedsSaveSettingsOnLoadAndOnSave) {
    WriteUserHive("\"bSaveSettings\"=dword:00000000\n\"bUsingSaved\"=dword:00000001\n");
    EXPECT_FALSE(LoadSavedSettings(registry_).usingSaved);

    WizardSettings settings;
    settings.usingSaved = true;
    ASSERT_TRUE(SaveSettings(registry_, settings));
    EXPECT_FALSE(settings.usingSaved);
    EXPECT_EQ(registry_.GetDword(User, kWizardSettingsKeyPath, kUsingSavedValue, 7), 0u);
}

TEST_F(WizardSettingsTest, AnEmptyServerNameKeepsTheStoredOne) {
    WriteUserHive("\"bSubdomain\"=\"srv1\"\n");
    WizardSettings settings;
    settings.groupName = "Trip";
    ASSERT_TRUE(SaveSettings(registry_, settings));
    EXPECT_EQ(Stored(kServerNameValue), "srv1");
    EXPECT_EQ(Stored(kGroupNameValue), "Trip");

    settings.serverName = "srv2";
    ASSERT_TRUE(SaveSettings(registry_, settings));
    EXPECT_EQ(Stored(kServerNameValue), "srv2");
}

TEST_F(WizardSettingsTest, AGroupSelectionThatIsNoNamingTypeReadsAsTheFirst) {
    for (const char* stored : {"00000003", "00000004", "ffffffff", "80000000"}) {
        WriteUserHive(std::string("\"bGroupSel\"=dword:") + stored + "\n");
        const int expected = std::string(stored) == "00000003" ? 3 : 0;
        EXPECT_EQ(LoadSavedSettings(registry_).groupSelection, expected) << stored;
    }
    WriteUserHive("\"bGroupSel\"=\"2\"\n\"bSaveSettings\"=hex:01,00,00,00,00\n");
    EXPECT_EQ(LoadSavedSettings(registry_).groupSelection, 0) << "text is no number";
    EXPECT_FALSE(LoadSavedSettings(registry_).saveSettings) << "five bytes are no number";
}

TEST_F(WizardSettingsTest, SavingStopsAtTheFirstFailedWriteAndSaysSo) {
    registry_.allowed = 4; // the group name is the fifth value written
    WizardSettings settings;
    settings.saveSettings = true;
    settings.groupName = "Holiday";
    settings.serverName = "srv1";
    testing::internal::CaptureStdout();
    EXPECT_FALSE(SaveSettings(registry_, settings));
    const std::string output = testing::internal::GetCapturedStdout();
    EXPECT_EQ(
        registry_.attempted,
        (std::vector<std::string>{kSaveSettingsValue, kUsingSavedValue, kUsePersonalLibraryValue,
                                  kDeleteAfterCopyValue, kGroupNameValue}));
    EXPECT_EQ(std::count(output.begin(), output.end(), '\n'), 1) << output;
    EXPECT_NE(output.find(kGroupNameValue), std::string::npos) << output;
    EXPECT_EQ(Stored(kSaveSettingsValue), "1");
    EXPECT_EQ(Stored(kGroupNameValue), "<none>");
    EXPECT_EQ(Stored(kServerNameValue), "<none>");
}

TEST_F(WizardSettingsTest, ADamagedHiveIsNotRewrittenAndSavingFails) {
    const std::string damaged = kHeader + kKeyLine + "\"bGroupName\"=\"Trip\"\n\"x\"=hex:zz\n";
    WriteWholeFile(UserHive(), damaged);
    EXPECT_EQ(LoadSavedSettings(registry_).groupName, "Trip");

    WizardSettings settings;
    settings.groupName = "Holiday";
    testing::internal::CaptureStdout();
    EXPECT_FALSE(SaveSettings(registry_, settings));
    const std::string output = testing::internal::GetCapturedStdout();
    EXPECT_NE(output.find(kSaveSettingsValue), std::string::npos) << output;
    EXPECT_EQ(registry_.attempted.size(), 1u);
    EXPECT_EQ(ReadWholeFile(UserHive()), damaged);
}

} // namespace
