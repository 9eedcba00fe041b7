#include "common/resources/ResourceManagerBundle.h"
#include "tests/common/resources/TestFolder.h"

#include <gtest/gtest.h>

namespace {

std::vector<unsigned char> Bundle(const std::string& language, unsigned id, const std::string& text,
                                  std::optional<unsigned char> splash = std::nullopt) {
    ResourceBundleWriter writer;
    EXPECT_TRUE(writer.AddText(language, id, text));
    EXPECT_TRUE(writer.AddDialogText(language, 104, 0, text + " caption"));
    if (splash) {
        EXPECT_TRUE(writer.AddImage("IDB_SPLASH", FakePng(*splash)));
    }
    return writer.Finish();
}

class ResourceManagerTest : public ::testing::Test {
protected:
    ResourceManagerTest() : m_builtin(Bundle("en-us", 134, "built-in usage", 1)) {
        ResourceBundleWriter writer;
        EXPECT_TRUE(writer.AddText("en-us", 134, "dorlt usage"));
        EXPECT_TRUE(writer.AddText("de-de", 134, "dorlt Aufruf"));
        EXPECT_TRUE(writer.AddText("en-us", 130, "only English"));
        EXPECT_TRUE(writer.AddImage("IDB_SPLASH", FakePng(3)));
        m_folder.Write("dorltRES", writer.Finish());
        m_folder.Write("languages/de-de", Bundle("de-de", 134, "Sprachbibliothek", 2));
    }

    std::unique_ptr<kvResourceManagerBundle> Make(ProgramKind program, const char* tag,
                                                  unsigned primary) {
        return kvResourceManagerBundle::Create(program, m_builtin, m_folder.Path(), tag, primary);
    }

    TestFolder m_folder;
    std::vector<unsigned char> m_builtin;
};

} // namespace

TEST_F(ResourceManagerTest, LauncherLoadsLanguageLibraryThenItsOwnLibraryReplacesIt) {
    auto manager = Make(ProgramKind::Launcher, "de-de", 7);
    EXPECT_EQ(manager->CurrentLibraryName(), "languages\\de-de.dll");
    ASSERT_NE(manager->LoadedBundle(), nullptr);
    EXPECT_EQ(manager->LoadText(134), "Sprachbibliothek");
    EXPECT_EQ(manager->LoadImage("IDB_SPLASH"), FakePng(2));

    ASSERT_NE(manager->LoadResourceLibrary(kLauncherResourceLibrary), nullptr);
    EXPECT_EQ(manager->LoadText(134), "dorlt Aufruf");
    EXPECT_EQ(manager->LoadText(130), "only English");
    EXPECT_EQ(manager->LoadImage("IDB_SPLASH"), FakePng(3));
    // The program's own images stay the program's.
    EXPECT_EQ(manager->LoadProgramImage("IDB_SPLASH"), FakePng(1));
    EXPECT_EQ(manager->CurrentLibraryName(), "languages\\de-de.dll");
}

TEST_F(ResourceManagerTest, LoadedLibraryLackingAnIdGivesEmptyTextNotTheBuiltIn) {
    auto manager = Make(ProgramKind::Launcher, "de-de", 7);
    ASSERT_NE(manager->LoadResourceLibrary("dorltRES.dll"), nullptr);
    EXPECT_EQ(manager->LoadText(148), "");
    EXPECT_EQ(manager->LoadDialogText(104, 0), "");
    EXPECT_TRUE(manager->LoadImage("IDI_NODEVICE").empty());
}

TEST_F(ResourceManagerTest, LauncherWithoutItsLibraryServesTheBuiltInEnglish) {
    std::filesystem::remove(m_folder.Path() + "dorltRES");
    auto manager = Make(ProgramKind::Launcher, "de-de", 7);
    // A failed load leaves nothing loaded, not the language library loaded before.
    EXPECT_EQ(manager->LoadResourceLibrary("dorltRES.dll"), nullptr);
    EXPECT_EQ(manager->LoadedBundle(), nullptr);
    EXPECT_EQ(manager->LoadText(134), "built-in usage");
    EXPECT_EQ(manager->LoadDialogText(104, 0), "built-in usage caption");
    EXPECT_EQ(manager->LoadImage("IDB_SPLASH"), FakePng(1));
}

