// The wizard's sheet as the user walks it under Xvfb: real announcements on loopback, the real
// locate step and progress window, copies to an in-memory share (or a private smbd), the message
// boxes recorded by a modal hook.
#include "WxTestSupport_ui.h"
#include "smbd_fixture.h"
#include "tests/common/discovery/LoopbackAnnouncer.h"
#include "tests/common/registry/TempDirectory.h"
#include "tests/wizard/camera/FakeCamera.h"
#include "tests/wizard/transfer/TransferTestSupport.h"

#include "common/desktop/Opener.h"
#include "common/registry/Registry.h"
#include "common/resources/ResourceManager.h"
#include "common/ui/BrandedImage_ui.h"
#include "common/ui/WxText_ui.h"
#include "resources/BuiltinBundles.h"
#include "wizard/camera/CameraTransfer.h"
#include "wizard/sheet/ChooseVelmoraPage_ui.h"
#include "wizard/sheet/ClosingPages_ui.h"
#include "wizard/sheet/FolderPage_ui.h"
#include "wizard/sheet/RunOutcome.h"
#include "wizard/sheet/SnapferryPropSheet_ui.h"
#include "wizard/sheet/TransferRate.h"
#include "wizard/sheet/WelcomePage_ui.h"
#include "wizard/sheet/WorkPages_ui.h"
#include "wizard/transfer/SmbSession.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/combobox.h>
#include <wx/hyperlink.h>
#include <wx/listctrl.h>
#include <wx/radiobut.h>
#include <wx/sizer.h>
#include <wx/stattext.h>
#include <wx/timer.h>
#include <wx/utils.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <thread>

namespace {

using namespace std::chrono_literals;
using namespace testing_support;
using Clock = std::chrono::steady_clock;

// Servers announcing on a loopback port until the object goes.
class Announcers {
public:
    Announcers(uint16_t port, std::vector<std::pair<uint8_t, std::string>> servers)
        : m_thread([this, port, servers] {
              std::vector<std::unique_ptr<LoopbackAnnouncer>> senders;
              for (const auto& server : servers) {
                  senders.push_back(std::make_unique<LoopbackAnnouncer>(Loopback(server.first)));
              }
              while (m_running) {
                  for (size_t index = 0; index < servers.size(); ++index) {
                      senders[index]->Send(
                          AnnouncementText("127.0.0." + std::to_string(servers[index].first), 1000,
                                           servers[index].second, "arm"),
                          port);
                  }
                  std::this_thread::sleep_for(100ms);
              }
          }) {}
    ~Announcers() {
        m_running = false;
        m_thread.join();
    }

private:
    std::atomic<bool> m_running{true};
    std::thread m_thread;
};

class RecordingOpener : public CAbstractOpener {
public:
    OpenOutcome Open(const std::string& address) override {
        opened.push_back(address);
        return {succeed, succeed ? 0 : 3};
    }
    std::vector<std::string> opened;
    bool succeed = true;
};

// Steps run one after another as their moment comes, from the sheet's own event loop; every step
// waits for its condition (polled) and then acts. A step that never comes fails the test and
// closes the sheet.
struct Step {
    std::function<bool()> ready;
    std::function<void()> act;
};

CChooseVelmoraPage& DevicePage(CSnapferryPropSheet& sheet) {
    return *dynamic_cast<CChooseVelmoraPage*>(sheet.PageByTemplate(kDevicePage));
}
CFolderPage& FolderPage(CSnapferryPropSheet& sheet) {
    return *dynamic_cast<CFolderPage*>(sheet.PageByTemplate(kFolderPage));
}

class SheetTest : public ::testing::Test {
protected:
    SheetTest() {
        setenv("XDG_CONFIG_HOME", (home.Path() / "config").c_str(), 1);
        setenv("HOME", home.Path().c_str(), 1);
        CreateResourceManager(ProgramKind::Wizard, WizardBuiltinBundle());
        CreateRegistry();
        RegisterBrandedImageHandlers();
        sources.Add("a.jpg", 3000);
        sources.Add("b.png", 5000);
    }
    ~SheetTest() override {
        DestroyRegistry();
        DestroyResourceManager();
    }

    // A sheet that copies to the in-memory share and lists its folders.
    std::unique_ptr<CSnapferryPropSheet> MakeSheet(bool camera = false) {
        auto sheet = std::make_unique<CSnapferryPropSheet>(wxBitmap(), camera);
        sheet->LoadSavedSettings();
        sheet->pictures = sources.Pictures();
        sheet->properties.sourceDisplayName = "CARD";
        sheet->properties.driveText = "/media/card";
        sheet->locateSettings.port = port;
        sheet->locateSeconds = 3;
        sheet->SetOpener(&opener);
        sheet->SetCredentialsPrompt(&prompt);
        sheet->transferMaker = [this](const DeviceRecord& server) {
            madeFor.push_back(server.addressText);
            return std::make_unique<CSambaFileTransfer>(std::make_unique<FakeShare>(share));
        };
        sheet->folderLister = [this](const std::string& library, std::vector<std::string>& names) {
            listed.push_back(library);
            names = {"Holidays", "FamilyPhotos"};
            return ShareResult{};
        };
        sheet->entryLister = [this](const std::string& folder, std::vector<ShareEntry>& entries) {
            return FakeShare(share).List(folder, entries);
        };
        sheet->onPageShown = [this](int page) { shown.push_back(page); };
        sheet->AddPages();
        return sheet;
    }

    int Current(CSnapferryPropSheet& sheet) const {
        return sheet.ActivePage() ? sheet.ActivePage()->TemplateId() : 0;
    }
    std::function<bool()> On(CSnapferryPropSheet& sheet, int page) {
        return [this, &sheet, page] { return Current(sheet) == page && sheet.IsEnabled(); };
    }

    // Welcome and device page passed with Next, as a user does with the one server found, then
    // `steps`.
    void DrivePastServer(CSnapferryPropSheet& sheet, std::vector<Step> steps,
                         std::chrono::seconds limit = 20s) {
        const auto next = [&sheet] { sheet.PressButton(kNextButton); };
        steps.insert(steps.begin(),
                     {{On(sheet, kWelcomePage), next}, {On(sheet, kDevicePage), next}});
        Drive(sheet, std::move(steps), limit);
    }
    // The folder page, once it has listed the library's folders.
    std::function<bool()> OnListedFolderPage(CSnapferryPropSheet& sheet) {
        return [this, &sheet] {
            return Current(sheet) == kFolderPage && !FolderPage(sheet).IsListing();
        };
    }

