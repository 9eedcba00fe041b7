// The snapferry program as users start it, under Xvfb, against the simulated server and its smbd
// in a network namespace of its own (snapferry-netns.sh), with a recording opener for smb://
// addresses. The wizard is driven by keyboard with xdotool, as a user would; what counts is what
// arrives on the share, what stays in the picture folder, the program's output and its status.
#include "TestProcess.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <map>
#include <random>
#include <set>
#include <thread>

#include <signal.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

const std::string kSnapferry = std::string(VELMORA_PROGRAM_DIR) + "/snapferry";
const std::string kHarness =
    std::string(VELMORA_SOURCE_DIR) + "/tests/wizard/end-to-end/snapferry-netns.sh";
const std::string kSheetTitle = "Dunmere Pictures Wizard";
const std::string kFamilyLibrary = "FamilyLibrary";
const std::string kMyLibrary = "MyLibrary";
// The simulated server's user of the personal library.
const std::string kUser = "velmoratest";
const std::string kPassword = "Pictures-4-all";
const std::string kSettingsKey = "Software\\Corvanta Corporation\\Velmora Desktop "
                                 "Applications\\1.2\\Camera\\Default";

struct Picture {
    std::string extension;
    std::string bytes;
};

// Relative path to contents of every regular file under `root`.
std::map<std::string, std::string> FilesUnder(const fs::path& root) {
    std::map<std::string, std::string> files;
    std::error_code error;
    for (auto entry = fs::recursive_directory_iterator(root, error);
         !error && entry != fs::recursive_directory_iterator(); entry.increment(error)) {
        if (entry->is_regular_file()) {
            files[fs::relative(entry->path(), root).string()] = ReadTextFile(entry->path());
        }
    }
    return files;
}

bool Succeeds(const std::vector<std::string>& command, std::chrono::seconds timeout = 10s) {
    ChildProcess process(command);
    return process.Wait(timeout) == 0;
}

class SnapferryEndToEndTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (geteuid() != 0 || !Succeeds({"unshare", "-n", "true"})) {
            GTEST_SKIP() << "needs root and a network namespace of its own";
        }
        if (access("/usr/sbin/smbd", X_OK) != 0 || std::getenv("DISPLAY") == nullptr ||
            !Succeeds({"sh", "-c", "command -v xdotool && command -v tc"})) {
            GTEST_SKIP() << "needs smbd, xdotool, tc and a display (tests/support/with-display.sh)";
        }
        ClearProxyEnvironment();
        setenv("XDG_CONFIG_HOME", (folder.Path() / "config").c_str(), 1);
        setenv("XDG_CONFIG_DIRS", (folder.Path() / "machine").c_str(), 1);
        setenv("VELMORA_LOCK_DIR", (folder.Path() / "lock").c_str(), 1);
        setenv("LC_ALL", "C.UTF-8", 1);
        // No desktop keyring: the credentials prompt's "remember" must never reach a real one.
        unsetenv("DBUS_SESSION_BUS_ADDRESS");
        unsetenv("VELMORA_SMB_PORT");
        fs::create_directories(folder.Path() / "lock");
        ASSERT_TRUE(Succeeds(
            {"bash", std::string(VELMORA_SOURCE_DIR) + "/tests/support/recording-opener.sh",
             (folder.Path() / "opened.log").string(), "smb"},
            20s));
    }

    void TearDown() override {
        if (HasFailure()) {
            const fs::path shot =
                fs::temp_directory_path() /
                ("snapferry-end-to-end-" +
                 std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) +
                 ".png");
            if (Succeeds({"import", "-window", "root", shot.string()})) {
                std::printf("Screen at the failure: %s\n", shot.c_str());
            }
            Drain(200ms);
            std::printf("What the run printed:\n");
            for (const std::string& line : output) {
                std::printf("  %s\n", line.c_str());
            }
        }
    }

    // Pictures in the folder the wizard uploads, each with contents of its own.
    void MakePictures(const std::vector<std::string>& names, size_t bytes) {
        std::mt19937 random(static_cast<unsigned>(bytes));
        for (const std::string& name : names) {
            std::string data(bytes, '\0');
            for (char& c : data) {
                c = static_cast<char>(random());
            }
            WriteTextFile(Pictures() / name, data);
            sources[name] = data;
        }
    }

    // Files beside the pictures that the wizard neither copies nor deletes.
    void MakeOthers(const std::vector<std::string>& names) {
        for (const std::string& name : names) {
            nonPictures[name] = "not a picture: " + name;
            WriteTextFile(Pictures() / name, nonPictures[name]);
        }
    }

    // The user's registry hive, as earlier runs of the wizard left it.
    void WriteUserSettings(const std::vector<std::string>& values) {
        std::string text = "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\" +
                           kSettingsKey + "]\r\n";
        for (const std::string& value : values) {
            text += value + "\r\n";
        }
        WriteTextFile(UserHive(), text);
    }

    fs::path UserHive() const { return folder.Path() / "config" / "velmora" / "registry.reg"; }
    fs::path Pictures() const { return folder.Path() / "pictures"; }
    fs::path KeptShares() const { return folder.Path() / "kept"; }
    fs::path ServerPidFile() const { return folder.Path() / "server.pid"; }

    // Takes the server's smbd down (SIGUSR1) or brings it back (SIGUSR2); the simulated server
    // itself, announcements included, stays.
    void SignalServer(int signal) const {
        const std::string pid = ReadTextFile(ServerPidFile());
        ASSERT_FALSE(pid.empty()) << "the harness named no server";
        ASSERT_EQ(kill(static_cast<pid_t>(std::stol(pid)), signal), 0);
    }

    // Starts the run: the server in its namespace, then snapferry on the picture folder.
    void Start(bool slowNetwork = false) { Run({}, slowNetwork, {"/upload", Pictures().string()}); }

    // Starts the run with a camera: a memory card's file system in a mount namespace of the
    // run's own, holding the pictures in DCIM/100CAMERA (and `others`, which are no pictures),
    // which the wizard opens through the camera library on its "disk:" port.
    void StartCamera(const std::vector<std::string>& others) {
        const fs::path card = folder.Path() / "card";
        const fs::path extras = folder.Path() / "extras";
        fs::create_directories(card);
        fs::create_directories(extras);
        for (const std::string& name : others) {
            WriteTextFile(extras / name, "not a picture");
        }
        // After the run, what is left on the card is listed for the test to read.
        const std::string script =
            "mount -t tmpfs velmora-card \"$1\" && mkdir -p \"$1/DCIM/100CAMERA\" && "
            "cp -a \"$2\"/. \"$3\"/. \"$1/DCIM/100CAMERA/\" && shift 3 && \"$@\"; status=$?; "
            "for f in \"$0\"/DCIM/100CAMERA/*; do echo \"left on the card: ${f##*/}\"; done; "
            "exit $status";
        Run({"unshare", "-m", "--propagation", "private", "bash", "-c", script, card.string(),
             card.string(), Pictures().string(), extras.string()},
            false, {"/StiDevice:disk:" + card.string(), "connected"});
    }

    void Run(std::vector<std::string> command, bool slowNetwork,
             const std::vector<std::string>& arguments) {
        command.insert(command.end(), {"bash", kHarness});
        if (slowNetwork) {
            command.push_back("--slow");
        }
        command.insert(command.end(), {"--keep-shares", KeptShares().string(), "--server-pid-file",
                                       ServerPidFile().string(), kSnapferry});
        command.insert(command.end(), serverOptions.begin(), serverOptions.end());
        command.push_back("--");
        command.insert(command.end(), arguments.begin(), arguments.end());
        run = std::make_unique<ChildProcess>(command);
        const std::string first = run->ReadLine(40s);
        const std::string prefix = "snapferry-netns: shares=";
        ASSERT_EQ(first.rfind(prefix, 0), 0u) << "the server did not start: " << first;
        liveShares = first.substr(prefix.size());
        sheet = WaitForWindow("^" + kSheetTitle + "$", 20s);
        ASSERT_FALSE(sheet.empty()) << "no wizard window";
    }

    // The first visible window whose title matches, other than `except`; empty when none came.
    static std::string WaitForWindow(const std::string& pattern, Clock::duration timeout,
                                     const std::string& except = {}) {
        const auto deadline = Clock::now() + timeout;
        do {
            ChildProcess search({"xdotool", "search", "--onlyvisible", "--name", pattern});
            for (std::string id = search.ReadLine(2s); !id.empty(); id = search.ReadLine(2s)) {
                if (id != except) {
                    return id;
                }
            }
            std::this_thread::sleep_for(100ms);
        } while (Clock::now() < deadline);
        return {};
    }

    static bool WaitUntilGone(const std::string& pattern, Clock::duration timeout) {
        const auto deadline = Clock::now() + timeout;
        while (Clock::now() < deadline) {
            if (!Succeeds({"xdotool", "search", "--onlyvisible", "--name", pattern})) {
                return true;
            }
            std::this_thread::sleep_for(100ms);
        }
        return false;
    }

    // Keys or text for a window, as the user gives them.
    // A window that is mapped but not yet viewable refuses the focus, and then xdotool sends
    // nothing: it is tried again for a while, as a user would click again.
    static void Keyboard(const std::string& window, std::vector<std::string> actions) {
        std::vector<std::string> command{"xdotool", "windowfocus", "--sync", window};
        command.insert(command.end(), actions.begin(), actions.end());
        for (int tries = 0; tries < 20; ++tries) {
            if (Succeeds(command)) {
                return;
            }
            std::this_thread::sleep_for(250ms);
        }
        ADD_FAILURE() << "xdotool could not reach window " << window;
    }

    // Cancel on the copying page: its question, a second window with the sheet's title.
    std::string AskToCancel() {
        Keyboard(sheet, {"key", "Escape"});
        return WaitForWindow("^" + kSheetTitle + "$", 10s, sheet);
    }

    // The device page listens for its whole window of ten seconds behind a progress dialog.
    void WaitForServerSearch() {
        ASSERT_FALSE(WaitForWindow("^Locating ", 5s).empty()) << "no server search";
        ASSERT_TRUE(WaitUntilGone("^Locating ", 20s)) << "the server search did not end";
    }

    // The copies so far under a share's folder, live, while the program runs.
    size_t CopiesArrived(const std::string& share, const std::string& destination,
                         bool complete = true) const {
        const fs::path where = fs::path(liveShares) / share / destination;
        size_t count = 0;
        for (const auto& [name, bytes] : FilesUnder(where)) {
            if (!complete || bytes.size() == sources.begin()->second.size()) {
                ++count;
            }
        }
        return count;
    }

    ::testing::AssertionResult WaitForCopies(const std::string& share,
                                             const std::string& destination, size_t count,
                                             Clock::duration timeout) {
        const auto deadline = Clock::now() + timeout;
        while (CopiesArrived(share, destination) < count) {
            if (Clock::now() > deadline) {
                return ::testing::AssertionFailure()
                       << CopiesArrived(share, destination) << " of " << count
                       << " copies arrived in " << share << "/" << destination;
            }
            Drain(50ms);
        }
        return ::testing::AssertionSuccess();
    }

    // Reads what the program printed so far (or within `wait`).
    void Drain(std::chrono::milliseconds wait) {
        if (!run) {
            return;
        }
        for (std::string line = run->ReadLine(wait); !line.empty(); line = run->ReadLine(wait)) {
            output.push_back(line);
        }
    }

    // Waits until the program printed a line holding `text`: what it prints as it moves on
    // tells the test when keys may follow, on a slow machine too.
    ::testing::AssertionResult WaitForPrinted(const std::string& text, Clock::duration timeout) {
        const auto deadline = Clock::now() + timeout;
        while (!Printed(text)) {
            if (Clock::now() > deadline) {
                return ::testing::AssertionFailure() << "never printed: " << text;
            }
            Drain(50ms);
        }
        std::this_thread::sleep_for(200ms);
        return ::testing::AssertionSuccess();
    }

    bool Printed(const std::string& text) const {
        return std::any_of(output.begin(), output.end(), [&](const std::string& line) {
            return line.find(text) != std::string::npos;
        });
    }

    // Waits for the program to end; its exit status (-1 when it did not end in time).
    int Finish(Clock::duration timeout = 30s) {
        const auto deadline = Clock::now() + timeout;
        int status = -1;
        while (status == -1 && Clock::now() < deadline) {
            Drain(100ms);
            status = run->Wait(0ms);
        }
        Drain(100ms);
        return status;
    }

    // What the share holds after the run is exactly one copy of each picture, named "GROUP 1",
    // "GROUP 2"... with the picture's own extension, in `destination` and nowhere else; the
    // picture folder is as it was.
    void ExpectCopiedOnce(const std::string& share, const std::string& destination,
                          const std::string& group, bool picturesStay = true) {
        std::map<std::string, std::string> copies = FilesUnder(KeptShares() / share);
        std::multiset<std::pair<std::string, std::string>> unmatched;
        for (const auto& [name, bytes] : sources) {
            unmatched.insert({fs::path(name).extension().string(), bytes});
        }
        std::set<std::string> numbers;
        for (const auto& [path, bytes] : copies) {
            const fs::path copy(path);
            EXPECT_EQ(copy.parent_path().string(), destination) << path;
            const std::string stem = copy.stem().string();
            EXPECT_EQ(stem.rfind(group + " ", 0), 0u) << path;
            numbers.insert(stem.substr(std::min(stem.size(), group.size() + 1)));
            const auto match = unmatched.find({copy.extension().string(), bytes});
            if (match == unmatched.end()) {
                ADD_FAILURE() << path << " (" << bytes.size()
                              << " bytes) is no picture of the folder, or a second copy of one";
            } else {
                unmatched.erase(match);
            }
        }
        EXPECT_TRUE(unmatched.empty()) << unmatched.size() << " picture(s) were not copied";
        std::set<std::string> expected;
        for (size_t number = 1; number <= sources.size(); ++number) {
            expected.insert(std::to_string(number));
        }
        EXPECT_EQ(numbers, expected);
        // The other library holds nothing of this run.
        const std::string other = share == kFamilyLibrary ? kMyLibrary : kFamilyLibrary;
        EXPECT_TRUE(FilesUnder(KeptShares() / other).empty());
        if (picturesStay) {
            ExpectPicturesKept();
        }
    }

    // After a run that failed: nothing it wrote is left on either library, and every picture
    // is still in its folder as it was.
    void ExpectNothingCopied() {
        for (const std::string& share : {kFamilyLibrary, kMyLibrary}) {
            const std::map<std::string, std::string> left = FilesUnder(KeptShares() / share);
            EXPECT_TRUE(left.empty()) << share << " holds " << left.size() << " file(s), such as "
                                      << (left.empty() ? "" : left.begin()->first);
        }
        ExpectPicturesKept();
    }

    void ExpectPicturesKept() {
        std::map<std::string, std::string> left = FilesUnder(Pictures());
        EXPECT_EQ(left.size(), sources.size() + nonPictures.size());
        for (const auto& [name, bytes] : sources) {
            EXPECT_TRUE(left.count(name) == 1 && left[name] == bytes) << name << " was changed";
        }
    }

    std::string SavedValues() const { return ReadTextFile(UserHive()); }

    TemporaryFolder folder;
    std::map<std::string, std::string> sources;
    // Files of the picture folder that are no pictures (see MakeOthers).
    std::map<std::string, std::string> nonPictures;
    std::unique_ptr<ChildProcess> run;
    // Options of the simulated server for the next Start.
    std::vector<std::string> serverOptions;
    std::string liveShares;
    std::string sheet;
    std::vector<std::string> output;
};

