// The folder page's destination list, the group-name rule and the finish page's link.
#include "common/resources/ResourceManager.h"
#include "resources/BuiltinBundles.h"
#include "wizard/sheet/ComboBoxMoreModel.h"
#include "wizard/sheet/DestinationAddress.h"
#include "wizard/sheet/DestinationEntries.h"
#include "wizard/transfer/AsyncData.h"
#include "wizard/transfer/SmbSession.h"

#include "PortableTestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

namespace {

const std::string kDate = "2024-05-01";

std::vector<std::string> Texts(const std::vector<DestinationEntry>& entries) {
    std::vector<std::string> texts;
    for (const DestinationEntry& entry : entries) {
        texts.push_back(entry.text);
    }
    return texts;
}

class DestinationTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetTestEnvironment("VELMORA_PROGRAM_DIR",
                           std::string("/nonexistent-velmora-program")); // no settings.ini
        SetTestEnvironment(kSmbPortVariable, std::nullopt);
    }
};

TEST_F(DestinationTest, TheDefaultFolderComesFirstThenTheOthersInListingOrder) {
    const std::vector<DestinationEntry> entries =
        BuildDestinationEntries({"Trips", "FamilyPhotos", "Art"}, "FamilyPhotos", "Holiday", kDate);
    ASSERT_EQ(entries.size(), 12u);
    EXPECT_EQ(std::vector<DestinationEntry>(entries.begin(), entries.begin() + 5),
              (std::vector<DestinationEntry>{{"FamilyPhotos/Holiday", 0},
                                             {"FamilyPhotos/2024-05-01, Holiday", 1},
                                             {"FamilyPhotos/2024-05-01", 2},
                                             {"FamilyPhotos", 3},
                                             {"Trips/Holiday", 0}}));
    EXPECT_EQ(entries[8], (DestinationEntry{"Art/Holiday", 0}));
    EXPECT_EQ(entries[11], (DestinationEntry{"Art", 3}));

    // Exact comparison: another spelling of the default folder is just another folder.
    EXPECT_EQ(Texts(BuildDestinationEntries({"Trips", "familyphotos"}, "FamilyPhotos", "H", kDate))
                  .front(),
              "Trips/H");
    EXPECT_TRUE(BuildDestinationEntries({}, "FamilyPhotos", "H", kDate).empty());
}

TEST_F(DestinationTest, FillingTheListsDefaultsTheGroupNameAndUsesTheChosenLibrary) {
    WizardSettings settings;
    settings.groupName.clear();
    settings.usePersonalLibrary = true;
    const std::vector<DestinationEntry> entries =
        FillDestinationEntries(settings, {"FamilyPhotos", "MyPhotos"}, kDate);
    EXPECT_EQ(settings.groupName, "Photo");
    ASSERT_EQ(entries.size(), 8u);
    EXPECT_EQ(entries[0].text, "MyPhotos/Photo");
    EXPECT_EQ(entries[4].text, "FamilyPhotos/Photo");
    EXPECT_EQ(LibraryNetworkFolder("10.0.0.5:1445", true), "//10.0.0.5:1445/MyLibrary");
    EXPECT_EQ(LibraryNetworkFolder("10.0.0.5", false), "//10.0.0.5/FamilyLibrary");
}

TEST_F(DestinationTest, GroupNamesWithAnyOfTheTwelveCharactersAreRefused) {
    EXPECT_TRUE(IsValidGroupName(""));
    EXPECT_TRUE(IsValidGroupName("Holiday 2024, Été (1) & more"));
    for (const char c : std::string(kInvalidGroupNameCharacters)) {
        EXPECT_FALSE(IsValidGroupName(std::string("a") + c + "b")) << c;
    }
    EXPECT_FALSE(IsValidGroupName("Party #3"));
    EXPECT_EQ(InvalidGroupNameMessage(),
              "A picture group name can not contain any of following \ncharacters: "
              "\\/:*?\"<>|!;#");
}

TEST_F(DestinationTest, TheFolderNameIsTheDestinationUpToItsFirstSlash) {
    EXPECT_EQ(FolderNameFromDestination("MyPhotos/2024-05-01, Holiday"), "MyPhotos");
    EXPECT_EQ(FolderNameFromDestination("MyPhotos"), "MyPhotos");
    EXPECT_EQ(FolderNameFromDestination("/MyPhotos/x"), "/MyPhotos/x");
    EXPECT_EQ(FolderNameFromDestination("My\\Photos/x"), "My\\Photos");
    EXPECT_EQ(FolderNameFromDestination(""), "");
}

