#include "common/branding/Branding.h"
#include "common/resources/ResourceBundle.h"
#include "tests/common/resources/TestFolder.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

// A program directory with its own settings.ini, and a resource manager whose built-in table
// holds the texts a test needs.
class BrandingTest : public ::testing::Test {
protected:
    BrandingTest() : m_directory("VELMORA_PROGRAM_DIR", m_folder.Path()) {}
    ~BrandingTest() override { DestroyResourceManager(); }

    void Settings(const std::string& content) { m_folder.Write("settings.ini", content); }

    void Program(ProgramKind program, const std::map<unsigned, std::string>& texts) {
        ResourceBundleWriter writer;
        for (const auto& [id, text] : texts) {
            EXPECT_TRUE(writer.AddText("en-us", id, text));
        }
        m_builtin = writer.Finish();
        DestroyResourceManager();
        ASSERT_NE(CreateResourceManager(program, m_builtin), nullptr);
    }

    TestFolder m_folder;
    ScopedEnvironment m_directory;
    std::vector<unsigned char> m_builtin;
};

const std::map<unsigned, std::string> kTexts = {
    {112, "Searching for %p...\n\nPlease wait."},
    {130, "%p on %v"},
    {140, "Unable to Navigate to your %p. (%d)"},
    {144, "Type your %p Name and %p Username."},
    {150, "Found %d %p%s so far."},
    {151, "No placeholders at all."},
    {152, "%s took %u%% of %x"},
};

} // namespace

TEST_F(BrandingTest, ProgramDirectoryComesFromTheOverrideWithATrailingSlash) {
    EXPECT_EQ(GetProgramDirectory(), m_folder.Path());
    ScopedEnvironment noSlash("VELMORA_PROGRAM_DIR", "/opt/velmora");
    EXPECT_EQ(GetProgramDirectory(), JoinPath("/opt/velmora", ""));
    ScopedEnvironment unset("VELMORA_PROGRAM_DIR", std::nullopt);
    const std::string own = GetProgramDirectory();
    EXPECT_TRUE(IsPathSeparator(own.back()));
#ifdef _WIN32
    EXPECT_TRUE(std::filesystem::exists(own + "branding_tests.exe"));
#else
    EXPECT_TRUE(std::filesystem::exists(own + "resources_tests") ||
                std::filesystem::exists(own + "branding_tests"));
#endif
}

TEST_F(BrandingTest, WithoutSettingsFileEveryReadGivesItsDefault) {
    Program(ProgramKind::Wizard, kTexts);
    EXPECT_EQ(LoadBrandedText(112), "Searching for Velmora...\n\nPlease wait.");
    EXPECT_EQ(ReadRelayDomain(), "velmora-relay.example");
    EXPECT_EQ(ReadBrandingInt("Default", "reporttohomeonly", 1), 1);
    EXPECT_EQ(LibraryShareName(false), "FamilyLibrary");
    EXPECT_EQ(LibraryShareName(true), "MyLibrary");
    EXPECT_EQ(PictureFolderName(false, ""), "FamilyPhotos");
    EXPECT_EQ(PictureFolderName(true, ""), "MyPhotos");
}

TEST_F(BrandingTest, LauncherReplacesProductAndDeviceWizardOnlyProduct) {
    Settings("[Default]\nProductName=HomeBox\n");
    Program(ProgramKind::Launcher, kTexts);
    EXPECT_EQ(LoadBrandedText(130), "HomeBox on HomeBox");
    EXPECT_EQ(LoadBrandedText(144), "Type your HomeBox Name and HomeBox Username.");
    EXPECT_EQ(LoadBrandedText(151), "No placeholders at all.");
    EXPECT_EQ(LoadBrandedText(999), "");

    Settings("[Default]\nProductName=HomeBox\nServerDevice=Cube\n");
    EXPECT_EQ(LoadBrandedText(130), "HomeBox on Cube");

    Program(ProgramKind::Wizard, kTexts);
    EXPECT_EQ(LoadBrandedText(130), "HomeBox on %v");
}

