// The doorlet program as users start it, under Xvfb, against the simulated server in a network
// namespace of its own (doorlet-netns.sh), with a recording opener. The dialogs are answered
// with xdotool as a user would: by keyboard.
#include "LauncherTestWorld.h"
#include "TestProcess.h"

#include "common/registry/Registry.h"

#include <gtest/gtest.h>

#include <unistd.h>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

const std::string kDoorlet = std::string(VELMORA_PROGRAM_DIR) + "/doorlet";
const std::string kRelay = "localhost:8080";

class EndToEndTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (geteuid() != 0 || ChildProcess({"unshare", "-n", "true"}).Wait(10s) != 0) {
            GTEST_SKIP() << "needs root and a network namespace of its own";
        }
        PrepareLauncherWorld(folder.Path(), "");
        WriteSettings("");
        ASSERT_TRUE(InstallRecordingOpener(folder.Path()));
    }

    void WriteSettings(const std::string& defaultSection) {
        WriteTextFile(folder.Path() / "program" / "settings.ini",
                      "[Domain]\nDomain=" + kRelay + "\n[Default]\n" + defaultSection);
    }

    // Starts doorlet beside the simulated server (announcing as home.local unless the options
    // say otherwise).
    std::unique_ptr<ChildProcess> Start(std::vector<std::string> simOptions,
                                        std::vector<std::string> arguments) {
        std::vector<std::string> command{
            "bash", std::string(VELMORA_SOURCE_DIR) + "/tests/launcher/doorlet-netns.sh", kDoorlet};
        command.insert(command.end(), simOptions.begin(), simOptions.end());
        command.push_back("--");
        command.insert(command.end(), arguments.begin(), arguments.end());
        started = Clock::now();
        return std::make_unique<ChildProcess>(command);
    }

    int Run(std::vector<std::string> simOptions, std::vector<std::string> arguments) {
        const int status = Start(std::move(simOptions), std::move(arguments))->Wait(30s);
        took = Clock::now() - started;
        return status;
    }

    std::vector<std::string> Opened() { return OpenedAddresses(folder.Path()); }

    // The visible window of that exact title, waited for; empty when none came.
    static std::string WaitForWindow(const std::string& title, int seconds) {
        ChildProcess search({"timeout", std::to_string(seconds), "xdotool", "search", "--sync",
                             "--onlyvisible", "--name", "^" + title + "$"});
        return search.ReadLine(std::chrono::seconds(seconds + 1));
    }
    // Keys or text for the window, as the user gives them.
    static void Keyboard(const std::string& window, std::vector<std::string> actions) {
        std::vector<std::string> command{"xdotool", "windowfocus", "--sync", window};
        command.insert(command.end(), actions.begin(), actions.end());
        ChildProcess xdotool(command);
        EXPECT_EQ(xdotool.Wait(10s), 0);
    }

    TemporaryFolder folder;
    Clock::time_point started;
    Clock::duration took{};
};

} // namespace

TEST_F(EndToEndTest, WebOpensTheRememberedServerFoundOnTheNetwork) {
    SetProductValue(Machine, "subdomain", "Home");
    EXPECT_EQ(Run({"--host-name", "home.local"}, {"/Web"}), 0);
    EXPECT_EQ(Opened(), std::vector<std::string>{"http://127.0.0.1/?local=1"});
    EXPECT_GE(took, 5s);
}

TEST_F(EndToEndTest, WebGoesThroughTheRelayWhenTheServerIsAway) {
    SetProductValue(Machine, "subdomain", "smith");
    EXPECT_EQ(Run({"--host-name", "home.local"}, {"/web"}), 0);
    SetProductValue(Machine, "subdomain", "");
    EXPECT_EQ(Run({"--no-announce"}, {"/web"}), 0);
    EXPECT_EQ(Opened(), (std::vector<std::string>{"http://www." + kRelay + "/?velname=smith",
                                                  "http://www." + kRelay + "/"}));
}