const std::vector<std::string> kThreePictures{"beach.jpg", "dog.png", "sunset.jpg"};

// Saved settings of an earlier run that asked to copy the same way next time, to "Holidays" in
// the family library under the group name "Beach", on the server "home".
const std::vector<std::string> kQuickSettings{"\"bSaveSettings\"=dword:00000001",
                                              "\"bUsingSaved\"=dword:00000001",
                                              "\"bUsePersonalLibrary\"=dword:00000000",
                                              "\"bGroupName\"=\"Beach\"",
                                              "\"bFolderName\"=\"Holidays\"",
                                              "\"bGroupSel\"=dword:00000000",
                                              "\"bSubdomain\"=\"home\""};

} // namespace

TEST_F(SnapferryEndToEndTest, AFirstRunGoesThroughEveryPageToTheFamilyLibrary) {
    MakePictures(kThreePictures, 300 * 1024);
    ASSERT_NO_FATAL_FAILURE(Start());
    Keyboard(sheet, {"key", "Return"}); // welcome
    ASSERT_NO_FATAL_FAILURE(WaitForServerSearch());
    Keyboard(sheet, {"key", "Return"}); // the one server found, selected
    // The folder page lists the library's folders in the background.
    std::this_thread::sleep_for(1500ms);
    Keyboard(sheet, {"key", "Return"}); // FamilyPhotos/Photo
    EXPECT_TRUE(WaitForCopies(kFamilyLibrary, "FamilyPhotos/Photo", 3, 20s));
    std::this_thread::sleep_for(500ms);
    Keyboard(sheet, {"key", "Return"}); // Finish
    EXPECT_EQ(Finish(), 0);
    EXPECT_TRUE(Printed("Wizard closed: finished, 3 picture(s) copied"));
    ExpectCopiedOnce(kFamilyLibrary, "FamilyPhotos/Photo", "Photo");
    // The server chosen is remembered for the next run.
    EXPECT_NE(SavedValues().find("\"bSubdomain\"=\"home\""), std::string::npos) << SavedValues();
}

