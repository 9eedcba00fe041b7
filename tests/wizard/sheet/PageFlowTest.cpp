// The way through the wizard's pages, and the welcome page's shortcut with a fake server search.
#include "wizard/sheet/PageFlow.h"
#include "wizard/sheet/RunOutcome.h"

#include "common/resources/ResourceManager.h"
#include "resources/BuiltinBundles.h"

#include "PortableTestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

TEST(PageFlow, PagesInTheirOrderWithHeadersOnlyOnInnerPages) {
    std::vector<int> templates;
    for (const PageInfo& page : PageTable()) {
        EXPECT_EQ(page.index, static_cast<int>(templates.size()));
        templates.push_back(page.templateId);
        EXPECT_EQ(page.fullSize, page.headerTitleId == 0) << page.templateId;
        EXPECT_EQ(page.fullSize, page.headerSubtitleId == 0) << page.templateId;
        EXPECT_EQ(FindPage(page.templateId), &page);
    }
    EXPECT_EQ(templates, (std::vector<int>{102, 104, 103, 105, 106, 139, 140}));
    EXPECT_EQ(FindPage(kDevicePage)->headerTitleId, 123u);
    EXPECT_EQ(FindPage(kDeletingPage)->headerSubtitleId, 132u);
    EXPECT_TRUE(FindPage(kFinishPage)->fullSize);
    EXPECT_EQ(FindPage(kStayOnPage), nullptr);
    EXPECT_EQ(FindPage(0), nullptr);
}

TEST(PageFlow, NextAndBackOfEveryPage) {
    WizardSettings settings;
    EXPECT_EQ(WelcomeNext(settings, false), WelcomeNextAction::DevicePage);
    EXPECT_EQ(WelcomeNext(settings, true), WelcomeNextAction::Stay);
    settings.usingSaved = true;
    EXPECT_EQ(WelcomeNext(settings, false), WelcomeNextAction::QuickPath);
    EXPECT_EQ(WelcomeNext(settings, true), WelcomeNextAction::Stay);

    EXPECT_EQ(DeviceBack(), kWelcomePage);
    EXPECT_EQ(DeviceNext(true), kFolderPage);
    EXPECT_EQ(DeviceNext(false), kStayOnPage);
    EXPECT_EQ(FolderBack(), kDevicePage);
    EXPECT_EQ(FolderNext(true), kCopyingPage);
    EXPECT_EQ(FolderNext(false), kStayOnPage);
    EXPECT_EQ(CancelBack(), kFolderPage);

    EXPECT_EQ(StandardNext(kWelcomePage), kDevicePage);
    EXPECT_EQ(StandardNext(kCopyingPage), kFinishPage);
    EXPECT_EQ(StandardNext(kDeletingPage), kStayOnPage);
    EXPECT_EQ(StandardBack(kWelcomePage), kStayOnPage);
    EXPECT_EQ(StandardBack(12345), kStayOnPage);
}

TEST(PageFlow, ButtonsEachPageOffers) {
    EXPECT_EQ(WelcomeButtons(false), kBackButton | kNextButton);
    EXPECT_EQ(WelcomeButtons(true), kBackButton);
    EXPECT_FALSE(ShowsBackButton(kWelcomePage));

    EXPECT_EQ(DeviceButtons(true, true), kBackButton | kNextButton);
    EXPECT_EQ(DeviceButtons(true, false), kBackButton);
    EXPECT_EQ(DeviceButtons(false, true), kBackButton);
    EXPECT_TRUE(ShowsBackButton(kDevicePage));

    EXPECT_EQ(FixedPageButtons(kFolderPage), kBackButton | kNextButton);
    EXPECT_EQ(FixedPageButtons(kCopyingPage), kNoButtons);
    EXPECT_EQ(FixedPageButtons(kDeletingPage), kNoButtons);
    EXPECT_EQ(FixedPageButtons(kFinishPage), kFinishButton);
    EXPECT_EQ(FixedPageButtons(kCancelPage), kBackButton | kFinishButton);
}

TEST(PageFlow, SavedServerNameIsTheFirstLabelCutTo127Bytes) {
    DeviceRecord record;
    record.addressText = "192.168.1.9";
    record.hostName = "srv1.example";
    EXPECT_EQ(SavedServerName(record), "srv1");
    record.hostName = std::string(200, 'a') + ".example";
    EXPECT_EQ(SavedServerName(record), std::string(127, 'a'));
    record.hostName = "Legacy";
    EXPECT_EQ(SavedServerName(record), "");
}

class FakeSearch : public CAbstractServerSearch {
public:
    std::vector<DeviceRecord> Search() override {
        ++searches;
        return servers;
    }
    void Add(const std::string& address, const std::string& hostName) {
        DeviceRecord record;
        record.addressText = address;
        record.hostName = hostName;
        servers.push_back(record);
    }

    std::vector<DeviceRecord> servers;
    int searches = 0;
};

class QuickPathTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetTestEnvironment("VELMORA_PROGRAM_DIR",
                           std::string("/nonexistent-velmora-program")); // no settings.ini
        settings.saveSettings = true;
        settings.usingSaved = true;
        settings.serverName = "srv1";
        settings.groupName = "Holiday";
        settings.folderName = "Trips";
        settings.groupSelection = 1;
    }

    QuickPathResult Run() {
        CQuickPath path(search, [this](const DeviceRecord& server, uint8_t library) {
            made.push_back(server.addressText + " " + std::to_string(library));
            return makeTransfers ? std::make_unique<CWebDAVFileTransfer>() : nullptr;
        });
        return path.Run(settings, "2024-05-01");
    }

    WizardSettings settings;
    FakeSearch search;
    bool makeTransfers = true;
    std::vector<std::string> made;
};

TEST_F(QuickPathTest, TheFirstServerOfTheSavedNameGoesStraightToCopying) {
    search.Add("10.0.0.1", "SRV1.example"); // names compare exactly
    search.Add("10.0.0.2", "srv10.example");
    search.Add("10.0.0.3", "legacy");
    search.Add("10.0.0.4", "srv1.example");
    search.Add("10.0.0.5", "srv1");
    settings.usePersonalLibrary = true;

    const QuickPathResult result = Run();
    EXPECT_EQ(result.outcome, QuickPathOutcome::Ready);
    EXPECT_EQ(result.nextPage, kCopyingPage);
    EXPECT_FALSE(result.savedServerMissing);
    EXPECT_EQ(result.server.addressText, "10.0.0.4");
    EXPECT_NE(result.transfer, nullptr);
    EXPECT_EQ(made, (std::vector<std::string>{"10.0.0.4 1"}));
    EXPECT_EQ(result.destination, "Trips/2024-05-01, Holiday");
    EXPECT_EQ(search.searches, 1);
}

TEST_F(QuickPathTest, AServerWithoutATransferKeepsTheWelcomePage) {
    search.Add("10.0.0.4", "srv1.example");
    makeTransfers = false;
    const QuickPathResult result = Run();
    EXPECT_EQ(result.outcome, QuickPathOutcome::NoTransfer);
    EXPECT_EQ(result.nextPage, kStayOnPage);
    EXPECT_FALSE(result.savedServerMissing);
    EXPECT_EQ(result.transfer, nullptr);
    EXPECT_EQ(made, (std::vector<std::string>{"10.0.0.4 0"}));
}

TEST_F(QuickPathTest, AMissingServerLeadsToTheDevicePageWithWhatWasFound) {
    search.Add("10.0.0.2", "srv10.example");
    search.Add("10.0.0.3", "srv2");
    QuickPathResult result = Run();
    EXPECT_EQ(result.outcome, QuickPathOutcome::ServerMissing);
    EXPECT_EQ(result.nextPage, kDevicePage);
    EXPECT_TRUE(result.savedServerMissing);
    EXPECT_EQ(result.found.size(), 2u);
    EXPECT_TRUE(made.empty());

    // Nothing remembered matches nothing, not a server without a name.
    settings.serverName.clear();
    search.Add("10.0.0.6", "");
    result = Run();
    EXPECT_EQ(result.outcome, QuickPathOutcome::ServerMissing);
    EXPECT_TRUE(made.empty());
}

TEST_F(QuickPathTest, ALongServerNameIsFoundByTheNameItWasSavedUnder) {
    search.Add("10.0.0.7", std::string(200, 'b') + ".example");
    settings.serverName = SavedServerName(search.servers[0]);
    EXPECT_EQ(Run().outcome, QuickPathOutcome::Ready);
}

TEST_F(QuickPathTest, DestinationFollowsTheNamingTypeAndTheDefaultPictureFolder) {
    const std::vector<std::string> expected = {"Trips/Holiday", "Trips/2024-05-01, Holiday",
                                               "Trips/2024-05-01", "Trips"};
    for (int type = 0; type < kNamingTypeCount; ++type) {
        settings.groupSelection = type;
        EXPECT_EQ(SavedDestination(settings, "2024-05-01"), expected[static_cast<size_t>(type)]);
    }
    settings.groupSelection = 0;
    settings.folderName.clear();
    EXPECT_EQ(SavedDestination(settings, "2024-05-01"), "FamilyPhotos/Holiday");
    settings.usePersonalLibrary = true;
    EXPECT_EQ(SavedDestination(settings, "2024-05-01"), "MyPhotos/Holiday");
}

TEST_F(QuickPathTest, SavedNamesThatAreNoFolderNamesTakeTheUsualWayWithoutASearch) {
    search.Add("10.0.0.4", "srv1.example");
    for (const auto& [group, folder] : std::vector<std::pair<std::string, std::string>>{
             {"a#b", "Trips"}, {"../x", "Trips"}, {"Holiday", ".."}, {"Holiday", "a/b"}}) {
        settings.groupName = group;
        settings.folderName = folder;
        const QuickPathResult result = Run();
        EXPECT_EQ(result.outcome, QuickPathOutcome::UnusableSettings) << group << " " << folder;
        EXPECT_EQ(result.nextPage, kDevicePage);
        EXPECT_FALSE(result.savedServerMissing);
    }
    EXPECT_EQ(search.searches, 0);
    EXPECT_TRUE(made.empty());
}

