// snapferry as the desktop and its users start it, under Xvfb: the usage box, the silent ends, a
// folder that is not there, the single-instance rule between two real runs, and registration
// without a display. The boxes are answered with xdotool, by keyboard.
#include "TestProcess.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include <unistd.h>

namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

const std::string kSnapferry = std::string(VELMORA_PROGRAM_DIR) + "/snapferry";
const std::string kCaption = "Dunmere Pictures Wizard";

class StartupTest : public ::testing::Test {
protected:
    StartupTest() {
        fs::create_directories(folder.Path() / "home");
        setenv("HOME", (folder.Path() / "home").c_str(), 1);
        setenv("XDG_CONFIG_HOME", (folder.Path() / "home/.config").c_str(), 1);
        setenv("XDG_DATA_HOME", (folder.Path() / "home/.local/share").c_str(), 1);
        setenv("VELMORA_LOCK_DIR", folder.Path().c_str(), 1);
    }

    std::unique_ptr<ChildProcess> Start(std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(), kSnapferry);
        return std::make_unique<ChildProcess>(arguments);
    }

    // The visible window of that exact title, waited for; empty when none came.
    static std::string WaitForWindow(const std::string& title, int seconds) {
        ChildProcess search({"timeout", std::to_string(seconds), "xdotool", "search", "--sync",
                             "--onlyvisible", "--name", "^" + title + "$"});
        return search.ReadLine(std::chrono::seconds(seconds + 1));
    }
    static void Press(const std::string& window, const std::string& key) {
        ChildProcess xdotool({"xdotool", "windowfocus", "--sync", window, "key", key});
        EXPECT_EQ(xdotool.Wait(10s), 0);
    }
    // Lines of standard output until one starts with `prefix`; empty when none came.
    static std::string LineStartingWith(ChildProcess& process, const std::string& prefix) {
        for (std::string line = process.ReadLine(10s); !line.empty();
             line = process.ReadLine(10s)) {
            if (line.rfind(prefix, 0) == 0) {
                return line;
            }
        }
        return {};
    }

    // A visible window of that title other than `known`, waited for; empty when none came.
    static std::string WaitForAnotherWindow(const std::string& title, const std::string& known) {
        for (int tries = 0; tries < 100; ++tries) {
            ChildProcess search(
                {"xdotool", "search", "--onlyvisible", "--name", "^" + title + "$"});
            for (std::string window = search.ReadLine(2s); !window.empty();
                 window = search.ReadLine(2s)) {
                if (window != known) {
                    return window;
                }
            }
            search.Wait(2s);
            usleep(100000);
        }
        return {};
    }

    // Shows a box, answers it with Return, and gives the box's text and the exit status. `other`
    // is a window of the same title that is not the box.
    std::pair<std::string, int> AnswerBox(std::vector<std::string> arguments,
                                          const std::string& other = {}) {
        auto run = Start(std::move(arguments));
        const std::string message = LineStartingWith(*run, "Message: ");
        const std::string box =
            other.empty() ? WaitForWindow(kCaption, 10) : WaitForAnotherWindow(kCaption, other);
        EXPECT_FALSE(box.empty()) << "no box for " << message;
        if (!box.empty()) {
            Press(box, "Return");
        }
        return {message, run->Wait(10s)};
    }

    fs::path Pictures(const std::vector<std::string>& names) {
        const fs::path pictures = folder.Path() / "pictures";
        fs::create_directories(pictures);
        for (const std::string& name : names) {
            WriteTextFile(pictures / name, "picture " + name);
        }
        return pictures;
    }

    TemporaryFolder folder;
};

TEST_F(StartupTest, ALocationTheWizardCannotUseIsNamedInsteadOfTheUsage) {
    const auto [unusable, unusableStatus] = AnswerBox({"/autoplay", "file://nas/dcim?x=1"});
    EXPECT_EQ(unusable, "Message: file://nas/dcim?x=1 is neither a folder nor a camera that the "
                        "wizard can copy pictures from.");
    EXPECT_EQ(unusableStatus, 1);
    // No desktop mount names this camera: it was unplugged before the wizard came up.
    const auto [gone, goneStatus] = AnswerBox({"/autoplay", "gphoto2://Canon_Inc._Gone_0001/"});
    EXPECT_EQ(gone, "Message: The camera Canon_Inc._Gone_0001 cannot be found. Connect it again, "
                    "then start again.");
    EXPECT_EQ(goneStatus, 1);
}