    void Drive(CSnapferryPropSheet& sheet, std::vector<Step> steps,
               std::chrono::seconds limit = 20s) {
        size_t next = 0;
        const auto deadline = Clock::now() + limit;
        wxTimer timer;
        timer.Bind(wxEVT_TIMER, [&](wxTimerEvent&) {
            if (next < steps.size() && Clock::now() > deadline) {
                ADD_FAILURE() << "step " << next << " never came; on page " << Current(sheet);
                next = steps.size();
                sheet.EndModal(wxID_ABORT);
                return;
            }
            if (next < steps.size() && steps[next].ready()) {
                // The step may run a loop of its own; the next ticks go on meanwhile.
                const std::function<void()> act = steps[next++].act;
                act();
            }
        });
        timer.Start(30);
        sheet.Run();
        timer.Stop();
        EXPECT_EQ(next, steps.size()) << "the sheet closed before its script ended";
    }

    std::vector<std::string> ListTexts(wxListCtrl* list) const {
        std::vector<std::string> texts;
        for (long item = 0; item < list->GetItemCount(); ++item) {
            texts.push_back(list->GetItemText(item).utf8_string());
        }
        return texts;
    }

    CTempDirectory home;
    uint16_t port = FreeUdpPort();
    SourceFolder sources;
    std::shared_ptr<FakeShare::State> share = std::make_shared<FakeShare::State>();
    RecordingOpener opener;
    ScriptedPrompt prompt;
    RecordingModalHook boxes;
    std::vector<std::string> madeFor;
    std::vector<std::string> listed;
    std::vector<int> shown;
};

TEST_F(SheetTest, ServersAppearAsTheyAnnounceAndCancellingTheSearchKeepsThem) {
    Announcers servers(port, {{20, "alpha.local"}, {7, "beta"}, {9, "legacy"}});
    auto sheet = MakeSheet();
    sheet->locateSeconds = 10;
    wxListCtrl* list = DevicePage(*sheet).List();
    std::vector<std::string> whileSearching;
    Drive(
        *sheet,
        {
            {On(*sheet, kWelcomePage), [&] { sheet->PressButton(kNextButton); }},
            // Listed while the search still runs: the sheet is disabled behind its progress window.
            {[&] { return list->GetItemCount() == 2 && DevicePage(*sheet).Meter().Dialog(); },
             [&] {
                 whileSearching = ListTexts(list);
                 EXPECT_FALSE(sheet->IsEnabled());
                 ClickButton(DevicePage(*sheet).Meter().Dialog(), wxID_CANCEL);
             }},
            {On(*sheet, kDevicePage),
             [&] {
                 EXPECT_EQ(ListTexts(list), whileSearching) << "cancel keeps what was found";
                 EXPECT_TRUE(sheet->NextButton()->IsEnabled());
                 EXPECT_TRUE(sheet->BackButton()->IsEnabled());
                 list->SetItemState(1, wxLIST_STATE_SELECTED, wxLIST_STATE_SELECTED);
                 sheet->PressButton(kNextButton);
             }},
            {OnListedFolderPage(*sheet), [&] { sheet->EndModal(wxID_CANCEL); }},
        });
    std::sort(whileSearching.begin(), whileSearching.end());
    EXPECT_EQ(whileSearching, (std::vector<std::string>{"alpha (127.0.0.20)", "beta (127.0.0.7)"}));
    ASSERT_EQ(madeFor.size(), 1u);
    EXPECT_EQ(shown, (std::vector<int>{kWelcomePage, kDevicePage, kFolderPage}));
    // The chosen server is remembered by its name, with the other choices.
    EXPECT_EQ(GetRegistry()->GetString(User, kWizardSettingsKeyPath, "bSubdomain", ""),
              madeFor[0] == "127.0.0.20" ? "alpha" : "beta");
    // The destinations start with the library's default picture folder.
    const auto& entries = FolderPage(*sheet).Destinations()->Model().ShownList();
    ASSERT_GE(entries.size(), 6u);
    EXPECT_EQ(entries[0].text, "FamilyPhotos/Photo");
    EXPECT_EQ(entries[4].text, "Holidays/Photo");
    EXPECT_EQ(entries[5].text, "Click here for more choices...");
    EXPECT_EQ(listed, (std::vector<std::string>{"FamilyLibrary"}));
}

TEST_F(SheetTest, WithNobodyAnnouncingOnlyBackRemains) {
    auto sheet = MakeSheet();
    sheet->locateSeconds = 1;
    Drive(*sheet, {
                      {On(*sheet, kWelcomePage), [&] { sheet->PressButton(kNextButton); }},
                      {On(*sheet, kDevicePage),
                       [&] {
                           EXPECT_EQ(ListTexts(DevicePage(*sheet).List()),
                                     std::vector<std::string>{"No local devices were found"});
                           EXPECT_FALSE(sheet->NextButton()->IsEnabled());
                           EXPECT_TRUE(sheet->BackButton()->IsEnabled());
                           sheet->PressButton(kNextButton); // refused: the item names no server
                           sheet->PressButton(kBackButton);
                       }},
                      {On(*sheet, kWelcomePage), [&] { sheet->EndModal(wxID_CANCEL); }},
                  });
    EXPECT_TRUE(madeFor.empty());
}

TEST_F(SheetTest, SavedSettingsGoStraightToCopyingAndStopListeningOnceTheServerIsFound) {
    CRegistry& registry = *GetRegistry();
    registry.SetDword(User, kWizardSettingsKeyPath, "bSaveSettings", 1);
    registry.SetDword(User, kWizardSettingsKeyPath, "bUsingSaved", 1);
    registry.SetString(User, kWizardSettingsKeyPath, "bSubdomain", "beta");
    registry.SetString(User, kWizardSettingsKeyPath, "bGroupName", "Trip");
    Announcers servers(port, {{20, "alpha.local"}, {7, "beta.local"}});
    auto sheet = MakeSheet();
    sheet->locateSeconds = 10;
    const auto start = Clock::now();
    Clock::duration took{};
    Drive(*sheet,
          {
              {On(*sheet, kWelcomePage),
               [&] {
                   EXPECT_TRUE(sheet->PageByTemplate(kWelcomePage)->FindWindow(1013)->IsEnabled());
                   sheet->PressButton(kNextButton);
               }},
              {On(*sheet, kFinishPage),
               [&] {
                   took = Clock::now() - start;
                   sheet->PressButton(kFinishButton);
               }},
          });
    EXPECT_EQ(shown, (std::vector<int>{kWelcomePage, kCopyingPage, kFinishPage}));
    EXPECT_EQ(madeFor, std::vector<std::string>{"127.0.0.7"});
    EXPECT_LT(took, 8s) << "the search ends when the saved server answers";
    std::lock_guard lock(share->mutex);
    EXPECT_EQ(share->files["FamilyLibrary/MyPhotos/Trip/Trip 1.jpg"], sources.Contents("a.jpg"));
    EXPECT_EQ(share->files["FamilyLibrary/MyPhotos/Trip/Trip 2.png"], sources.Contents("b.png"));
    EXPECT_EQ(sheet->copiedCount, 2u);
}

TEST_F(SheetTest, ABadGroupNameStaysAndAFailedRunLetsTheUserTryAgainWithTheSameChoices) {
    Announcers servers(port, {{20, "alpha"}});
    auto sheet = MakeSheet();
    wxComboBox* name = FolderPage(*sheet).GroupName();
    share->failCreateNumber = 2; // the second copy fails, so the first is removed again
    share->createFailure = ShareStatus::DiskFull;
    DrivePastServer(
        *sheet, {
                    {OnListedFolderPage(*sheet),
                     [&] {
                         name->SetValue("Trip #1");
                         sheet->PressButton(kNextButton);
                         EXPECT_EQ(Current(*sheet), kFolderPage);
                         name->SetValue("Trip");
                         EXPECT_EQ(FolderPage(*sheet).Destinations()->Model().ShownList()[0].text,
                                   "FamilyPhotos/Trip");
                         sheet->PressButton(kNextButton);
                     }},
                    {On(*sheet, kCancelPage),
                     [&] {
                         auto& cancel =
                             *dynamic_cast<CCancelPage*>(sheet->PageByTemplate(kCancelPage));
                         EXPECT_TRUE(cancel.FailureLine()->IsShown());
                         EXPECT_NE(cancel.FailureLine()->Text().Find("disk is full"), wxNOT_FOUND)
                             << cancel.FailureLine()->Text().utf8_string();
                         share->failCreateNumber = 0;
                         sheet->PressButton(kBackButton);
                     }},
                    {On(*sheet, kFolderPage),
                     [&] {
                         EXPECT_EQ(name->GetValue(), "Trip");
                         sheet->PressButton(kNextButton);
                     }},
                    {On(*sheet, kFinishPage), [&] { sheet->PressButton(kFinishButton); }},
                });
    ASSERT_EQ(boxes.messageBoxes.size(), 1u);
    EXPECT_NE(boxes.messageBoxes[0].message.find("can not contain any of following"),
              std::string::npos);
    EXPECT_EQ(shown, (std::vector<int>{kWelcomePage, kDevicePage, kFolderPage, kCopyingPage,
                                       kCancelPage, kFolderPage, kCopyingPage, kFinishPage}));
    std::lock_guard lock(share->mutex);
    EXPECT_EQ(share->files.size(), 2u) << "the failed run left nothing behind";
    EXPECT_EQ(share->files["FamilyLibrary/FamilyPhotos/Trip/Trip 1.jpg"],
              sources.Contents("a.jpg"));
}

TEST_F(SheetTest, TheFinishLinkOpensTheDestinationAndSaysWhenItCannot) {
    Announcers servers(port, {{20, "alpha"}});
    auto sheet = MakeSheet();
    DrivePastServer(*sheet,
                    {
                        {OnListedFolderPage(*sheet),
                         [&] {
                             FolderPage(*sheet).GroupName()->SetValue("Sea & Sun");
                             sheet->PressButton(kNextButton);
                         }},
                        {On(*sheet, kFinishPage),
                         [&] {
                             auto& finish =
                                 *dynamic_cast<CFinishPage*>(sheet->PageByTemplate(kFinishPage));
                             EXPECT_EQ(finish.CountLabel()->Text(), "2 picture(s) were copied.");
                             EXPECT_TRUE(finish.OpenDestination());
                             opener.succeed = false;
                             EXPECT_FALSE(finish.OpenDestination());
                             EXPECT_EQ(Current(*sheet), kFinishPage);
                             sheet->PressButton(kFinishButton);
                         }},
                    });
    ASSERT_EQ(opener.opened.size(), 2u);
    EXPECT_EQ(opener.opened[0], "smb://127.0.0.20/FamilyLibrary/FamilyPhotos/Sea%20%26%20Sun/");
    ASSERT_EQ(boxes.messageBoxes.size(), 1u);
    EXPECT_NE(boxes.messageBoxes[0].message.find("Unable to open an explorer window"),
              std::string::npos);
    EXPECT_EQ(boxes.messageBoxes[0].caption, "Dunmere Pictures Wizard");
}

TEST_F(SheetTest, AnUnlistableLibrarySaysWhyAndTheUserCanStillGoOn) {
    Announcers servers(port, {{20, "alpha"}});
    auto sheet = MakeSheet();
    sheet->folderLister = [](const std::string&, std::vector<std::string>& names) {
        names.clear();
        return ShareResult{ShareStatus::Unreachable, 0};
    };
    DrivePastServer(
        *sheet,
        {
            {OnListedFolderPage(*sheet),
             [&] {
                 EXPECT_TRUE(FolderPage(*sheet).Destinations()->Model().ShownList().empty());
                 EXPECT_EQ(FolderPage(*sheet).ListingStatus()->Text().utf8_string(),
                           "The folders of \\\\127.0.0.20\\FamilyLibrary cannot be listed: the "
                           "server cannot be reached.");
                 sheet->PressButton(kNextButton);
             }},
            {On(*sheet, kFinishPage), [&] { sheet->PressButton(kFinishButton); }},
        });
    std::lock_guard lock(share->mutex);
    EXPECT_EQ(share->files["FamilyLibrary/Photo 1.jpg"], sources.Contents("a.jpg"))
        << "with no destination chosen the pictures go to the library itself";
}

TEST_F(SheetTest, ClosingTheSheetWhileCopyingWaitsForTheWorkerAndLeavesNothingBehind) {
    Announcers servers(port, {{20, "alpha"}});
    auto sheet = MakeSheet();
    std::atomic<int> writes{0};
    share->beforeWrite = [&](const std::string&, uint64_t) {
        ++writes;
        std::this_thread::sleep_for(20ms);
        return ShareResult{};
    };
    sources.Add("c.jpg", 8 << 20);
    sheet->pictures = sources.Pictures();
    DrivePastServer(*sheet,
                    {
                        {OnListedFolderPage(*sheet), [&] { sheet->PressButton(kNextButton); }},
                        {[&] { return Current(*sheet) == kCopyingPage && writes > 2; },
                         [&] { sheet->EndModal(wxID_CANCEL); }},
                    });
    // Records the worker still posts have nowhere to go once the sheet is gone.
    sheet.reset();
    std::lock_guard lock(share->mutex);
    EXPECT_TRUE(share->files.empty()) << "the run was cancelled and rolled back";
}

TEST_F(SheetTest, ACopyThatHearsNothingFromTheServerSaysItIsWaitingUntilItMovesAgain) {
    Announcers servers(port, {{20, "alpha"}});
    auto sheet = MakeSheet();
    std::mutex holdMutex;
    std::condition_variable holdChanged;
    bool held = true;
    share->beforeWrite = [&](const std::string&, uint64_t written) {
        std::unique_lock lock(holdMutex);
        if (written > 0) {
            holdChanged.wait_for(lock, 30s, [&] { return !held; });
        }
        return ShareResult{};
    };
    sources.Add("c.jpg", 3 << 20);
    sheet->pictures = sources.Pictures();
    CCopyingFilesPage* copying = nullptr;
    const auto release = [&] {
        {
            std::lock_guard lock(holdMutex);
            held = false;
        }
        holdChanged.notify_all();
    };
    DrivePastServer(*sheet,
                    {
                        {OnListedFolderPage(*sheet), [&] { sheet->PressButton(kNextButton); }},
                        {[&] { return Current(*sheet) == kCopyingPage; },
                         [&] {
                             copying = dynamic_cast<CCopyingFilesPage*>(
                                 sheet->PageByTemplate(kCopyingPage));
                             EXPECT_FALSE(copying->WaitingLabel()->IsShown());
                         }},
                        {[&] { return copying->WaitingLabel()->IsShown(); },
                         [&] {
                             EXPECT_EQ(copying->WaitingLabel()->Text().utf8_string(),
                                       "Waiting for the server to answer…");
                             release();
                         }},
                        {[&] { return !copying->WaitingLabel()->IsShown(); }, [] {}},
                        {On(*sheet, kFinishPage), [&] { sheet->PressButton(kFinishButton); }},
                    },
                    40s);
    release();
}

TEST_F(SheetTest, AMissingSavedServerOffersTheServersHeardInsteadOfSearchingAgain) {
    CRegistry& registry = *GetRegistry();
    registry.SetDword(User, kWizardSettingsKeyPath, "bSaveSettings", 1);
    registry.SetDword(User, kWizardSettingsKeyPath, "bUsingSaved", 1);
    registry.SetString(User, kWizardSettingsKeyPath, "bSubdomain", "gamma");
    Announcers servers(port, {{20, "alpha.local"}});
    auto sheet = MakeSheet();
    sheet->locateSeconds = 2;
    auto& welcome = *dynamic_cast<CWelcomePage*>(sheet->PageByTemplate(kWelcomePage));
    Drive(*sheet, {
                      {On(*sheet, kWelcomePage), [&] { sheet->PressButton(kNextButton); }},
                      // The saved server is away: the welcome page offers the way through the
                      // relay; the user declines it and goes on to the servers heard instead.
                      {[&] { return welcome.RelayLine()->IsShown(); },
                       [&] {
                           EXPECT_EQ(Current(*sheet), kWelcomePage);
                           welcome.UseSavedBox()->SetValue(false);
                           sheet->settings.usingSaved = false;
                           sheet->PressButton(kNextButton);
                       }},
                      {On(*sheet, kDevicePage),
                       [&] {
                           EXPECT_EQ(DevicePage(*sheet).Meter().Dialog(), nullptr)
                               << "no second search";
                           EXPECT_EQ(ListTexts(DevicePage(*sheet).List()),
                                     (std::vector<std::string>{"alpha (127.0.0.20)",
                                                               "gamma (through the relay)"}));
                           sheet->PressButton(kNextButton);
                       }},
                      {On(*sheet, kFolderPage), [&] { sheet->EndModal(wxID_CANCEL); }},
                  });
    EXPECT_TRUE(sheet->savedServerMissing);
    EXPECT_EQ(madeFor, std::vector<std::string>{"127.0.0.20"});
}

TEST_F(SheetTest, YesToStopRollsBackAndTryingAgainAtOnceCopiesEverythingOnce) {
    Announcers servers(port, {{20, "alpha"}});
    sources.Add("c.jpg", 8 << 20);
    auto sheet = MakeSheet();
    std::atomic<int> writes{0};
    std::atomic<bool> slow{true};
    share->beforeWrite = [&](const std::string&, uint64_t) {
        ++writes;
        if (slow) {
            std::this_thread::sleep_for(30ms);
        }
        return ShareResult{};
    };
    boxes.messageBoxAnswer = wxID_YES;
    DrivePastServer(*sheet,
                    {
                        {OnListedFolderPage(*sheet), [&] { sheet->PressButton(kNextButton); }},
                        {[&] { return Current(*sheet) == kCopyingPage && writes > 3; },
                         [&] { sheet->PressButton(0); }},
                        {On(*sheet, kCancelPage),
                         [&] {
                             // Back and Next at once: the cancelled run may still be rolling back.
                             slow = false;
                             sheet->PressButton(kBackButton);
                             sheet->PressButton(kNextButton);
                         }},
                        {On(*sheet, kFinishPage), [&] { sheet->PressButton(kFinishButton); }},
                    });
    ASSERT_EQ(boxes.messageBoxes.size(), 1u);
    EXPECT_NE(boxes.messageBoxes[0].message.find("Do you want to stop copying them?"),
              std::string::npos);
    EXPECT_EQ(shown, (std::vector<int>{kWelcomePage, kDevicePage, kFolderPage, kCopyingPage,
                                       kCancelPage, kFolderPage, kCopyingPage, kFinishPage}));
    sheet.reset();
    std::lock_guard lock(share->mutex);
    EXPECT_EQ(share->files.size(), 3u);
    EXPECT_EQ(share->files["FamilyLibrary/FamilyPhotos/Photo/Photo 1.jpg"],
              sources.Contents("a.jpg"));
    EXPECT_EQ(share->files["FamilyLibrary/FamilyPhotos/Photo/Photo 3.jpg"],
              sources.Contents("c.jpg"));
}

TEST_F(SheetTest, YesToStopWhileTheServerKeepsACopySaysSoOnTheCancelPage) {
    Announcers servers(port, {{20, "alpha"}});
    sources.Add("c.jpg", 8 << 20);
    auto sheet = MakeSheet();
    sheet->FileStep().SetCleanupPatience(300ms);
    std::atomic<int> writes{0};
    share->beforeWrite = [&](const std::string&, uint64_t) {
        ++writes;
        std::this_thread::sleep_for(30ms);
        return ShareResult{};
    };
    // The server is gone for good by the time the first copy is to be removed.
    share->stuck = {"FamilyLibrary/FamilyPhotos/Photo/Photo 1.jpg"};
    boxes.messageBoxAnswer = wxID_YES;
    const auto cancelPage = [&]() -> CCancelPage& {
        return *dynamic_cast<CCancelPage*>(sheet->PageByTemplate(kCancelPage));
    };
    DrivePastServer(
        *sheet, {
                    {OnListedFolderPage(*sheet), [&] { sheet->PressButton(kNextButton); }},
                    {[&] { return Current(*sheet) == kCopyingPage && writes > 3; },
                     [&] { sheet->PressButton(0); }},
                    // The page shows at the Yes; the run's end, once its rollback gave up, adds the
                    // line about the copy it left.
                    {[&] {
                         return Current(*sheet) == kCancelPage && !sheet->FileStep().IsRunning() &&
                                cancelPage().FailureLine()->IsShown();
                     },
                     [&] {
                         std::string line = cancelPage().FailureLine()->GetLabel().utf8_string();
                         std::replace(line.begin(), line.end(), '\n', ' '); // wrapped to the page
                         EXPECT_NE(line.find("1 file(s) this run copied could not be removed"),
                                   std::string::npos)
                             << line;
                         sheet->PressButton(kFinishButton);
                     }},
                });
    std::lock_guard lock(share->mutex);
    EXPECT_EQ(share->files.count("FamilyLibrary/FamilyPhotos/Photo/Photo 1.jpg"), 1u);
}

TEST_F(SheetTest, ACancelledCredentialsPromptKeepsTheDevicePage) {
    SmbdFixture smbd;
    std::string why;
    if (!smbd.Start(why)) {
        GTEST_SKIP() << why;
    }
    setenv(kSmbPortVariable, std::to_string(smbd.Port()).c_str(), 1);
    GetRegistry()->SetDword(User, kWizardSettingsKeyPath, "bUsePersonalLibrary", 1);
    Announcers servers(port, {{1, "home"}});
    auto sheet = MakeSheet();
    sheet->transferMaker = nullptr; // the real factory, against the library that needs a login
    prompt.script.push_back({false, {}, false});
    Drive(*sheet, {
                      {On(*sheet, kWelcomePage), [&] { sheet->PressButton(kNextButton); }},
                      {On(*sheet, kDevicePage),
                       [&] {
                           sheet->PressButton(kNextButton);
                           EXPECT_EQ(Current(*sheet), kDevicePage);
                           sheet->EndModal(wxID_CANCEL);
                       }},
                  });
    unsetenv(kSmbPortVariable);
    EXPECT_EQ(prompt.askedShares.size(), 1u);
    EXPECT_FALSE(sheet->hasServer);
}

TEST_F(SheetTest, ACameraRunCountsTheCopiesAndThePicturesThatStayedOnTheCamera) {
    Announcers servers(port, {{20, "alpha"}});
    auto camera = std::make_shared<CFakeCamera>(CameraPort{"Fake Camera", "usb:001,007"});
    camera->AddFolder("/", "DCIM");
    camera->AddData("/DCIM", "IMG_0001.JPG", "image/jpeg", std::string(3000, 'a'));
    camera->AddData("/DCIM", "IMG_0002.JPG", "image/jpeg", std::string(3000, 'b'));
    camera->AddData("/DCIM", "IMG_0003.PNG", "image/png", std::string(3000, 'c'));
    camera->beforeChunk = [](const std::string& path, std::uint64_t) {
        return path != "/DCIM/IMG_0002.JPG";
    };
    auto system = std::make_shared<CFakeCameraSystem>();
    system->cameras = {camera->Port()};
    // Every run opens the same made-up camera, which the test keeps.
    system->makeCamera = [camera](const CameraPort&) {
        return std::make_unique<CBorrowedCamera>(*camera);
    };
    auto sheet = MakeSheet(true);
    sheet->cameraDeviceId = "usb:001,007";
    sheet->FileStep().SetCameraPictures(
        CameraPicturesThrough(system, std::make_shared<CRecordingRelease>()));
    DrivePastServer(
        *sheet, {
                    {OnListedFolderPage(*sheet),
                     [&] {
                         FolderPage(*sheet).GroupName()->SetValue("Park");
                         sheet->PressButton(kNextButton);
                     }},
                    {On(*sheet, kFinishPage),
                     [&] {
                         auto& finish =
                             *dynamic_cast<CFinishPage*>(sheet->PageByTemplate(kFinishPage));
                         EXPECT_EQ(finish.CountLabel()->Text(),
                                   "2 picture(s) were copied.\n"
                                   "1 picture(s) could not be copied from the camera.\n"
                                   "IMG_0002.JPG could not be copied: the picture cannot be read.");
                         sheet->PressButton(kFinishButton);
                     }},
                });
    EXPECT_EQ(system->opened, std::vector<std::string>{"usb:001,007"});
    std::lock_guard lock(share->mutex);
    EXPECT_EQ(share->files["FamilyLibrary/FamilyPhotos/Park/Park 1.jpg"], std::string(3000, 'a'));
    EXPECT_EQ(share->files["FamilyLibrary/FamilyPhotos/Park/Park 2.png"], std::string(3000, 'c'));
}

TEST_F(SheetTest, AFileInTheWayIsToldOnTheFolderPageAndAnEmptyNameCopiesAsPhoto) {
    Announcers servers(port, {{20, "alpha"}});
    {
        std::lock_guard lock(share->mutex);
        share->folders.insert("FamilyLibrary");
        share->folders.insert("FamilyLibrary/FamilyPhotos");
        share->files["FamilyLibrary/FamilyPhotos/Trip"] = "a plain file";
    }
    auto sheet = MakeSheet();
    wxComboBox* name = FolderPage(*sheet).GroupName();
    DrivePastServer(*sheet,
                    {
                        {OnListedFolderPage(*sheet),
                         [&] {
                             name->SetValue("trip");
                             sheet->PressButton(kNextButton);
                             EXPECT_EQ(Current(*sheet), kFolderPage);
                             name->SetValue("..");
                             sheet->PressButton(kNextButton);
                             EXPECT_EQ(Current(*sheet), kFolderPage);
                             name->SetValue("");
                             sheet->PressButton(kNextButton);
                         }},
                        {On(*sheet, kFinishPage), [&] { sheet->PressButton(kFinishButton); }},
                    });
    ASSERT_EQ(boxes.messageBoxes.size(), 2u);
    EXPECT_EQ(boxes.messageBoxes[0].message,
              "A file named Trip is already in FamilyPhotos on the server. Please choose another "
              "name for this group of pictures.");
    EXPECT_EQ(boxes.messageBoxes[1].message, "A picture group name can not be \".\" or \"..\".");
    EXPECT_EQ(GetRegistry()->GetString(User, kWizardSettingsKeyPath, "bGroupName", ""), "Photo");
    std::lock_guard lock(share->mutex);
    EXPECT_EQ(share->files["FamilyLibrary/FamilyPhotos/Photo/Photo 1.jpg"],
              sources.Contents("a.jpg"));
}

TEST_F(SheetTest, UntickingVideosLeavesThemAndTheirDeleteAloneAndIsRemembered) {
    sources.Add("clip.MOV", 4000);
    Announcers servers(port, {{20, "alpha"}});
    auto sheet = MakeSheet();
    CFolderPage& folder = FolderPage(*sheet);
    DrivePastServer(*sheet,
                    {
                        {OnListedFolderPage(*sheet),
                         [&] {
                             EXPECT_TRUE(folder.VideosBox()->GetValue()) << "ticked at first";
                             folder.VideosBox()->SetValue(false);
                             folder.DeleteBox()->SetValue(true);
                             sheet->PressButton(kNextButton);
                         }},
                        {On(*sheet, kFinishPage),
                         [&] {
                             auto& finish =
                                 *dynamic_cast<CFinishPage*>(sheet->PageByTemplate(kFinishPage));
                             EXPECT_EQ(finish.CountLabel()->Text(), "2 picture(s) were copied.")
                                 << "a video left out is no original kept";
                             sheet->PressButton(kFinishButton);
                         }},
                    });
    EXPECT_EQ(GetRegistry()->GetDword(User, kWizardSettingsKeyPath, "bCopyVideos", 1), 0u);
    EXPECT_TRUE(sources.Exists("clip.MOV"));
    EXPECT_FALSE(sources.Exists("a.jpg") || sources.Exists("b.png"));
    std::lock_guard lock(share->mutex);
    EXPECT_EQ(share->files.count("FamilyLibrary/FamilyPhotos/Photo/Photo 3.MOV"), 0u);
    EXPECT_EQ(share->files.size(), 2u);
}

TEST_F(SheetTest, AQuickPathRunRemembersTheWelcomeBoxAndSaysWhyTheOriginalsStayed) {
    CRegistry& registry = *GetRegistry();
    registry.SetDword(User, kWizardSettingsKeyPath, "bSaveSettings", 1);
    registry.SetDword(User, kWizardSettingsKeyPath, "bUsingSaved", 0);
    registry.SetString(User, kWizardSettingsKeyPath, "bSubdomain", "beta");
    // Deleting was asked for the last time; this card is read-only.
    registry.SetDword(User, kWizardSettingsKeyPath, "bDeleteImagesFromCamera", 1);
    Announcers servers(port, {{7, "beta"}});
    auto sheet = MakeSheet();
    sheet->properties.cannotDelete = true;
    Drive(*sheet, {
                      {On(*sheet, kWelcomePage),
                       [&] {
                           auto* box = dynamic_cast<wxCheckBox*>(
                               sheet->PageByTemplate(kWelcomePage)->FindWindow(1013));
                           ASSERT_NE(box, nullptr);
                           box->SetValue(true);
                           wxCommandEvent click(wxEVT_CHECKBOX, box->GetId());
                           click.SetEventObject(box);
                           click.SetInt(1);
                           box->ProcessWindowEvent(click);
                           sheet->PressButton(kNextButton);
                       }},
                      {On(*sheet, kFinishPage),
                       [&] {
                           auto& finish =
                               *dynamic_cast<CFinishPage*>(sheet->PageByTemplate(kFinishPage));
                           EXPECT_EQ(finish.CountLabel()->Text(),
                                     "2 picture(s) were copied.\n"
                                     "2 original(s) were kept on the device: it is read-only.");
                           sheet->PressButton(kFinishButton);
                       }},
                  });
    EXPECT_EQ(shown, (std::vector<int>{kWelcomePage, kCopyingPage, kFinishPage}));
    EXPECT_EQ(registry.GetDword(User, kWizardSettingsKeyPath, "bUsingSaved", 0), 1u);
    EXPECT_TRUE(sources.Exists("a.jpg") && sources.Exists("b.png"));
}

TEST_F(SheetTest, TheCopyingPageShowsTheRateAndTheTimeLeftAfterTwoSeconds) {
    Announcers servers(port, {{20, "alpha"}});
    sources.Add("c.jpg", 24 << 20);
    auto sheet = MakeSheet();
    // Only the large picture is slow: the two small ones before it must not weigh on the rate.
    share->beforeWrite = [&](const std::string& path, uint64_t) {
        if (path.ends_with(" 3.jpg")) {
            std::this_thread::sleep_for(500ms);
        }
        return ShareResult{};
    };
    auto& copying = *dynamic_cast<CCopyingFilesPage*>(sheet->PageByTemplate(kCopyingPage));
    Clock::time_point copyingShown{};
    std::string line;
    Clock::duration after{};
    DrivePastServer(*sheet, {
                                {OnListedFolderPage(*sheet),
                                 [&] {
                                     sheet->PressButton(kNextButton);
                                     copyingShown = Clock::now();
                                 }},
                                {[&] { return !copying.RateLabel()->Text().empty(); },
                                 [&] {
                                     after = Clock::now() - copyingShown;
                                     line = copying.RateLabel()->Text().utf8_string();
                                     EXPECT_EQ(Current(*sheet), kCopyingPage);
                                     sheet->EndModal(wxID_CANCEL);
                                 }},
                            });
    EXPECT_GE(after, 2s) << line;
    // A piece of a few MiB every half second: some MB/s, and the rest of the picture in seconds.
    EXPECT_THAT(line,
                ::testing::MatchesRegex("[0-9]+\\.[0-9] MB/s, about [0-9]+ second\\(s\\) left"));
}

// Every text of every page fits in every language: a text, box or button shows all it needs,
// within the page, and the page holds all its content. Pages are filled with long texts of the
// kind runs bring (counts, reasons, the rate) and walked as a user walks them.
struct Language {
    const char* tag;
    const char* locale;
};

class LabelFitTest : public SheetTest, public ::testing::WithParamInterface<Language> {
protected:
    LabelFitTest() {
        DestroyResourceManager();
        setenv("LC_ALL", GetParam().locale, 1);
        setenv("VELMORA_PROGRAM_DIR", VELMORA_PROGRAM_DIR, 1);
        CreateResourceManager(ProgramKind::Wizard, WizardBuiltinBundle());
        GetResourceManager()->LoadResourceLibrary("snfRES.dll");
    }
    ~LabelFitTest() override {
        unsetenv("LC_ALL");
        unsetenv("VELMORA_PROGRAM_DIR");
    }