TEST_F(DestinationTest, DatesAreWrittenYearMonthDayInLocalTime) {
    const char* savedZone = std::getenv("TZ");
    const std::string saved = savedZone != nullptr ? savedZone : "";
    SetTestEnvironment("TZ", std::string("UTC"));
    ::tzset();
    EXPECT_EQ(FormatLocalDate(0), "1970-01-01");
    EXPECT_EQ(FormatLocalDate(951782400), "2000-02-29");
    SetTestEnvironment("TZ", std::string("EST5")); // a POSIX zone, so no zone files are needed
    ::tzset();
    EXPECT_EQ(FormatLocalDate(951782400), "2000-02-28");
    EXPECT_EQ(TodayText().size(), 10u);
    if (savedZone != nullptr) {
        SetTestEnvironment("TZ", saved);
    } else {
        SetTestEnvironment("TZ", std::nullopt);
    }
    ::tzset();
}

class ComboBoxMoreTest : public DestinationTest {
protected:
    void SetUp() override {
        DestinationTest::SetUp();
        model.SetMoreText("Click here for more choices...");
        model.SetItems(BuildDestinationEntries({"Trips", "FamilyPhotos", "Art", "Pets", "Old"},
                                               "FamilyPhotos", "Holiday", kDate));
    }

    // A chooser that picks `text` and remembers what it was offered.
    CComboBoxMoreModel::Chooser Choose(const std::string& text) {
        return [this, text](const std::vector<std::string>& texts) -> std::optional<size_t> {
            offered = texts;
            for (size_t i = 0; i < texts.size(); ++i) {
                if (texts[i] == text) {
                    return i;
                }
            }
            return std::nullopt;
        };
    }

    CComboBoxMoreModel model;
    std::vector<std::string> offered;
};

TEST_F(ComboBoxMoreTest, ShowsFiveEntriesThenTheMoreItem) {
    EXPECT_EQ(model.FullList().size(), 20u);
    EXPECT_EQ(Texts(model.ShownList()),
              (std::vector<std::string>{"FamilyPhotos/Holiday", "FamilyPhotos/2024-05-01, Holiday",
                                        "FamilyPhotos/2024-05-01", "FamilyPhotos", "Trips/Holiday",
                                        "Click here for more choices..."}));
    EXPECT_TRUE(model.IsMoreItem(5));
    EXPECT_FALSE(model.IsMoreItem(4));
    EXPECT_EQ(model.Selection(), 0);

    // Exactly five entries need no more item; fewer keep the selection when it is still there.
    model.Select(3);
    std::vector<DestinationEntry> five(model.FullList().begin(), model.FullList().begin() + 5);
    model.SetItems(five);
    EXPECT_EQ(model.ShownList().size(), 5u);
    EXPECT_FALSE(model.HasMoreItem());
    EXPECT_EQ(model.Selection(), 3);
    model.Select(4);
    model.SetItems(std::vector<DestinationEntry>(five.begin(), five.begin() + 4));
    EXPECT_EQ(model.Selection(), 0);
    model.SetItems({});
    EXPECT_EQ(model.Selection(), -1);
    EXPECT_TRUE(model.ShownList().empty()) << "an unreachable share shows nothing at all";
    EXPECT_EQ(model.ResolveSelection(0, Choose("x")).index, -1);
}

TEST_F(ComboBoxMoreTest, AnEntryBeyondTheFifthTakesTheTopPlace) {
    auto resolved = model.ResolveSelection(2, Choose("unused"));
    EXPECT_EQ(resolved.index, 2);
    EXPECT_EQ(resolved.type, 2);
    EXPECT_TRUE(offered.empty()) << "an entry is not the more item";

    resolved = model.ResolveSelection(5, Choose("Pets/2024-05-01"));
    EXPECT_EQ(offered, Texts(model.FullList()));
    EXPECT_EQ(resolved.index, 0);
    EXPECT_EQ(resolved.type, 2);
    EXPECT_EQ(model.Selection(), 0);
    EXPECT_EQ(Texts(model.ShownList()),
              (std::vector<std::string>{
                  "Pets/2024-05-01", "FamilyPhotos/Holiday", "FamilyPhotos/2024-05-01, Holiday",
                  "FamilyPhotos/2024-05-01", "FamilyPhotos", "Click here for more choices..."}));
    EXPECT_EQ(model.ShownList()[4].type, 3);
    EXPECT_EQ(model.ShownList()[5].type, 0);
    EXPECT_EQ(model.FullList().size(), 20u) << "the full list stays as it was";

    // An entry already shown is selected where it is.
    resolved = model.ResolveSelection(5, Choose("FamilyPhotos/2024-05-01, Holiday"));
    EXPECT_EQ(resolved.index, 2);
    EXPECT_EQ(resolved.type, 1);
    EXPECT_EQ(model.ShownList()[0].text, "Pets/2024-05-01");

    // Cancel selects the first entry.
    resolved = model.ResolveSelection(5, Choose("not offered"));
    EXPECT_EQ(resolved.index, 0);
    EXPECT_EQ(resolved.type, 2);
    EXPECT_EQ(model.SelectedEntry()->text, "Pets/2024-05-01");
}