TEST_F(BrandingTest, SettingsAreReadAfreshOnEveryText) {
    Program(ProgramKind::Wizard, kTexts);
    EXPECT_EQ(LoadBrandedText(112), "Searching for Velmora...\n\nPlease wait.");
    Settings("[Default]\nProductName=Edited\n");
    EXPECT_EQ(LoadBrandedText(112), "Searching for Edited...\n\nPlease wait.");
}

TEST_F(BrandingTest, NamesHoldingPlaceholdersAreInsertedOnce) {
    Settings("[Default]\nProductName=My %p %v box\nServerDevice=Dev %v %p\n");
    Program(ProgramKind::Launcher, kTexts);
    EXPECT_EQ(LoadBrandedText(130), "My %p %v box on Dev %v %p");
    EXPECT_EQ(LoadBrandedText(144), "Type your My %p %v box Name and My %p %v box Username.");
}

TEST_F(BrandingTest, FormattingSeesNoProductNameAndNoPercentOfIt) {
    Settings("[Default]\nProductName=100%s Box %d\n");
    Program(ProgramKind::Launcher, kTexts);
    EXPECT_EQ(FormatBrandedText(140, -3), "Unable to Navigate to your 100%s Box %d. (-3)");
    EXPECT_EQ(FormatBrandedText(150, 3, "es"), "Found 3 100%s Box %des so far.");
    EXPECT_EQ(LoadBrandedText(140), "Unable to Navigate to your 100%s Box %d. (%d)");
}

TEST_F(BrandingTest, TextNotFittingTheArgumentsIsShownUnformatted) {
    Settings("[Default]\nProductName=Box\n");
    Program(ProgramKind::Launcher, kTexts);
    EXPECT_EQ(FormatBrandedText(140, "text"), "Unable to Navigate to your Box. (%d)");
    EXPECT_EQ(FormatBrandedText(140), "Unable to Navigate to your Box. (%d)");
    EXPECT_EQ(FormatBrandedText(150, 3), "Found %d Box%s so far.");
    EXPECT_EQ(FormatBrandedText(152, std::string("copy"), 50u, 255), "copy took 50% of ff");
    EXPECT_EQ(FormatBrandedText(151), "No placeholders at all.");
    EXPECT_EQ(FormatBrandedText(151, 1, 2), "No placeholders at all.");
}

TEST_F(BrandingTest, ReadersCutLongValuesWithoutSplittingCharacters) {
    std::string value;
    for (int i = 0; i < 300; ++i) {
        value += "é";
    }
    Settings("[Default]\nlong=" + value + "\n[Domain]\nDomain=" + value + "\n");
    Program(ProgramKind::Launcher, kTexts);
    EXPECT_EQ(ReadBrandingString("Domain", "Domain", "x"), value.substr(0, 255 * 2));
    EXPECT_EQ(ReadBrandingString("Default", "long", "x"), value.substr(0, 255 * 2));
    EXPECT_EQ(ReadBrandingString("long", "x"), value.substr(0, 254 * 2));
    EXPECT_EQ(ReadBrandingString("Default", "absent", "fallback"), "fallback");
    EXPECT_EQ(ReadBrandingString("absent", "fallback"), "fallback");
}

TEST_F(BrandingTest, IntegersFromLeadingSignAndDigits) {
    Settings("[Default]\na=0\nb=12abc\nc=abc\nd=-7\ne=+5\nf=99999999999\ng=-99999999999\nh=\n");
    Program(ProgramKind::Launcher, kTexts);
    EXPECT_EQ(ReadBrandingInt("Default", "a", 1), 0);
    EXPECT_EQ(ReadBrandingInt("Default", "b", 1), 12);
    EXPECT_EQ(ReadBrandingInt("Default", "c", 1), 0);
    EXPECT_EQ(ReadBrandingInt("Default", "d", 1), -7);
    EXPECT_EQ(ReadBrandingInt("Default", "e", 1), 5);
    EXPECT_EQ(ReadBrandingInt("Default", "f", 1), INT_MAX);
    EXPECT_EQ(ReadBrandingInt("Default", "g", 1), INT_MIN);
    EXPECT_EQ(ReadBrandingInt("Default", "h", 1), 0);
    EXPECT_EQ(ReadBrandingInt("Default", "missing", 42), 42);
}