    // Where a control lies in `page`, from the positions of it and its parents.
    static wxRect RectIn(wxWindow* control, wxWindow* page) {
        wxPoint at = control->GetPosition();
        for (wxWindow* parent = control->GetParent(); parent != nullptr && parent != page;
             parent = parent->GetParent()) {
            at += parent->GetPosition() + parent->GetClientAreaOrigin();
        }
        return wxRect(at, control->GetSize());
    }

    void ExpectFits(wxWindow* page, const std::string& where) {
        ASSERT_NE(page, nullptr);
        if (wxSizer* sizer = page->GetSizer()) {
            const wxSize needed = sizer->GetMinSize();
            EXPECT_GE(page->GetSize().x, needed.x) << where << ": the page is too narrow";
            EXPECT_GE(page->GetSize().y, needed.y) << where << ": the page is too short";
        }
        const wxRect area(page->GetClientSize());
        std::function<void(wxWindow*)> walk = [&](wxWindow* window) {
            for (wxWindow* child : window->GetChildren()) {
                if (!child->IsShown()) {
                    continue;
                }
                const bool text = dynamic_cast<wxStaticText*>(child) != nullptr ||
                                  dynamic_cast<wxCheckBox*>(child) != nullptr ||
                                  dynamic_cast<wxRadioButton*>(child) != nullptr ||
                                  dynamic_cast<wxButton*>(child) != nullptr ||
                                  dynamic_cast<wxHyperlinkCtrl*>(child) != nullptr;
                if (text && !child->GetLabel().empty()) {
                    const std::string label = child->GetLabel().utf8_string();
                    const wxSize needed = child->GetBestSize();
                    const wxSize given = child->GetSize();
                    EXPECT_GE(given.x, needed.x) << where << ": cut at its side: " << label;
                    EXPECT_GE(given.y, needed.y) << where << ": cut at its foot: " << label;
                    const wxRect rect = RectIn(child, page);
                    EXPECT_TRUE(area.Contains(rect))
                        << where << ": beyond the page (" << rect.GetRight() << ", "
                        << rect.GetBottom() << " in " << area.width << " x " << area.height
                        << "): " << label;
                    ++checked;
                }
                walk(child);
            }
        };
        walk(page);
    }

