// Whole runs of the launcher in this process under a real X server: resources, registry,
// settings.ini, the relay lookup against the simulated server on loopback, message boxes and the
// name dialog, and xdg-open with a recording opener. Only the server choice is given.
#include "LauncherFakes.h"
#include "LauncherTestWorld.h"
#include "TestProcess.h"
#include "WxTestSupport_ui.h"

#include "common/desktop/linux/XdgOpener.h"
#include "common/registry/Registry.h"
#include "launcher/DoorletSession_ui.h"
#include "launcher/SubDomainUsernameDlg_ui.h"

#include <gtest/gtest.h>

namespace {

const char* const kProgram = "/opt/velmora/doorlet";

class SessionTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(sim.Ready());
        port = std::to_string(sim.RelayPort());
        PrepareLauncherWorld(folder.Path(), "[Domain]\nDomain=localhost:" + port + "\n");
        InstallOpener({});
    }

    // Makes the recording opener the default for the schemes (all when none are given).
    void InstallOpener(const std::vector<std::string>& schemes) {
        ASSERT_TRUE(InstallRecordingOpener(folder.Path(), schemes));
    }
    std::vector<std::string> Opened() { return OpenedAddresses(folder.Path()); }

    int Run(LauncherCommand command) {
        return RunDoorletSession(command, kProgram, chooser, opener);
    }

    // Answers the name dialog: checks what it shows, types the names, ends with `button`.
    void AnswerNamesDialog(std::string expectedName, bool nameEditable, std::string name,
                           std::string user, wxWindowID button) {
        hook.onDialog = [=, this](wxDialog* shown) {
            auto* names = dynamic_cast<kvSubDomainUsernameDlg*>(shown);
            EXPECT_NE(names, nullptr);
            if (names == nullptr) {
                return wxID_CANCEL;
            }
            ++namesDialogs;
            EXPECT_EQ(names->GetTitle().utf8_string(), "Velmora Tandro");
            EXPECT_EQ(names->NameField()->GetValue().utf8_string(), expectedName);
            EXPECT_EQ(names->NameField()->IsEditable(), nameEditable);
            ScriptModalDialog(shown, {[=](wxDialog*) {
                                          if (nameEditable) {
                                              names->NameField()->ChangeValue(name);
                                          }
                                          names->UsernameField()->ChangeValue(user);
                                      },
                                      [=](wxDialog* d) { ClickButton(d, button); }});
            return wxID_NONE;
        };
    }

    void ExpectOneBox(const std::string& message, long icon) {
        ASSERT_EQ(hook.messageBoxes.size(), 1u);
        EXPECT_EQ(hook.messageBoxes[0].message, message);
        EXPECT_EQ(hook.messageBoxes[0].caption, "Velmora Tandro");
        EXPECT_TRUE(hook.messageBoxes[0].style & icon);
        EXPECT_TRUE(hook.messageBoxes[0].style & wxOK);
        EXPECT_EQ(hook.messageBoxes[0].parent, nullptr);
    }

    TemporaryFolder folder;
    SimulatedServer sim{{"--no-announce", "--relay-port", "0"}};
    std::string port;
    RecordingModalHook hook;
    FakeChooser chooser;
    CXdgOpener opener;
    int namesDialogs = 0;
};

} // namespace

TEST_F(SessionTest, WithoutACommandOnlyTheUsageIsShown) {
    EXPECT_EQ(Run(LauncherCommand::None), kExitUsage);
    ExpectOneBox("Usage:\n\n/opt/velmora/doorlet /web: Browse to your Velmora\n"
                 "/opt/velmora/doorlet /folder: Open an explorer window to your Velmora",
                 wxICON_QUESTION);
    EXPECT_EQ(chooser.calls, 0);
    EXPECT_TRUE(Opened().empty());
}