TEST_F(SnapferryEndToEndTest, TheUserLibraryAsksForNameAndPasswordUntilTheyAreRight) {
    MakePictures({"a.jpg", "b.jpg"}, 200 * 1024);
    // The personal library was chosen in an earlier run.
    WriteUserSettings({"\"bUsePersonalLibrary\"=dword:00000001"});
    ASSERT_NO_FATAL_FAILURE(Start());
    Keyboard(sheet, {"key", "Return"});
    ASSERT_NO_FATAL_FAILURE(WaitForServerSearch());
    Keyboard(sheet, {"key", "Return"});
    std::string prompt = WaitForWindow("^Connect to ", 10s);
    ASSERT_FALSE(prompt.empty()) << "no credentials prompt";
    Keyboard(prompt, {"type", kUser});
    Keyboard(prompt, {"key", "Tab", "type", "wrong-password"});
    Keyboard(prompt, {"key", "Return"});
    // Refused: asked again in a new prompt, the name kept and the password to type anew.
    prompt = WaitForWindow("^Connect to ", 10s, prompt);
    ASSERT_FALSE(prompt.empty()) << "wrong credentials were accepted";
    Keyboard(prompt, {"type", kPassword});
    Keyboard(prompt, {"key", "Return"});
    ASSERT_TRUE(WaitUntilGone("^Connect to ", 10s));
    std::this_thread::sleep_for(1500ms);
    Keyboard(sheet, {"key", "Return"}); // MyPhotos/Photo
    EXPECT_TRUE(WaitForCopies(kMyLibrary, "MyPhotos/Photo", 2, 20s));
    std::this_thread::sleep_for(500ms);
    Keyboard(sheet, {"key", "Return"});
    EXPECT_EQ(Finish(), 0);
    EXPECT_TRUE(Printed("Wizard closed: finished, 2 picture(s) copied"));
    ExpectCopiedOnce(kMyLibrary, "MyPhotos/Photo", "Photo");
}