TEST_F(ResourceManagerTest, DamagedLibraryIsTreatedAsNotThere) {
    auto bytes = Bundle("en-us", 134, "damaged");
    bytes.resize(bytes.size() - 3);
    m_folder.Write("dorltRES", bytes);
    auto manager = Make(ProgramKind::Launcher, "en-us", 9);
    EXPECT_EQ(manager->LoadResourceLibrary("dorltRES.dll"), nullptr);
    EXPECT_EQ(manager->LoadText(134), "built-in usage");
}

TEST_F(ResourceManagerTest, LanguageOutsideTheTableLoadsEnglishLibrary) {
    auto manager = Make(ProgramKind::Launcher, "ja-jp", 17);
    EXPECT_EQ(manager->CurrentLibraryName(), "languages\\en-us.dll");
    // No languages/en-us in this folder: the built-in table serves.
    EXPECT_EQ(manager->LoadedBundle(), nullptr);
    EXPECT_EQ(manager->LoadText(134), "built-in usage");
}

TEST_F(ResourceManagerTest, WizardStartsEmptyAndKeepsWhatItLoadedWhenALaterLoadFails) {
    m_folder.Write("snfRES", Bundle("de-de", 116, "Assistent"));
    auto manager = Make(ProgramKind::Wizard, "de-de", 7);
    EXPECT_EQ(manager->CurrentLibraryName(), "");
    EXPECT_EQ(manager->LoadedBundle(), nullptr);

    const ResourceBundle* loaded = manager->LoadResourceLibrary(kWizardResourceLibrary);
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(manager->LoadText(116), "Assistent");
    EXPECT_EQ(manager->LoadResourceLibrary(nullptr), nullptr); // no ResourceD here
    EXPECT_EQ(manager->LoadedBundle(), loaded);
    EXPECT_EQ(manager->LoadText(116), "Assistent");
}

TEST_F(ResourceManagerTest, NullNameLoadsResourceD) {
    m_folder.Write("ResourceD", Bundle("en-us", 1, "default library"));
    auto manager = Make(ProgramKind::Wizard, "en-us", 9);
    ASSERT_NE(manager->LoadResourceLibrary(nullptr), nullptr);
    EXPECT_EQ(manager->LoadText(1), "default library");
}

TEST_F(ResourceManagerTest, LauncherTextsAreCutTo1023CharactersWizardTextsAreNot) {
    std::string longText;
    for (int i = 0; i < 1100; ++i) {
        longText += "ä";
    }
    m_folder.Write("dorltRES", Bundle("en-us", 1, longText));
    m_folder.Write("snfRES", Bundle("en-us", 1, longText));

    auto launcher = Make(ProgramKind::Launcher, "en-us", 9);
    ASSERT_NE(launcher->LoadResourceLibrary("dorltRES.dll"), nullptr);
    const std::string cut = launcher->LoadText(1);
    EXPECT_EQ(cut.size(), 1023u * 2);
    EXPECT_EQ(cut, longText.substr(0, 1023 * 2));

    auto wizard = Make(ProgramKind::Wizard, "en-us", 9);
    ASSERT_NE(wizard->LoadResourceLibrary("snfRES.dll"), nullptr);
    EXPECT_EQ(wizard->LoadText(1), longText);
}

TEST(ResourceManagerAccess, OneInstanceUntilDestroyed) {
    DestroyResourceManager();
    EXPECT_EQ(GetResourceManager(), nullptr);
    ResourceBundleWriter writer;
    ASSERT_TRUE(writer.AddText("en-us", 1, "x"));
    const auto builtin = writer.Finish();
    kvResourceManager* first = CreateResourceManager(ProgramKind::Wizard, builtin);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(CreateResourceManager(ProgramKind::Launcher, builtin), first);
    EXPECT_EQ(GetResourceManager(), first);
    EXPECT_EQ(first->Program(), ProgramKind::Wizard);
    EXPECT_EQ(first->LoadText(1), "x");
    DestroyResourceManager();
    EXPECT_EQ(GetResourceManager(), nullptr);
}