TEST_F(SessionTest, AnUnknownCommandSearchesAndOpensNothing) {
    chooser.choice = ServerChoice::LocalDevice;
    chooser.localAddress = "127.0.0.1";
    EXPECT_EQ(Run(LauncherCommand::Unknown), kExitUsage);
    EXPECT_EQ(chooser.calls, 1);
    EXPECT_TRUE(hook.messageBoxes.empty());
    EXPECT_TRUE(Opened().empty());
}

TEST_F(SessionTest, WebOpensTheLocalServerTheRemoteHomeAndTheRelaySite) {
    SetProductValue(Machine, "subdomain", "smith");
    chooser.choice = ServerChoice::LocalDevice;
    chooser.localAddress = "127.0.0.1";
    EXPECT_EQ(Run(LauncherCommand::Web), kExitDone);
    chooser.choice = ServerChoice::RemoteHome;
    EXPECT_EQ(Run(LauncherCommand::Web), kExitDone);
    chooser.choice = ServerChoice::RelaySite;
    EXPECT_EQ(Run(LauncherCommand::Web), kExitDone);
    SetProductValue(Machine, "subdomain", "");
    chooser.choice = ServerChoice::RemoteHome;
    EXPECT_EQ(Run(LauncherCommand::Web), kExitDone);
    EXPECT_EQ(Opened(), (std::vector<std::string>{
                            "http://127.0.0.1/?local=1",
                            "http://www.localhost:" + port + "/?velname=smith",
                            "http://www.localhost:" + port + "/",
                            "http://www.localhost:" + port + "/",
                        }));
    EXPECT_TRUE(hook.messageBoxes.empty());
}

TEST_F(SessionTest, ABrowserThatCannotBeStartedIsReported) {
    InstallOpener({"smb"}); // nothing takes http addresses any more
    chooser.choice = ServerChoice::RelaySite;
    EXPECT_EQ(Run(LauncherCommand::Web), kExitFailed);
    ExpectOneBox("Unable to Navigate to your Velmora. (3)", wxICON_QUESTION);
}

TEST_F(SessionTest, FolderOpensTheSharesOfALocalServer) {
    chooser.choice = ServerChoice::LocalDevice;
    chooser.localAddress = "127.0.0.1";
    EXPECT_EQ(Run(LauncherCommand::Folder), kExitDone);
    EXPECT_EQ(Opened(), std::vector<std::string>{"smb://127.0.0.1/"});

    InstallOpener({"http"});
    EXPECT_EQ(Run(LauncherCommand::Folder), kExitFailed);
    ExpectOneBox("Unable to open an explorer window to your Velmora. (3)", wxICON_INFORMATION);
}

TEST_F(SessionTest, FolderOnTheRemoteHomeWithStoredNamesOpensTheWebFolder) {
    SetProductValue(Machine, "subdomain", "Smith");
    SetProductValue(User, "username", "Alice");
    chooser.choice = ServerChoice::RemoteHome;
    EXPECT_EQ(Run(LauncherCommand::Folder), kExitDone);
    EXPECT_EQ(namesDialogs, 0);
    EXPECT_TRUE(hook.otherDialogs.empty());
    EXPECT_EQ(Opened(),
              std::vector<std::string>{"dav://smith.localhost:" + port + "/webdav/alice/"});
}

TEST_F(SessionTest, WithoutAWebFolderHandlerTheBrowserShowsTheFolder) {
    InstallOpener({"http", "https"});
    SetProductValue(Machine, "subdomain", "smith");
    SetProductValue(User, "username", "alice");
    chooser.choice = ServerChoice::RemoteHome;
    EXPECT_EQ(Run(LauncherCommand::Folder), kExitDone);
    EXPECT_EQ(Opened(),
              std::vector<std::string>{"http://smith.localhost:" + port + "/webdav/alice/"});

    InstallOpener({"smb"});
    EXPECT_EQ(Run(LauncherCommand::Folder), kExitFailed);
    ExpectOneBox("Unable to open an explorer window to your Velmora. (3)", wxICON_INFORMATION);
}