TEST_F(SnapferryEndToEndTest, ChoosingTheUserLibraryOnTheFolderPageAsksForNameAndPassword) {
    MakePictures({"a.jpg", "b.png"}, 100 * 1024);
    ASSERT_NO_FATAL_FAILURE(Start());
    Keyboard(sheet, {"key", "Return"});
    ASSERT_NO_FATAL_FAILURE(WaitForServerSearch());
    Keyboard(sheet, {"key", "Return"}); // the family library, open to guests: no prompt
    std::this_thread::sleep_for(1500ms);
    // Focus to the library choice, then the second one: MyLibrary.
    Keyboard(sheet, {"key", "Tab", "Tab", "Down", "Down"});
    const std::string prompt = WaitForWindow("^Connect to ", 10s);
    if (!prompt.empty()) {
        Keyboard(prompt, {"type", kUser});
        Keyboard(prompt, {"key", "Tab", "type", kPassword});
        Keyboard(prompt, {"key", "Return"});
        ASSERT_TRUE(WaitUntilGone("^Connect to ", 10s));
    }
    EXPECT_FALSE(prompt.empty()) << "MyLibrary was chosen and nobody asked for a password";
    std::this_thread::sleep_for(1500ms);
    Keyboard(sheet, {"key", "Return"});
    EXPECT_TRUE(WaitForCopies(kMyLibrary, "MyPhotos/Photo", 2, 10s));
    std::this_thread::sleep_for(500ms);
    Keyboard(sheet, {"key", "Return"});
    EXPECT_EQ(Finish(), 0);
    EXPECT_TRUE(Printed("Wizard closed: finished, 2 picture(s) copied"));
    ExpectCopiedOnce(kMyLibrary, "MyPhotos/Photo", "Photo");
}

TEST_F(SnapferryEndToEndTest, SavedSettingsCopyAtOnceWithoutAnotherPage) {
    MakePictures(kThreePictures, 300 * 1024);
    WriteUserSettings(kQuickSettings);
    ASSERT_NO_FATAL_FAILURE(Start());
    const auto pressed = Clock::now();
    Keyboard(sheet, {"key", "Return"}); // the only key until the finish page
    EXPECT_TRUE(WaitForCopies(kFamilyLibrary, "Holidays/Beach", 3, 20s));
    // The search ended as soon as the saved server answered, not after its whole window.
    EXPECT_LT(Clock::now() - pressed, 8s);
    EXPECT_TRUE(WaitForPrinted("Copy run done", 20s));
    Keyboard(sheet, {"key", "Return"});
    EXPECT_EQ(Finish(), 0);
    EXPECT_TRUE(Printed("Saved settings: server found, copying"));
    EXPECT_TRUE(Printed("Wizard closed: finished, 3 picture(s) copied"));
    ExpectCopiedOnce(kFamilyLibrary, "Holidays/Beach", "Beach");
}

