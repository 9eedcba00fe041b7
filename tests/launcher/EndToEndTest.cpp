// The doorlet program as users start it, under Xvfb, against the simulated server in a network
// namespace of its own (doorlet-netns.sh), with a recording opener. The dialogs are answered
// with xdotool as a user would: by keyboard.
#include "TestProcess.h"

#include "common/Registry.h"

#include <gtest/gtest.h>

#include <cstdlib>

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
        for (const char* name :
             {"http_proxy", "https_proxy", "HTTP_PROXY", "HTTPS_PROXY", "all_proxy", "ALL_PROXY"}) {
            unsetenv(name);
        }
        WriteSettings("");
        setenv("VELMORA_PROGRAM_DIR", (folder.Path() / "program").c_str(), 1);
        setenv("XDG_CONFIG_DIRS", (folder.Path() / "machine").c_str(), 1);
        setenv("XDG_CONFIG_HOME", (folder.Path() / "user").c_str(), 1);
        ChildProcess install(
            {"bash", std::string(VELMORA_SOURCE_DIR) + "/tests/support/recording-opener.sh",
             (folder.Path() / "opened.log").string()});
        ASSERT_EQ(install.Wait(20s), 0);
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

    std::vector<std::string> Opened() {
        std::vector<std::string> lines;
        const std::string text = ReadTextFile(folder.Path() / "opened.log");
        std::size_t start = 0;
        for (std::size_t end; (end = text.find('\n', start)) != std::string::npos;
             start = end + 1) {
            lines.push_back(text.substr(start, end - start));
        }
        return lines;
    }

    static void SetRegistryValue(int root, const char* name, const char* value) {
        CreateRegistry();
        ASSERT_TRUE(GetRegistry()->SetString(root, kProductKeyPath, name, value));
        DestroyRegistry();
    }
    static std::string RegistryValue(int root, const char* name) {
        CreateRegistry();
        std::string value = GetRegistry()->GetString(root, kProductKeyPath, name, "<none>");
        DestroyRegistry();
        return value;
    }

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
    SetRegistryValue(Machine, "subdomain", "Home");
    EXPECT_EQ(Run({"--host-name", "home.local"}, {"/Web"}), 0);
    EXPECT_EQ(Opened(), std::vector<std::string>{"http://127.0.0.1/?local=1"});
    EXPECT_GE(took, 5s);
}

TEST_F(EndToEndTest, WebGoesThroughTheRelayWhenTheServerIsAway) {
    SetRegistryValue(Machine, "subdomain", "smith");
    EXPECT_EQ(Run({"--host-name", "home.local"}, {"/web"}), 0);
    SetRegistryValue(Machine, "subdomain", "");
    EXPECT_EQ(Run({"--no-announce"}, {"/web"}), 0);
    EXPECT_EQ(Opened(), (std::vector<std::string>{"http://www." + kRelay + "/?velname=smith",
                                                  "http://www." + kRelay + "/"}));
}

TEST_F(EndToEndTest, FolderOpensTheSharesOfTheServerOnTheNetwork) {
    SetRegistryValue(Machine, "subdomain", "home");
    EXPECT_EQ(Run({"--host-name", "home"}, {"/FOLDER"}), 0);
    EXPECT_EQ(Opened(), std::vector<std::string>{"smb://127.0.0.1/"});
}

TEST_F(EndToEndTest, FolderOpensTheWebFolderOfTheRemoteHome) {
    SetRegistryValue(Machine, "subdomain", "Smith");
    SetRegistryValue(User, "username", "Alice");
    EXPECT_EQ(Run({"--no-announce"}, {"/folder"}), 0);
    EXPECT_EQ(Opened(), std::vector<std::string>{"dav://smith." + kRelay + "/webdav/alice/"});
}

TEST_F(EndToEndTest, AMissingUsernameIsAskedForAndRemembered) {
    SetRegistryValue(Machine, "subdomain", "smith");
    auto doorlet = Start({"--no-announce"}, {"/folder"});
    const std::string dialog = WaitForWindow("Velmora Tandro", 15);
    ASSERT_FALSE(dialog.empty());
    // The remembered name is read-only: what is typed there is lost.
    Keyboard(dialog, {"type", "x"});
    Keyboard(dialog, {"key", "Tab", "type", "Bob"});
    Keyboard(dialog, {"key", "Return"});
    EXPECT_EQ(doorlet->Wait(20s), 0);
    EXPECT_EQ(RegistryValue(User, "username"), "Bob");
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
    EXPECT_EQ(RegistryValue(User, "username"), "<none>");
}

TEST_F(EndToEndTest, ALookupErrorIsShownAndNothingOpens) {
    SetRegistryValue(Machine, "subdomain", "smith");
    SetRegistryValue(User, "username", "error3");
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
    SetRegistryValue(Machine, "subdomain", "home");
    EXPECT_EQ(Run({"--host-name", "home.local"}, {"/help"}), 2);
    EXPECT_GE(took, 5s);
    EXPECT_TRUE(Opened().empty());
}