    // The sheet's current page and, on inner pages, its header band.
    void ExpectPageFits(CSnapferryPropSheet& sheet) {
        const std::string where =
            std::string(GetParam().tag) + " page " + std::to_string(Current(sheet));
        ExpectFits(sheet.ActivePage(), where);
        if (!sheet.ActivePage()->IsFullSize()) {
            ExpectFits(sheet.HeaderBand(), where + " header");
        }
        visited.push_back(Current(sheet));
    }

    int checked = 0;
    std::vector<int> visited;
};

TEST_P(LabelFitTest, EveryTextOfEveryPageFits) {
    CRegistry& registry = *GetRegistry();
    registry.SetDword(User, kWizardSettingsKeyPath, "bSaveSettings", 1);
    registry.SetDword(User, kWizardSettingsKeyPath, "bUsingSaved", 1);
    registry.SetString(User, kWizardSettingsKeyPath, "bSubdomain", "beta");
    Announcers servers(port, {{7, "beta"}});
    sources.Add("c.jpg", 24 << 20);
    share->beforeWrite = [&](const std::string&, uint64_t) {
        std::this_thread::sleep_for(50ms);
        return ShareResult{};
    };
    boxes.messageBoxAnswer = wxID_YES;
    auto sheet = MakeSheet();
    sheet->locateSeconds = 1;
    sheet->properties.sourceDisplayName = "Holiday Card of the Family";
    sheet->properties.driveText = "/media/somebody/HOLIDAY CARD";
    sheet->unreachablePictures = 12;
    auto& copying = *dynamic_cast<CCopyingFilesPage*>(sheet->PageByTemplate(kCopyingPage));
    auto& cancel = *dynamic_cast<CCancelPage*>(sheet->PageByTemplate(kCancelPage));
    auto& deleting = *dynamic_cast<CDeletingFilesPage*>(sheet->PageByTemplate(kDeletingPage));
    // The window system resizes the sheet a moment after it was asked to: a page is looked at
    // once it has the room it asked for (a page that never gets it fails the test).
    auto fitted = [&](int page) {
        return [&, page] {
            CSheetPage* active = sheet->ActivePage();
            if (Current(*sheet) != page || !sheet->IsEnabled() || active->GetSizer() == nullptr) {
                return false;
            }
            const wxSize needed = active->GetSizer()->GetMinSize();
            return active->GetSize().x >= needed.x && active->GetSize().y >= needed.y;
        };
    };
    Drive(*sheet,
          {
              {fitted(kWelcomePage),
               [&] {
                   ExpectPageFits(*sheet);
                   sheet->PressButton(kNextButton);
               }},
              {[&] { return Current(*sheet) == kCopyingPage && share->creates > 2; },
               [&] {
                   copying.ShowPicture(1234, 5678, "IMG_20240501_123456_HDR_Panorama.jpg", 21);
                   copying.ShowFileProgress(100);
                   copying.FlushProgress();
                   copying.RateLabel()->SetText(
                       ToWxText(RateLine(CTransferRateEstimator::Estimate{12.4e6, 95min})));
                   sheet->GrowToFit(&copying); // as the page does when its line grows
               }},
              {fitted(kCopyingPage),
               [&] {
                   ExpectPageFits(*sheet);
                   sheet->PressButton(0); // Yes, stop
               }},
              {fitted(kCancelPage),
               [&] {
                   ExpectPageFits(*sheet);
                   TransferFailure failure;
                   failure.status = ShareStatus::NotSupported;
                   failure.leftBehind = 123;
                   sheet->lastFailure = failure;
                   sheet->lastRunCancelled = false;
                   cancel.ShowOutcome();
               }},
              {fitted(kCancelPage),
               [&] {
                   ExpectPageFits(*sheet);
                   sheet->PressButton(kBackButton);
               }},
              {[&] { return fitted(kFolderPage)() && !FolderPage(*sheet).IsListing(); },
               [&] {
                   ExpectPageFits(*sheet);
                   sheet->PressButton(kBackButton);
               }},
              {[&] {
                   return fitted(kDevicePage)() && DevicePage(*sheet).Meter().Dialog() == nullptr;
               },
               [&] {
                   ExpectPageFits(*sheet);
                   sheet->SetActivePage(kDeletingPage);
                   deleting.ShowPicture(1234, 5678, 21);
               }},
              {fitted(kDeletingPage),
               [&] {
                   ExpectPageFits(*sheet);
                   sheet->copiedCount = 5678;
                   sheet->skippedCount = 1234;
                   sheet->keptOriginals = {5678, KeptReason::Stopped, 0};
                   sheet->SetActivePage(kFinishPage);
               }},
              {fitted(kFinishPage),
               [&] {
                   ExpectPageFits(*sheet);
                   sheet->EndModal(wxID_CANCEL);
               }},
          },
          40s);
    EXPECT_EQ(visited, (std::vector<int>{kWelcomePage, kCopyingPage, kCancelPage, kCancelPage,
                                         kFolderPage, kDevicePage, kDeletingPage, kFinishPage}));
    EXPECT_GT(checked, 40) << "texts were looked at";
}

INSTANTIATE_TEST_SUITE_P(
    SixLanguages, LabelFitTest,
    ::testing::Values(Language{"en_us", "en_US.UTF-8"}, Language{"de_de", "de_DE.UTF-8"},
                      Language{"es_es", "es_ES.UTF-8"}, Language{"fr_fr", "fr_FR.UTF-8"},
                      Language{"it_it", "it_IT.UTF-8"}, Language{"nl_nl", "nl_NL.UTF-8"}),
    [](const ::testing::TestParamInfo<Language>& language) {
        return std::string(language.param.tag);
    });

// The stop question is asked while the third picture is being copied slowly; `behindTheBox`
// runs while it is open, and the user answers yes.
class StopQuestionTest : public SheetTest {
protected:
    StopQuestionTest() {
        sources.Add("c.jpg", 8 << 20);
        share->beforeWrite = [this](const std::string& path, uint64_t) {
            if (path.find("Photo 3.jpg") != std::string::npos) {
                ++slowWrites;
                if (failNow) {
                    return ShareResult{ShareStatus::DiskFull, 0};
                }
                if (slow) {
                    std::this_thread::sleep_for(20ms);
                }
            }
            return ShareResult{};
        };
        boxes.messageBoxAnswer = wxID_YES;
    }