TEST_F(SnapferryEndToEndTest, TheFinishPageLinkOpensTheDestinationOnTheServer) {
    MakePictures({"one.jpg", "two.gif"}, 50 * 1024);
    WriteUserSettings(kQuickSettings);
    ASSERT_NO_FATAL_FAILURE(Start());
    Keyboard(sheet, {"key", "Return"});
    EXPECT_TRUE(WaitForCopies(kFamilyLibrary, "Holidays/Beach", 2, 20s));
    EXPECT_TRUE(WaitForPrinted("Copy run done", 20s));
    // Finish has the focus: the link is the control before it, and Finish the one after.
    Keyboard(sheet, {"key", "shift+Tab", "Return"});
    Keyboard(sheet, {"key", "Tab", "Return"});
    EXPECT_EQ(Finish(), 0);
    const std::string address = "smb://127.0.0.1/FamilyLibrary/Holidays/Beach/";
    EXPECT_EQ(ReadLines(folder.Path() / "opened.log"), std::vector<std::string>{address});
    EXPECT_TRUE(Printed("Opening " + address + ": opened (0)"));
    ExpectCopiedOnce(kFamilyLibrary, "Holidays/Beach", "Beach");
}

TEST_F(SnapferryEndToEndTest, CancelAnsweredNoPausesTheCopyAndLetsItComplete) {
    MakePictures({"p1.jpg", "p2.jpg", "p3.jpg", "p4.jpg", "p5.jpg", "p6.jpg", "p7.jpg", "p8.jpg"},
                 12 << 20);
    WriteUserSettings(kQuickSettings);
    ASSERT_NO_FATAL_FAILURE(Start(true));
    Keyboard(sheet, {"key", "Return"});
    const auto deadline = Clock::now() + 20s;
    while (CopiesArrived(kFamilyLibrary, "Holidays/Beach", false) == 0 && Clock::now() < deadline) {
        std::this_thread::sleep_for(20ms);
    }
    const std::string question = AskToCancel();
    ASSERT_FALSE(question.empty()) << "Cancel asked nothing";
    // While the question is open no new picture is started.
    std::this_thread::sleep_for(300ms);
    const size_t started = CopiesArrived(kFamilyLibrary, "Holidays/Beach", false);
    std::this_thread::sleep_for(1500ms);
    EXPECT_EQ(CopiesArrived(kFamilyLibrary, "Holidays/Beach", false), started);
    EXPECT_LT(started, 8u) << "the copy was over before Cancel: nothing was tested";
    Keyboard(question, {"key", "alt+n"});
    EXPECT_TRUE(WaitForCopies(kFamilyLibrary, "Holidays/Beach", 8, 30s));
    EXPECT_TRUE(WaitForPrinted("Copy run done", 20s));
    Keyboard(sheet, {"key", "Return"});
    EXPECT_EQ(Finish(), 0);
    EXPECT_TRUE(Printed("Wizard closed: finished, 8 picture(s) copied"));
    ExpectCopiedOnce(kFamilyLibrary, "Holidays/Beach", "Beach");
}

TEST_F(SnapferryEndToEndTest, CancelAnsweredYesRemovesTheCopiesAndBackThenNextCopiesOnce) {
    MakePictures({"p1.jpg", "p2.png", "p3.jpg", "p4.jpg", "p5.png", "p6.jpg"}, 12 << 20);
    ASSERT_NO_FATAL_FAILURE(Start(true));
    Keyboard(sheet, {"key", "Return"});
    ASSERT_NO_FATAL_FAILURE(WaitForServerSearch());
    Keyboard(sheet, {"key", "Return"});
    std::this_thread::sleep_for(1500ms);
    Keyboard(sheet, {"key", "Return"});
    const auto deadline = Clock::now() + 20s;
    while (CopiesArrived(kFamilyLibrary, "FamilyPhotos/Photo") == 0 && Clock::now() < deadline) {
        std::this_thread::sleep_for(20ms);
    }
    const std::string question = AskToCancel();
    ASSERT_FALSE(question.empty()) << "Cancel asked nothing";
    Keyboard(question, {"key", "alt+y"});
    // The cancel page shows; the copies of the cancelled run go away.
    const auto removed = Clock::now() + 20s;
    while (CopiesArrived(kFamilyLibrary, "FamilyPhotos/Photo", false) != 0 &&
           Clock::now() < removed) {
        std::this_thread::sleep_for(50ms);
    }
    EXPECT_EQ(CopiesArrived(kFamilyLibrary, "FamilyPhotos/Photo", false), 0u)
        << "the cancelled run left copies behind";
    Keyboard(sheet, {"key", "alt+b"}); // Back: the folder page
    std::this_thread::sleep_for(1500ms);
    Keyboard(sheet, {"key", "Return"}); // Next: the same choices again
    EXPECT_TRUE(WaitForCopies(kFamilyLibrary, "FamilyPhotos/Photo", 6, 30s));
    std::this_thread::sleep_for(500ms);
    Keyboard(sheet, {"key", "Return"});
    EXPECT_EQ(Finish(), 0);
    EXPECT_TRUE(Printed("Wizard closed: finished, 6 picture(s) copied"));
    ExpectCopiedOnce(kFamilyLibrary, "FamilyPhotos/Photo", "Photo");
}