TEST_F(EndToEndTest, FolderOpensTheSharesOfTheServerOnTheNetwork) {
    SetProductValue(Machine, "subdomain", "home");
    EXPECT_EQ(Run({"--host-name", "home"}, {"/FOLDER"}), 0);
    EXPECT_EQ(Opened(), std::vector<std::string>{"smb://127.0.0.1/"});
}

TEST_F(EndToEndTest, FolderOpensTheWebFolderOfTheRemoteHome) {
    SetProductValue(Machine, "subdomain", "Smith");
    SetProductValue(User, "username", "Alice");
    EXPECT_EQ(Run({"--no-announce"}, {"/folder"}), 0);
    EXPECT_EQ(Opened(), std::vector<std::string>{"dav://smith." + kRelay + "/webdav/alice/"});
}

TEST_F(EndToEndTest, AMissingUsernameIsAskedForAndRemembered) {
    SetProductValue(Machine, "subdomain", "smith");
    auto doorlet = Start({"--no-announce"}, {"/folder"});
    const std::string dialog = WaitForWindow("Velmora Tandro", 15);
    ASSERT_FALSE(dialog.empty());
    // The remembered name is read-only: what is typed there is lost.
    Keyboard(dialog, {"type", "x"});
    Keyboard(dialog, {"key", "Tab", "type", "Bob"});
    Keyboard(dialog, {"key", "Return"});
    EXPECT_EQ(doorlet->Wait(20s), 0);
    EXPECT_EQ(ProductValue(User, "username"), "Bob");
    EXPECT_EQ(Opened(), std::vector<std::string>{"dav://smith." + kRelay + "/webdav/bob/"});
}

TEST_F(EndToEndTest, TheRelaySiteChosenInTheDialogUsesTheTypedNamesOnce) {
    WriteSettings("reporttohomeonly=0\n");
    auto doorlet = Start({"--host-name", "home.local"}, {"/folder"});
    const std::string devices = WaitForWindow("Choose a Device", 15);
    ASSERT_FALSE(devices.empty());
    // The list holds the server found, then the relay site; focus starts on OK.
    Keyboard(devices, {"key", "shift+Tab", "shift+Tab", "Down", "Return"});
    const std::string names = WaitForWindow("Velmora Tandro", 10);
    ASSERT_FALSE(names.empty());
    Keyboard(names, {"type", "Jones"});
    Keyboard(names, {"key", "Tab", "type", "Carol"});
    Keyboard(names, {"key", "Return"});
    EXPECT_EQ(doorlet->Wait(20s), 0);
    EXPECT_EQ(Opened(), std::vector<std::string>{"dav://jones." + kRelay + "/webdav/carol/"});
    EXPECT_EQ(ProductValue(User, "username"), "<none>");
}

TEST_F(EndToEndTest, ALookupErrorIsShownAndNothingOpens) {
    SetProductValue(Machine, "subdomain", "smith");
    SetProductValue(User, "username", "error3");
    auto doorlet = Start({"--no-announce"}, {"/folder"});
    const std::string box = WaitForWindow("Velmora Tandro", 15);
    ASSERT_FALSE(box.empty());
    Keyboard(box, {"key", "Return"});
    EXPECT_EQ(doorlet->Wait(10s), 1);
    EXPECT_TRUE(Opened().empty());
}

TEST_F(EndToEndTest, WithoutAnArgumentOnlyTheUsageIsShown) {
    auto doorlet = Start({"--host-name", "home.local"}, {});
    const std::string box = WaitForWindow("Velmora Tandro", 10);
    ASSERT_FALSE(box.empty());
    // No splash and no search came first.
    EXPECT_LT(Clock::now() - started, 4500ms);
    Keyboard(box, {"key", "Return"});
    EXPECT_EQ(doorlet->Wait(10s), 2);
    EXPECT_TRUE(Opened().empty());
}

TEST_F(EndToEndTest, AnUnknownCommandSearchesAndOpensNothing) {
    SetProductValue(Machine, "subdomain", "home");
    EXPECT_EQ(Run({"--host-name", "home.local"}, {"/help"}), 2);
    EXPECT_GE(took, 5s);
    EXPECT_TRUE(Opened().empty());
}