    // Lets the sheet apply what the worker posts until `done`, at most a few seconds.
    static bool PumpUntil(const std::function<bool()>& done) {
        const auto deadline = Clock::now() + 10s;
        while (!done() && Clock::now() < deadline) {
            wxYield();
            std::this_thread::sleep_for(5ms);
        }
        return done();
    }

    void Run(CSnapferryPropSheet& sheet, int closingPage) {
        Drive(sheet,
              {
                  {On(sheet, kWelcomePage), [&] { sheet.PressButton(kNextButton); }},
                  {On(sheet, kDevicePage), [&] { sheet.PressButton(kNextButton); }},
                  {[&] { return Current(sheet) == kFolderPage && !FolderPage(sheet).IsListing(); },
                   [&] { sheet.PressButton(kNextButton); }},
                  {[&] { return Current(sheet) == kCopyingPage && slowWrites > 3; },
                   [&] { sheet.PressButton(0); }},
                  {[&] { return Current(sheet) == closingPage && !shownAtClose; },
                   [&] {
                       shownAtClose = true;
                       sheet.EndModal(wxID_CANCEL);
                   }},
              });
    }

    // A label's text as one line, without the breaks wrapping put in.
    static std::string Unwrapped(CPageText* label) { return label->Text().utf8_string(); }