TEST_F(SnapferryEndToEndTest, EscapeAfterTheServerSearchCancels) {
    MakePictures({"a.jpg"}, 10 * 1024);
    ASSERT_NO_FATAL_FAILURE(Start());
    Keyboard(sheet, {"key", "Return"});
    ASSERT_NO_FATAL_FAILURE(WaitForServerSearch());
    // The device page with its server found; the user changes their mind.
    Keyboard(sheet, {"key", "Escape"});
    EXPECT_EQ(Finish(5s), 3) << "Esc did not cancel the wizard";
    EXPECT_TRUE(Printed("Wizard closed: cancelled, 0 picture(s) copied"));
    ExpectPicturesKept();
}

TEST_F(SnapferryEndToEndTest, ACameraIsCopiedWithTheSavedSettingsAndEmptiedOfItsPictures) {
    MakePictures({"img_0001.jpg", "img_0002.png", "img_0004.jpg"}, 300 * 1024);
    std::vector<std::string> settings = kQuickSettings;
    settings.push_back("\"bDeleteImagesFromCamera\"=dword:00000001");
    WriteUserSettings(settings);
    ASSERT_NO_FATAL_FAILURE(StartCamera({"mvi_0003.mov", "notes.txt"}));
    Keyboard(sheet, {"key", "Return"});
    EXPECT_TRUE(WaitForCopies(kFamilyLibrary, "Holidays/Beach", 3, 30s));
    EXPECT_TRUE(WaitForPrinted("Copy run done", 20s));
    Keyboard(sheet, {"key", "Return"}); // Finish
    EXPECT_EQ(Finish(), 0);
    EXPECT_TRUE(Printed("Saved settings: server found, copying"));
    EXPECT_TRUE(Printed("Wizard closed: finished, 3 picture(s) copied"));
    ExpectCopiedOnce(kFamilyLibrary, "Holidays/Beach", "Beach");
    // Only the pictures whose copies were read back went; the video and the notes stay.
    EXPECT_TRUE(Printed("left on the card: mvi_0003.mov"));
    EXPECT_TRUE(Printed("left on the card: notes.txt"));
    EXPECT_FALSE(Printed("left on the card: img_"));
}

TEST_F(SnapferryEndToEndTest, DeleteAfterCopyingEmptiesTheFolderOfItsPicturesOnly) {
    MakePictures(kThreePictures, 300 * 1024);
    MakeOthers({"notes.txt"});
    ASSERT_NO_FATAL_FAILURE(Start());
    Keyboard(sheet, {"key", "Return"});
    ASSERT_NO_FATAL_FAILURE(WaitForServerSearch());
    Keyboard(sheet, {"key", "Return"});
    std::this_thread::sleep_for(1500ms);
    // Next has the focus; before it come Back, "Always copy..." and "Delete pictures...".
    Keyboard(sheet, {"key", "shift+Tab", "shift+Tab", "shift+Tab", "space"});
    Keyboard(sheet, {"key", "alt+n"});
    EXPECT_TRUE(WaitForCopies(kFamilyLibrary, "FamilyPhotos/Photo", 3, 20s));
    // The delete pass follows the copies; the finish page comes once it is over.
    const auto deadline = Clock::now() + 10s;
    while (FilesUnder(Pictures()).size() > nonPictures.size() && Clock::now() < deadline) {
        std::this_thread::sleep_for(50ms);
    }
    std::this_thread::sleep_for(500ms);
    Keyboard(sheet, {"key", "Return"}); // Finish
    EXPECT_EQ(Finish(), 0);
    EXPECT_TRUE(Printed("Wizard closed: finished, 3 picture(s) copied"));
    ExpectCopiedOnce(kFamilyLibrary, "FamilyPhotos/Photo", "Photo", false);
    EXPECT_EQ(FilesUnder(Pictures()), nonPictures)
        << "the folder should hold only what is no picture";
    EXPECT_NE(SavedValues().find("\"bDeleteImagesFromCamera\"=dword:00000001"), std::string::npos)
        << SavedValues();
}