TEST(RunFailureLine, NamesTheFailureAndWhetherTheShareWasCleanedUp) {
    CResourceManagerScope resources(ProgramKind::Wizard, WizardBuiltinBundle(), nullptr);
    EXPECT_EQ(RunFailureLine({}), "") << "a run that did not fail has no line";

    TransferFailure full;
    full.status = ShareStatus::DiskFull;
    EXPECT_EQ(RunFailureLine(full), "The copying failed: the server's disk is full. The pictures "
                                    "copied in this run were removed from the server.");

    TransferFailure away;
    away.status = ShareStatus::ConnectionLost;
    away.leftBehind = 2;
    EXPECT_EQ(RunFailureLine(away),
              "The copying failed: the connection to the server was lost. 2 file(s) this run "
              "copied could not be removed from the server; they may be incomplete.");

    // A single copy left is still a copy left: the line must not claim a clean share.
    away.leftBehind = 1;
    EXPECT_EQ(RunFailureLine(away),
              "The copying failed: the connection to the server was lost. 1 file(s) this run "
              "copied could not be removed from the server; they may be incomplete.");
    away.leftBehindPath = "FamilyLibrary/Trip/.~Trip 2.jpg.snapferry";
    EXPECT_EQ(RunFailureLine(away).substr(RunFailureLine(away).find('\n')),
              "\nStill on the server: FamilyLibrary/Trip/.~Trip 2.jpg.snapferry");
}

TEST(RunFinishLines, CountWhatWasCopiedAndSayWhatWasNot) {
    CResourceManagerScope resources(ProgramKind::Wizard, WizardBuiltinBundle(), nullptr);
    TransferFailure unreadable;
    unreadable.status = ShareStatus::SourceUnreadable;
    unreadable.source = "disk:/media/card/DCIM/100CANON/IMG_0003.JPG";
    TransferFailure partial;
    partial.leftBehind = 1;
    partial.leftBehindPath = "FamilyLibrary/Trip/.~Trip 4.jpg.snapferry";
    struct Case {
        uint32_t copied, videos, skipped;
        TransferFailure first, ending;
        const char* expected;
    };
    const Case cases[] = {
        {3, 0, 0, {}, {}, "3 picture(s) were copied."},
        {3, 2, 0, {}, {}, "3 picture(s) were copied.\nand 2 video(s)."},
        {2,
         0,
         1,
         unreadable,
         {},
         "2 picture(s) were copied.\n1 picture(s) could not be copied from the camera.\n"
         "IMG_0003.JPG could not be copied: the picture cannot be read."},
        {2, 0, 1, unreadable, partial,
         "2 picture(s) were copied.\n1 picture(s) could not be copied from the camera.\n"
         "IMG_0003.JPG could not be copied: the picture cannot be read.\n"
         "Still on the server: FamilyLibrary/Trip/.~Trip 4.jpg.snapferry"},
    };
    EXPECT_EQ(RunFinishLines(2, 0, 1, unreadable, {}, false),
              "2 picture(s) were copied.\n1 picture(s) could not be read and were passed over.\n"
              "IMG_0003.JPG could not be copied: the picture cannot be read.");
    TransferFailure full;
    full.status = ShareStatus::DiskFull;
    full.source = "/home/anna/Pictures/IMG_0004.JPG";
    EXPECT_EQ(RunFailureLine(full), "The copying failed: IMG_0004.JPG: the server's disk is full. "
                                    "The pictures copied in this run were removed from the server.")
        << "a failure of one picture names it";
    for (const Case& run : cases) {
        EXPECT_EQ(RunFinishLines(run.copied, run.videos, run.skipped, run.first, run.ending, true),
                  run.expected);
    }
}

TEST(RunOutcome, TheExitFollowsWhatTheRunDidNotHowTheSheetWasClosed) {
    struct Case {
        int lastPage;
        bool failed;
        WizardEnd end;
    };
    for (const Case& c : std::vector<Case>{
             {kFinishPage, false, WizardEnd::Done}, // Finish, Esc or the close box alike
             {kCancelPage, false, WizardEnd::Cancelled},
             {kCancelPage, true, WizardEnd::Failed},
             {kFinishPage, true, WizardEnd::Failed},
             {kCopyingPage, false, WizardEnd::Cancelled},
             {kWelcomePage, false, WizardEnd::Cancelled},
             {kFolderPage, true, WizardEnd::Failed}, // went back after a failed rollback
         }) {
        EXPECT_EQ(WizardEndFor(c.lastPage, c.failed), c.end) << c.lastPage << " " << c.failed;
    }
}

TEST(RunOutcome, ACancelledRunSaysOnlyWhenItsCopiesStayed) {
    CResourceManagerScope resources(ProgramKind::Wizard, WizardBuiltinBundle(), nullptr);
    EXPECT_EQ(CancelledRunLine({}), "");
    TransferFailure left;
    left.status = ShareStatus::ConnectionLost;
    left.leftBehind = 3;
    EXPECT_EQ(CancelledRunLine(left), "3 file(s) this run copied could not be removed from the "
                                      "server. They may be incomplete.");
}

} // namespace