    CCancelPage& CancelPage(CSnapferryPropSheet& sheet) {
        return *dynamic_cast<CCancelPage*>(sheet.PageByTemplate(kCancelPage));
    }

    std::atomic<int> slowWrites{0};
    std::atomic<bool> slow{true};
    std::atomic<bool> failNow{false};
    bool shownAtClose = false;
};

TEST_F(StopQuestionTest, ACancelWhoseRollbackFailsSaysSoOnTheCancelPage) {
    Announcers servers(port, {{20, "alpha"}});
    share->stuck = {"FamilyLibrary/FamilyPhotos/Photo/Photo 1.jpg",
                    "FamilyLibrary/FamilyPhotos/Photo/Photo 2.png"};
    share->removeFailure = ShareStatus::AccessDenied;
    auto sheet = MakeSheet();
    // The cancel page is drawn at once; the rollback's end must redraw it.
    int pageWhenTheRunEnded = 0;
    sheet->onPageShown = [&](int page) { shown.push_back(page); };
    DrivePastServer(
        *sheet, {
                    {OnListedFolderPage(*sheet), [&] { sheet->PressButton(kNextButton); }},
                    {[&] { return Current(*sheet) == kCopyingPage && slowWrites > 3; },
                     [&] { sheet->PressButton(0); }},
                    {[&] { return Current(*sheet) == kCancelPage && sheet->lastFailure.Failed(); },
                     [&] {
                         pageWhenTheRunEnded = Current(*sheet);
                         sheet->EndModal(wxID_CANCEL);
                     }},
                });
    EXPECT_EQ(pageWhenTheRunEnded, kCancelPage);
    CCancelPage& cancel = CancelPage(*sheet);
    EXPECT_TRUE(cancel.CancelledLine()->IsShown()) << "the run was cancelled";
    ASSERT_TRUE(cancel.FailureLine()->IsShown());
    EXPECT_EQ(Unwrapped(cancel.FailureLine()),
              "2 file(s) this run copied could not be removed from the server. They may be "
              "incomplete.\nStill on the server: FamilyLibrary/FamilyPhotos/Photo/Photo 1.jpg");
    EXPECT_TRUE(sheet->lastRunCancelled);
    EXPECT_EQ(WizardEndFor(kCancelPage, sheet->lastFailure.Failed()), WizardEnd::Failed);
    std::lock_guard lock(share->mutex);
    EXPECT_EQ(share->files.size(), 2u) << "the stuck copies stay, the partial one went";
}

TEST_F(StopQuestionTest, ARunThatFailsBehindTheQuestionShowsItsFailureAfterNoAsWell) {
    Announcers servers(port, {{20, "alpha"}});
    boxes.messageBoxAnswer = wxID_NO;
    auto sheet = MakeSheet();
    boxes.whileMessageBoxOpen = [&](const ShownMessageBox&) {
        failNow = true;
        EXPECT_TRUE(PumpUntil([&] { return sheet->lastFailure.Failed(); }));
    };
    Run(*sheet, kCancelPage);
    CCancelPage& cancel = CancelPage(*sheet);
    EXPECT_FALSE(cancel.CancelledLine()->IsShown());
    EXPECT_EQ(
        Unwrapped(cancel.FailureLine()),
        "The copying failed: c.jpg: the server's disk is full. The pictures copied in this run "
        "were removed from the server.");
    EXPECT_EQ(WizardEndFor(Current(*sheet), sheet->lastFailure.Failed()), WizardEnd::Failed);
}

TEST_F(StopQuestionTest, ARunThatFailsBehindTheQuestionShowsItsFailureAfterYes) {
    Announcers servers(port, {{20, "alpha"}});
    share->stuck = {"FamilyLibrary/FamilyPhotos/Photo/Photo 1.jpg",
                    "FamilyLibrary/FamilyPhotos/Photo/Photo 2.png"};
    share->removeFailure = ShareStatus::AccessDenied;
    auto sheet = MakeSheet();
    int pageBehindTheBox = 0;
    boxes.whileMessageBoxOpen = [&](const ShownMessageBox&) {
        failNow = true;
        EXPECT_TRUE(PumpUntil([&] { return sheet->lastFailure.Failed(); }))
            << "the run never failed behind the question";
        pageBehindTheBox = Current(*sheet);
    };
    Run(*sheet, kCancelPage);
    EXPECT_EQ(pageBehindTheBox, kCopyingPage) << "the page must not change under the question";
    CCancelPage& cancel = CancelPage(*sheet);
    EXPECT_FALSE(cancel.CancelledLine()->IsShown()) << "the run failed; nobody cancelled it";
    EXPECT_EQ(
        Unwrapped(cancel.FailureLine()),
        "The copying failed: c.jpg: the server's disk is full. 2 file(s) this run copied could "
        "not be removed from the server; they may be incomplete.\nStill on the server: "
        "FamilyLibrary/FamilyPhotos/Photo/Photo 1.jpg");
    EXPECT_FALSE(sheet->lastRunCancelled);
    EXPECT_EQ(WizardEndFor(Current(*sheet), sheet->lastFailure.Failed()), WizardEnd::Failed);
    EXPECT_EQ(shown, (std::vector<int>{kWelcomePage, kDevicePage, kFolderPage, kCopyingPage,
                                       kCancelPage}));
}

} // namespace