TEST_F(SessionTest, AMissingUsernameIsAskedForAndRememberedOnOk) {
    SetProductValue(Machine, "subdomain", "smith");
    chooser.choice = ServerChoice::RemoteHome;
    AnswerNamesDialog("smith", false, "", "Bob", wxID_OK);
    EXPECT_EQ(Run(LauncherCommand::Folder), kExitDone);
    EXPECT_EQ(namesDialogs, 1);
    EXPECT_EQ(ProductValue(User, "username"), "Bob");
    EXPECT_EQ(Opened(), std::vector<std::string>{"dav://smith.localhost:" + port + "/webdav/bob/"});
}

TEST_F(SessionTest, CancellingTheNameDialogStoresAndOpensNothing) {
    SetProductValue(Machine, "subdomain", "smith");
    chooser.choice = ServerChoice::RemoteHome;
    AnswerNamesDialog("smith", false, "", "Bob", wxID_CANCEL);
    EXPECT_EQ(Run(LauncherCommand::Folder), kExitCancelled);
    EXPECT_EQ(namesDialogs, 1);
    EXPECT_EQ(ProductValue(User, "username"), "<none>");
    EXPECT_TRUE(Opened().empty());
    EXPECT_TRUE(hook.messageBoxes.empty());
}

TEST_F(SessionTest, TheRelaySiteUsesTheTypedNamesForThisRunOnly) {
    chooser.choice = ServerChoice::RelaySite;
    AnswerNamesDialog("", true, "Jones", "Carol", wxID_OK);
    EXPECT_EQ(Run(LauncherCommand::Folder), kExitDone);
    EXPECT_EQ(ProductValue(User, "username"), "<none>");
    EXPECT_EQ(ProductValue(Machine, "subdomain"), "<none>");
    EXPECT_EQ(Opened(),
              std::vector<std::string>{"dav://jones.localhost:" + port + "/webdav/carol/"});
}

TEST_F(SessionTest, EveryLookupFailureShowsItsMessageAndOpensNothing) {
    SetProductValue(Machine, "subdomain", "smith");
    chooser.choice = ServerChoice::RemoteHome;
    const std::pair<const char*, const char*> cases[] = {
        {"error1", "Unable to Navigate to your Velmora. (Server Error 1)"},
        {"error2", "Unable to Navigate to your Velmora. (Invalid Parameter 2)"},
        {"error3", "Unable to Navigate to your Velmora. (Host unreachable 3)"},
        {"error4", "Browsing your Velmora folders is not accessible from your current location. "
                   "(Service not available 4)"},
        {"httpstatus500", "Unable to Navigate to your Velmora. (5)"},
        {"notfound", "Unable to Navigate to your Velmora. (6)"},
        {"malformed", "Unable to Navigate to your Velmora. (-1)"},
        {"filelink", "Unable to Navigate to your Velmora. (-1)"},
        {"badlink", "Unable to Navigate to your Velmora. (-1)"},
    };
    for (const auto& [user, message] : cases) {
        SCOPED_TRACE(user);
        hook.messageBoxes.clear();
        SetProductValue(User, "username", user);
        EXPECT_EQ(Run(LauncherCommand::Folder), kExitFailed);
        ExpectOneBox(message, wxICON_INFORMATION);
    }
    EXPECT_TRUE(Opened().empty());
}

TEST_F(SessionTest, AnUnreachableRelayIsReported) {
    WriteTextFile(folder.Path() / "program" / "settings.ini", "[Domain]\nDomain=localhost:1\n");
    SetProductValue(Machine, "subdomain", "smith");
    SetProductValue(User, "username", "alice");
    chooser.choice = ServerChoice::RemoteHome;
    EXPECT_EQ(Run(LauncherCommand::Folder), kExitFailed);
    ExpectOneBox("Unable to Navigate to your Velmora. (5)", wxICON_INFORMATION);
}