TEST_F(StartupTest, CommandsOutsideTheTableShowTheUsageWithTheProgramAsTyped) {
    for (const std::vector<std::string>& arguments : std::vector<std::vector<std::string>>{
             {}, {"/upload"}, {"/stidevice:usb:001,002", "x"}, {"/autoplay", ""}}) {
        const auto [message, status] = AnswerBox(arguments);
        EXPECT_EQ(message, "Message: Usage:") << "the first line of the usage text";
        EXPECT_EQ(status, 2);
    }
    // The whole text, with the path as typed and the product name.
    auto run = Start({});
    std::string text;
    for (int lines = 0; lines < 8 && text.find("uploaded to your") == std::string::npos; ++lines) {
        text += run->ReadLine(5s) + "\n";
    }
    EXPECT_NE(text.find(kSnapferry + " /upload <source>: Upload pictures to your Velmora"),
              std::string::npos)
        << text;
    Press(WaitForWindow(kCaption, 10), "Return");
    EXPECT_EQ(run->Wait(10s), 2);
}

TEST_F(StartupTest, AFolderWithoutPicturesEndsSilentlyAndAMissingOneIsNamed) {
    // Mixed-case extensions are not searched for; a sidecar alone is nothing to copy.
    const fs::path pictures =
        Pictures({"IMG_0001.Jpg", "IMG_0002.jPG", "notes.txt", "IMG_0003.xmp", "IMG_0004.XMP"});
    auto run = Start({"/UPLOAD", pictures.string()});
    EXPECT_EQ(run->Wait(20s), 4);

    const std::string missing = (folder.Path() / "no such folder").string();
    const auto [message, status] = AnswerBox({"/upload", missing});
    EXPECT_EQ(message, "Message: The folder " + missing + " does not exist.");
    EXPECT_EQ(status, 1);
}

TEST_F(StartupTest, ASecondRunIsTurnedAwayWhileTheFirstShowsItsSheet) {
    const fs::path pictures = Pictures({"a.jpg", "b.png"});
    auto first = Start({"/upload", pictures.string()});
    ASSERT_FALSE(LineStartingWith(*first, "Sheet shown: 2 picture(s)").empty());
    const std::string sheet = WaitForWindow(kCaption, 10);
    ASSERT_FALSE(sheet.empty());

    const auto [message, status] = AnswerBox({"/upload", pictures.string()}, sheet);
    EXPECT_EQ(message, "Message: Only once instance of this program is to be run at a time.");
    EXPECT_EQ(status, 5);

    // The first run is unaffected: it still shows its sheet, and Esc cancels it.
    Press(sheet, "Escape");
    EXPECT_EQ(first->Wait(10s), 3);
}

TEST_F(StartupTest, RegistrationWorksWithoutADisplayAndIsUndone) {
    const std::string display = std::getenv("DISPLAY") ? std::getenv("DISPLAY") : "";
    unsetenv("DISPLAY");
    // As root the registration is the machine's: its folders are pointed at the test's own.
    setenv("XDG_DATA_DIRS", (folder.Path() / "system/share").c_str(), 1);
    setenv("XDG_CONFIG_DIRS", (folder.Path() / "system/xdg").c_str(), 1);
    const fs::path applications = geteuid() == 0 ? folder.Path() / "system/share/applications"
                                                 : folder.Path() / "home/.local/share/applications";
    const fs::path entry = applications / "net.velmora.snapferry.desktop";
    EXPECT_EQ(Start({"/REGISTER"})->Wait(10s), 0);
    ASSERT_TRUE(fs::exists(entry));
    EXPECT_NE(ReadTextFile(entry).find("Exec=\"" + fs::canonical(kSnapferry).string() +
                                       "\" /autoplay %u"),
              std::string::npos);
    ChildProcess query({"xdg-mime", "query", "default", "x-content/image-dcf"});
    EXPECT_EQ(query.ReadLine(10s), "net.velmora.snapferry.desktop");
    EXPECT_EQ(Start({"/unregister"})->Wait(10s), 0);
    EXPECT_FALSE(fs::exists(entry));
    unsetenv("XDG_DATA_DIRS");
    unsetenv("XDG_CONFIG_DIRS");
    setenv("DISPLAY", display.c_str(), 1);
}

} // namespace