TEST_F(BrandingTest, LibraryAndPictureFolderNames) {
    Settings("[Default]\nfamilylibrary=Family\nmylibrary=Mine\nfamilyphotos=FP\nmyphotos=MP\n"
             "[Domain]\nDomain=relay.localhost:8080\n");
    Program(ProgramKind::Wizard, kTexts);
    EXPECT_EQ(LibraryShareName(false), "Family");
    EXPECT_EQ(LibraryShareName(true), "Mine");
    EXPECT_EQ(PictureFolderName(false, ""), "FP");
    EXPECT_EQ(PictureFolderName(true, ""), "MP");
    EXPECT_EQ(PictureFolderName(false, "Holiday"), "Holiday");
    EXPECT_EQ(PictureFolderName(true, "Holiday"), "Holiday");
    EXPECT_EQ(ReadRelayDomain(), "relay.localhost:8080");
}

TEST(FormatChecked, ConversionsMustFitTheirArguments) {
    using branding_detail::FormatArg;
    using branding_detail::FormatChecked;
    using branding_detail::MakeFormatArg;
    auto format = [](std::string_view text, std::initializer_list<FormatArg> args) {
        bool ok = false;
        std::string result = FormatChecked(text, std::span(args.begin(), args.size()), ok);
        return ok ? result : "<mismatch>";
    };
    EXPECT_EQ(format("%d|%i|%5d|%-4d|",
                     {MakeFormatArg(-1), MakeFormatArg(2), MakeFormatArg(3), MakeFormatArg(4)}),
              "-1|2|    3|4   |");
    EXPECT_EQ(format("%u %x %X %08x", {MakeFormatArg(-1), MakeFormatArg(255), MakeFormatArg(255u),
                                       MakeFormatArg(static_cast<short>(-1))}),
              "4294967295 ff FF 0000ffff");
    EXPECT_EQ(format("%lu %lld %hd", {MakeFormatArg(7), MakeFormatArg(8LL), MakeFormatArg(9)}),
              "7 8 9");
    EXPECT_EQ(format("%llu", {MakeFormatArg(~0ULL)}), "18446744073709551615");
    EXPECT_EQ(format("%c%c", {MakeFormatArg('o'), MakeFormatArg(107)}), "ok");
    EXPECT_EQ(format("%.2f %g", {MakeFormatArg(1.5), MakeFormatArg(2.0f)}), "1.50 2");
    EXPECT_EQ(format("%s/%.3s/%5s", {MakeFormatArg("a"), MakeFormatArg(std::string("abcdef")),
                                     MakeFormatArg(std::string_view("xy"))}),
              "a/abc/   xy");
    EXPECT_EQ(format("%s", {MakeFormatArg(static_cast<const char*>(nullptr))}), "");
    EXPECT_EQ(format("100%%", {}), "100%");

    const std::pair<const char*, FormatArg> mismatches[] = {
        {"%d", MakeFormatArg("x")},      {"%s", MakeFormatArg(1)},   {"%f", MakeFormatArg(1)},
        {"%d", MakeFormatArg(1.0)},      {"%n", MakeFormatArg(1)},   {"%p", MakeFormatArg(1)},
        {"%*d", MakeFormatArg(1)},       {"%1$d", MakeFormatArg(1)}, {"%1000d", MakeFormatArg(1)},
        {"%.1000f", MakeFormatArg(1.0)}, {"%", MakeFormatArg(1)},    {"%v", MakeFormatArg(1)},
    };
    for (const auto& [text, arg] : mismatches) {
        EXPECT_EQ(format(text, {arg}), "<mismatch>") << text;
    }
    EXPECT_EQ(format("%d %d", {MakeFormatArg(1)}), "<mismatch>");
    EXPECT_EQ(format("%999d", {MakeFormatArg(1)}).size(), 999u);
}