TEST_F(DestinationTest, TheFinishLinkEscapesEveryFolderAndKeepsThePort) {
    EXPECT_EQ(DestinationAddress("192.168.1.9", false, "FamilyPhotos/2024-05-01, Holiday"),
              "smb://192.168.1.9/FamilyLibrary/FamilyPhotos/2024-05-01%2C%20Holiday/");
    EXPECT_EQ(DestinationAddress("127.0.0.1:1445", true, "My Photos/100% #1 Été?"),
              "smb://127.0.0.1:1445/MyLibrary/My%20Photos/100%25%20%231%20%C3%89t%C3%A9%3F/");
    EXPECT_EQ(DestinationAddress("10.0.0.5", true, ""), "smb://10.0.0.5/MyLibrary/");
    SetTestEnvironment(kSmbPortVariable, std::string("4445"));
    EXPECT_EQ(DestinationAddress("10.0.0.5", true, "MyPhotos"),
              "smb://10.0.0.5:4445/MyLibrary/MyPhotos/");
    SetTestEnvironment(kSmbPortVariable, std::nullopt);
    EXPECT_EQ(DestinationAddress("10.0.0.5:0", true, "MyPhotos"), "");
    EXPECT_EQ(DestinationAddress("evil@host", true, "MyPhotos"), "");
    EXPECT_EQ(DestinationAddress("", true, "MyPhotos"), "");
}

TEST(ProgressRecords, PercentagesAreHeldToTheBar) {
    EXPECT_EQ(kvFileStatusAsyncData(nullptr, 10, 25).Percent(), 100) << "more done than total";
    EXPECT_EQ(kvGroupStatusAsyncData(nullptr, 3, -1, "x").Percent(), 0);
    EXPECT_EQ(kvGroupStatusAsyncData(nullptr, 3, 1, "x").Percent(), 33);
    EXPECT_EQ(kvFileStatusAsyncData(nullptr, 1000, 999).Percent(), 99) << "truncated";
}

TEST(GroupName, NamesTheServerWouldRefuseAreToldApart) {
    const std::string sixty(kGroupNameCharacterLimit, 'x');
    std::string sixtyUmlauts;
    for (size_t index = 0; index < kGroupNameCharacterLimit; ++index) {
        sixtyUmlauts += "\xC3\xA4"; // two bytes a character, still within the limit
    }
    struct Case {
        std::string name;
        GroupNameProblem problem;
    };
    for (const Case& c : std::vector<Case>{
             {"Trip", GroupNameProblem::None},
             {"", GroupNameProblem::None}, // the run names it Photo
             {"...", GroupNameProblem::None},
             {".hidden", GroupNameProblem::None},
             {".", GroupNameProblem::DotName},
             {"..", GroupNameProblem::DotName},
             {"a/..", GroupNameProblem::BadCharacter},
             {sixty, GroupNameProblem::None},
             {sixty + "x", GroupNameProblem::TooLong},
             {sixtyUmlauts, GroupNameProblem::None},
             {sixtyUmlauts + "\xC3\xA4", GroupNameProblem::TooLong},
             {"bad\xFF", GroupNameProblem::TooLong}, // not UTF-8: no sound length
         }) {
        EXPECT_EQ(CheckGroupName(c.name), c.problem) << c.name;
    }
    CResourceManagerScope resources(ProgramKind::Wizard, WizardBuiltinBundle(), nullptr);
    EXPECT_EQ(GroupNameMessage(GroupNameProblem::None), "");
    EXPECT_EQ(GroupNameMessage(GroupNameProblem::BadCharacter), InvalidGroupNameMessage());
    EXPECT_EQ(GroupNameMessage(GroupNameProblem::TooLong),
              "A picture group name can have at most 60 characters.");
}

TEST(GroupName, ABlankNameIsTheDefaultName) {
    EXPECT_EQ(EffectiveGroupName(""), "Photo");
    EXPECT_EQ(EffectiveGroupName("  \t"), "Photo");
    EXPECT_EQ(EffectiveGroupName(" Trip "), " Trip ") << "a name is kept as typed";
    WizardSettings settings;
    settings.groupName = " ";
    const auto entries = FillDestinationEntries(settings, {"Holidays"}, "2024-05-01");
    EXPECT_EQ(settings.groupName, "Photo");
    EXPECT_EQ(entries[0].text, "Holidays/Photo");
}

TEST(GroupName, APlainFileWhereTheGroupFolderGoesIsFound) {
    const std::vector<ShareEntry> entries = {
        {"Trip", false, 10}, {"2024-05-01, Sea", false, 3}, {"Park", true, 0}};
    EXPECT_EQ(FileInTheWay("Holidays/trip", entries), "Trip") << "the server ignores case";
    EXPECT_EQ(FileInTheWay("Holidays/2024-05-01, Sea", entries), "2024-05-01, Sea");
    EXPECT_EQ(FileInTheWay("Holidays/Park", entries), "") << "a folder takes the copies";
    EXPECT_EQ(FileInTheWay("Holidays/Tripod", entries), "");
    EXPECT_EQ(FileInTheWay("Trip", entries), "") << "the library folder itself was listed";
    EXPECT_EQ(FileInTheWay("", entries), "");
}

} // namespace