TEST_F(SnapferryEndToEndTest, AServerThatGoesAwayMidRunFailsItAndTakesItsCopiesBack) {
    MakePictures({"p1.jpg", "p2.png", "p3.jpg", "p4.jpg", "p5.png", "p6.jpg"}, 12 << 20);
    // Even asked to, no picture may go when the run did not complete.
    std::vector<std::string> settings = kQuickSettings;
    settings.push_back("\"bDeleteImagesFromCamera\"=dword:00000001");
    WriteUserSettings(settings);
    ASSERT_NO_FATAL_FAILURE(Start(true));
    Keyboard(sheet, {"key", "Return"});
    // One copy complete and the next under way.
    EXPECT_TRUE(WaitForCopies(kFamilyLibrary, "Holidays/Beach", 1, 20s));
    ASSERT_NO_FATAL_FAILURE(SignalServer(SIGUSR1));
    // Back while the run still retries the removal of its copies, which wait for it.
    std::this_thread::sleep_for(4s);
    EXPECT_GE(CopiesArrived(kFamilyLibrary, "Holidays/Beach"), 1u);
    ASSERT_NO_FATAL_FAILURE(SignalServer(SIGUSR2));
    const auto deadline = Clock::now() + 20s;
    while (!Printed("Copy run failed") && Clock::now() < deadline) {
        Drain(100ms);
    }
    std::this_thread::sleep_for(500ms);
    Keyboard(sheet, {"key", "Return"}); // Finish on the cancel page
    EXPECT_EQ(Finish(), 1);
    EXPECT_TRUE(Printed("Copy run failed: "));
    EXPECT_TRUE(Printed("the connection to the server was lost"));
    EXPECT_FALSE(Printed("could not be removed from the server"));
    EXPECT_TRUE(Printed("Wizard closed: finished, 0 picture(s) copied"));
    ExpectNothingCopied();
}

TEST_F(SnapferryEndToEndTest, AFullDiskFailsTheRunAndLeavesNothingOfIt) {
    // Room for one picture and a part of the next.
    MakePictures({"a.jpg", "b.jpg", "c.jpg"}, 1536 * 1024);
    std::vector<std::string> settings = kQuickSettings;
    settings.push_back("\"bDeleteImagesFromCamera\"=dword:00000001");
    WriteUserSettings(settings);
    serverOptions = {"--small-disk", "Holidays=2M"};
    ASSERT_NO_FATAL_FAILURE(Start());
    Keyboard(sheet, {"key", "Return"});
    const auto deadline = Clock::now() + 20s;
    while (!Printed("Copy run ") && Clock::now() < deadline) {
        Drain(100ms);
    }
    std::this_thread::sleep_for(500ms);
    Keyboard(sheet, {"key", "Return"}); // Finish on the cancel page
    EXPECT_EQ(Finish(), 1);
    EXPECT_TRUE(Printed("Copy run failed: "));
    // The first copy went whole; the second ran out of room.
    EXPECT_TRUE(Printed("Beach 2.jpg failed: the server's disk is full"));
    EXPECT_TRUE(Printed("Wizard closed: finished, 0 picture(s) copied"));
    ExpectNothingCopied();
}

TEST_F(SnapferryEndToEndTest, AServerThatStaysAwaySaysWhatItLeftBehind) {
    MakePictures({"p1.jpg", "p2.png", "p3.jpg", "p4.jpg", "p5.png", "p6.jpg"}, 12 << 20);
    WriteUserSettings(kQuickSettings);
    ASSERT_NO_FATAL_FAILURE(Start(true));
    Keyboard(sheet, {"key", "Return"});
    EXPECT_TRUE(WaitForCopies(kFamilyLibrary, "Holidays/Beach", 1, 20s));
    ASSERT_NO_FATAL_FAILURE(SignalServer(SIGUSR1));
    // The run gives up on the removal after about ten seconds.
    const auto deadline = Clock::now() + 25s;
    while (!Printed("Copy run failed: ") && Clock::now() < deadline) {
        Drain(100ms);
    }
    std::this_thread::sleep_for(500ms);
    Keyboard(sheet, {"key", "Return"});
    EXPECT_EQ(Finish(), 1);
    EXPECT_TRUE(Printed("Wizard closed: finished, 0 picture(s) copied"));
    ExpectPicturesKept();
    // What stayed on the share is the run's copies and the one cut short, no more and no less
    // than the program says it left there.
    const std::map<std::string, std::string> left = FilesUnder(KeptShares() / kFamilyLibrary);
    ASSERT_FALSE(left.empty());
    EXPECT_TRUE(Printed("; " + std::to_string(left.size()) +
                        " copied file(s) could not be removed from the server"));
    for (const auto& [path, bytes] : left) {
        EXPECT_TRUE(Printed("Cannot remove FamilyLibrary/" + path + ": ")) << path;
        EXPECT_TRUE(std::any_of(
            sources.begin(), sources.end(),
            [&](const auto& source) { return source.second.compare(0, bytes.size(), bytes) == 0; }))
            << path << " (" << bytes.size() << " bytes) holds no part of a picture";
    }
}
