// The snapferry program as users start it, under Xvfb, against the simulated server and its smbd
// in a network namespace of its own (snapferry-netns.sh), with a recording opener for smb://
// addresses. The wizard is driven by keyboard with xdotool, as a user would; what counts is what
// arrives on the share, what stays in the picture folder, the program's output and its status.
#include "TestProcess.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
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
const std::string kSheetPattern = "^Dunmere Pictures Wizard$";
const std::string kPromptPattern = "^Connect to ";
constexpr auto kRunLimit = 240s;
// How long keys that changed nothing wait before they are given again.
constexpr auto kKeyRetry = 10s;
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
        // The record of copies is the run's own, and starts empty.
        setenv("XDG_STATE_HOME", (folder.Path() / "state").c_str(), 1);
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
        if (!seedShares.empty()) {
            command.insert(command.end(), {"--seed-shares", seedShares.string()});
        }
        command.insert(command.end(), {"--keep-shares", KeptShares().string(), "--server-pid-file",
                                       ServerPidFile().string(), kSnapferry});
        command.insert(command.end(), serverOptions.begin(), serverOptions.end());
        command.push_back("--");
        command.insert(command.end(), arguments.begin(), arguments.end());
        run = std::make_unique<ChildProcess>(command);
        deadline = Clock::now() + kRunLimit;
        const std::string first = run->ReadLine(kRunLimit);
        const std::string prefix = "snapferry-netns: shares=";
        ASSERT_EQ(first.rfind(prefix, 0), 0u) << "the server did not start: " << first;
        liveShares = first.substr(prefix.size());
        ASSERT_TRUE(WaitForPrinted("snapferry-netns: program="));
        for (const std::string& line : output) {
            if (line.rfind("snapferry-netns: program=", 0) == 0) {
                program = line.substr(line.find('=') + 1);
            }
        }
        ASSERT_TRUE(WaitForPage("welcome"));
        sheet = WaitForWindow(kSheetPattern);
        ASSERT_FALSE(sheet.empty()) << "no wizard window";
    }

    // The visible windows of the program under test whose titles match `pattern`. Only its own:
    // the display is this test's, and a window of any other program is never looked at.
    std::vector<std::string> Windows(const std::string& pattern) const {
        std::vector<std::string> ids;
        ChildProcess search(
            {"xdotool", "search", "--all", "--onlyvisible", "--pid", program, "--name", pattern});
        for (std::string id = search.ReadLine(10s); !id.empty(); id = search.ReadLine(10s)) {
            ids.push_back(id);
        }
        return ids;
    }

    // The first window of the program whose title matches, other than `except`; empty when none
    // came within the run's limit.
    std::string WaitForWindow(const std::string& pattern, const std::string& except = {}) {
        while (Clock::now() < deadline && !Ended()) {
            for (const std::string& id : Windows(pattern)) {
                if (id != except) {
                    return id;
                }
            }
            Drain(100ms);
        }
        return {};
    }

    bool WaitUntilGone(const std::string& pattern) {
        while (Clock::now() < deadline) {
            if (Windows(pattern).empty()) {
                return true;
            }
            Drain(100ms);
        }
        return false;
    }

    // Keys or text for a window, as the user gives them: the window gets the focus first. A
    // window that cannot take them yet (mapped but not yet viewable) is tried again, and one
    // whose id went stale (BadWindow) is found again by its title, until the run's limit.
    ::testing::AssertionResult Keys(std::string& window, const std::string& pattern,
                                    const std::vector<std::string>& actions,
                                    const std::string& except = {}) {
        while (Clock::now() < deadline && !Ended()) {
            if (!window.empty()) {
                std::vector<std::string> command{"xdotool", "windowfocus", "--sync", window};
                command.insert(command.end(), actions.begin(), actions.end());
                if (Succeeds(command, 10s)) {
                    return ::testing::AssertionSuccess();
                }
            }
            Drain(250ms);
            const std::vector<std::string> found = Windows(pattern);
            if (std::find(found.begin(), found.end(), window) == found.end()) {
                const auto other =
                    std::find_if(found.begin(), found.end(),
                                 [&](const std::string& id) { return id != except; });
                window = other != found.end() ? *other : std::string();
            }
        }
        return ::testing::AssertionFailure()
               << "xdotool could not reach a window titled " << pattern << " of the program";
    }

    // Gives `window` (the sheet unless said otherwise) keys until `arrived` says what they lead
    // to has come, within the run's limit. Keys that a window not yet ready lost are given
    // again, but only while nothing tells that they arrived: the program printed nothing since,
    // and its windows are the ones it had.
    ::testing::AssertionResult Press(const std::vector<std::string>& keys,
                                     const std::function<bool()>& arrived,
                                     const std::string& what) {
        return PressIn(sheet, kSheetPattern, {}, keys, arrived, what);
    }
    ::testing::AssertionResult PressIn(std::string& window, const std::string& pattern,
                                       const std::string& except,
                                       const std::vector<std::string>& keys,
                                       const std::function<bool()>& arrived,
                                       const std::string& what) {
        for (int given = 0; Clock::now() < deadline; ++given) {
            if (given > 0) {
                std::printf("Keys for %s given again (%d)\n", what.c_str(), given);
            }
            const std::vector<std::string> before = Windows(".");
            if (::testing::AssertionResult sent = Keys(window, pattern, keys, except); !sent) {
                // The window may have gone because the keys given before arrived after all.
                return arrived() ? ::testing::AssertionSuccess() : sent;
            }
            const size_t printed = output.size();
            auto retry = Clock::now() + kKeyRetry;
            auto look = Clock::now();
            while (Clock::now() < std::min(retry, deadline)) {
                if (arrived()) {
                    return ::testing::AssertionSuccess();
                }
                Drain(100ms);
                if (output.size() != printed) {
                    retry = deadline; // taken: what it leads to may take its time
                } else if (Clock::now() >= look) {
                    if (Windows(".") != before) {
                        retry = deadline;
                    }
                    look = Clock::now() + 1s;
                }
            }
        }
        return ::testing::AssertionFailure() << what << " never came";
    }

    // What a key leads to: the program shows `page` (the next time it does, after the pages
    // already taken); a window whose title matches, other than `except`, shows (its id in
    // `found`); a window went; the program ended.
    std::function<bool()> PageShows(const std::string& page) {
        return [this, page] { return TakePage(page); };
    }
    std::function<bool()> WindowShows(const std::string& pattern, const std::string& except,
                                      std::string& found) {
        return [this, pattern, except, &found] {
            for (const std::string& id : Windows(pattern)) {
                if (id != except) {
                    found = id;
                    return true;
                }
            }
            return false;
        };
    }
    std::function<bool()> WindowGone(const std::string& pattern, const std::string& window) {
        return [this, pattern, window] {
            const std::vector<std::string> found = Windows(pattern);
            return std::find(found.begin(), found.end(), window) == found.end();
        };
    }

    bool TakePage(const std::string& page) {
        for (size_t line = pagesTaken; line < output.size(); ++line) {
            if (output[line] == "Page shown: " + page) {
                pagesTaken = line + 1;
                return true;
            }
        }
        return false;
    }

    // Waits until the program shows `page`, within the run's limit.
    ::testing::AssertionResult WaitForPage(const std::string& page) {
        while (!TakePage(page)) {
            if (Clock::now() > deadline || Ended()) {
                Drain(100ms);
                if (TakePage(page)) {
                    break;
                }
                return ::testing::AssertionFailure() << "the " << page << " page never showed";
            }
            Drain(100ms);
        }
        return ::testing::AssertionSuccess();
    }

    // Cancel on the copying page: its question, a second window with the sheet's title.
    std::string AskToCancel() {
        std::string question;
        EXPECT_TRUE(Press({"key", "Escape"}, WindowShows(kSheetPattern, sheet, question),
                          "the question to stop"));
        return question;
    }

    // The device page listens for its whole window of ten seconds behind a progress dialog.
    void WaitForServerSearch() {
        ASSERT_FALSE(WaitForWindow("^Locating ").empty()) << "no server search";
        ASSERT_TRUE(WaitUntilGone("^Locating ")) << "the server search did not end";
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
                                             bool complete = true) {
        while (CopiesArrived(share, destination, complete) < count) {
            if (Clock::now() > deadline) {
                return ::testing::AssertionFailure()
                       << CopiesArrived(share, destination, complete) << " of " << count
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

    // Waits until the program printed a line holding `text`, within the run's limit.
    ::testing::AssertionResult WaitForPrinted(const std::string& text) {
        while (!Printed(text)) {
            if (Clock::now() > deadline || Ended()) {
                Drain(100ms);
                if (Printed(text)) {
                    break;
                }
                return ::testing::AssertionFailure() << "never printed: " << text;
            }
            Drain(50ms);
        }
        return ::testing::AssertionSuccess();
    }

    bool Printed(const std::string& text) const {
        return std::any_of(output.begin(), output.end(), [&](const std::string& line) {
            return line.find(text) != std::string::npos;
        });
    }

    // Whether the run (the harness, with snapferry in it) has ended; its status is kept.
    bool Ended() {
        if (!exitStatus && run) {
            if (const int status = run->Wait(0ms); status != -1) {
                exitStatus = status;
            }
        }
        return exitStatus.has_value();
    }

    // Gives the sheet the keys that end the program (Finish, Esc); its exit status, -1 when it
    // did not end within the run's limit.
    int EndWith(const std::vector<std::string>& keys) {
        EXPECT_TRUE(Press(
            keys, [this] { return Ended(); }, "the program's end"));
        Drain(100ms);
        return exitStatus.value_or(-1);
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

    // Makes ready for another run of the program against a server whose shares hold what the
    // last run left on them.
    void NextRunOnTheSameShares() {
        run.reset();
        output.clear();
        pagesTaken = 0;
        exitStatus.reset();
        sheet.clear();
        seedShares = folder.Path() / "seed";
        fs::remove_all(seedShares);
        fs::rename(KeptShares(), seedShares);
    }

    TemporaryFolder folder;
    std::map<std::string, std::string> sources;
    // Files of the picture folder that are no pictures (see MakeOthers).
    std::map<std::string, std::string> nonPictures;
    std::unique_ptr<ChildProcess> run;
    std::optional<int> exitStatus;
    // The run's process id, which its windows carry.
    std::string program;
    // Everything the run may take: no page has a limit of its own, since a page that comes late
    // on a busy machine is no fault.
    Clock::time_point deadline = Clock::now() + kRunLimit;
    // Lines of the output before this one were taken by the pages waited for.
    size_t pagesTaken = 0;
    // Options of the simulated server for the next Start.
    std::vector<std::string> serverOptions;
    // What the shares hold when the next Start's server starts (none: they start empty).
    fs::path seedShares;
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
    ASSERT_TRUE(Press({"key", "Return"}, PageShows("device"), "the device page"));
    ASSERT_NO_FATAL_FAILURE(WaitForServerSearch());
    // The one server found, selected.
    ASSERT_TRUE(Press({"key", "Return"}, PageShows("folder"), "the folder page"));
    // FamilyPhotos/Photo; Next waits for the library's folders listed in the background.
    ASSERT_TRUE(Press({"key", "Return"}, PageShows("copying"), "the copying page"));
    ASSERT_TRUE(WaitForPage("finish"));
    EXPECT_TRUE(WaitForCopies(kFamilyLibrary, "FamilyPhotos/Photo", 3));
    EXPECT_EQ(EndWith({"key", "Return"}), 0);
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
    ASSERT_TRUE(Press({"key", "Return"}, PageShows("device"), "the device page"));
    ASSERT_NO_FATAL_FAILURE(WaitForServerSearch());
    std::string prompt;
    ASSERT_TRUE(Press({"key", "Return"}, WindowShows(kPromptPattern, {}, prompt),
                      "the credentials prompt"));
    ASSERT_TRUE(Keys(prompt, kPromptPattern, {"type", kUser}));
    ASSERT_TRUE(Keys(prompt, kPromptPattern, {"key", "Tab", "type", "wrong-password"}));
    // Refused: asked again in a new prompt, the name kept and the password to type anew.
    std::string again;
    ASSERT_TRUE(PressIn(prompt, kPromptPattern, {}, {"key", "Return"},
                        WindowShows(kPromptPattern, prompt, again), "a second prompt"))
        << "wrong credentials were accepted";
    ASSERT_TRUE(Keys(again, kPromptPattern, {"type", kPassword}, prompt));
    ASSERT_TRUE(PressIn(again, kPromptPattern, prompt, {"key", "Return"}, PageShows("folder"),
                        "the folder page"));
    ASSERT_TRUE(WaitUntilGone(kPromptPattern));
    // MyPhotos/Photo
    ASSERT_TRUE(Press({"key", "Return"}, PageShows("copying"), "the copying page"));
    ASSERT_TRUE(WaitForPage("finish"));
    EXPECT_TRUE(WaitForCopies(kMyLibrary, "MyPhotos/Photo", 2));
    EXPECT_EQ(EndWith({"key", "Return"}), 0);
    EXPECT_TRUE(Printed("Wizard closed: finished, 2 picture(s) copied"));
    ExpectCopiedOnce(kMyLibrary, "MyPhotos/Photo", "Photo");
}

TEST_F(SnapferryEndToEndTest, ChoosingTheUserLibraryOnTheFolderPageAsksForNameAndPassword) {
    MakePictures({"a.jpg", "b.png"}, 100 * 1024);
    ASSERT_NO_FATAL_FAILURE(Start());
    ASSERT_TRUE(Press({"key", "Return"}, PageShows("device"), "the device page"));
    ASSERT_NO_FATAL_FAILURE(WaitForServerSearch());
    // The family library, open to guests: no prompt.
    ASSERT_TRUE(Press({"key", "Return"}, PageShows("folder"), "the folder page"));
    // Focus to the library choice, then the second one: MyLibrary.
    std::string prompt;
    ASSERT_TRUE(Press({"key", "Tab", "Tab", "Down", "Down"},
                      WindowShows(kPromptPattern, {}, prompt), "the credentials prompt"))
        << "MyLibrary was chosen and nobody asked for a password";
    ASSERT_TRUE(Keys(prompt, kPromptPattern, {"type", kUser}));
    ASSERT_TRUE(Keys(prompt, kPromptPattern, {"key", "Tab", "type", kPassword}));
    ASSERT_TRUE(PressIn(prompt, kPromptPattern, {}, {"key", "Return"},
                        WindowGone(kPromptPattern, prompt), "the prompt's end"));
    ASSERT_TRUE(Press({"key", "Return"}, PageShows("copying"), "the copying page"));
    ASSERT_TRUE(WaitForPage("finish"));
    EXPECT_TRUE(WaitForCopies(kMyLibrary, "MyPhotos/Photo", 2));
    EXPECT_EQ(EndWith({"key", "Return"}), 0);
    EXPECT_TRUE(Printed("Wizard closed: finished, 2 picture(s) copied"));
    ExpectCopiedOnce(kMyLibrary, "MyPhotos/Photo", "Photo");
}

TEST_F(SnapferryEndToEndTest, SavedSettingsCopyAtOnceWithoutAnotherPage) {
    MakePictures(kThreePictures, 300 * 1024);
    WriteUserSettings(kQuickSettings);
    ASSERT_NO_FATAL_FAILURE(Start());
    // The only key until the finish page.
    ASSERT_TRUE(Keys(sheet, kSheetPattern, {"key", "Return"}));
    const auto pressed = Clock::now();
    EXPECT_TRUE(WaitForPrinted("Saved settings: server found, copying"));
    // The search ended as soon as the saved server answered, not after its whole window of ten
    // seconds.
    EXPECT_LT(Clock::now() - pressed, 10s);
    ASSERT_TRUE(WaitForPage("copying"));
    ASSERT_TRUE(WaitForPage("finish"));
    EXPECT_TRUE(WaitForCopies(kFamilyLibrary, "Holidays/Beach", 3));
    EXPECT_EQ(EndWith({"key", "Return"}), 0);
    EXPECT_TRUE(Printed("Wizard closed: finished, 3 picture(s) copied"));
    EXPECT_EQ(
        std::count_if(output.begin(), output.end(),
                      [](const std::string& line) { return line.rfind("Page shown: ", 0) == 0; }),
        3)
        << "welcome, copying and finish, and no other page";
    ExpectCopiedOnce(kFamilyLibrary, "Holidays/Beach", "Beach");
}

TEST_F(SnapferryEndToEndTest, TheFinishPageLinkOpensTheDestinationOnTheServer) {
    MakePictures({"one.jpg", "two.gif"}, 50 * 1024);
    WriteUserSettings(kQuickSettings);
    ASSERT_NO_FATAL_FAILURE(Start());
    ASSERT_TRUE(Press({"key", "Return"}, PageShows("copying"), "the copying page"));
    ASSERT_TRUE(WaitForPage("finish"));
    EXPECT_TRUE(WaitForCopies(kFamilyLibrary, "Holidays/Beach", 2));
    // Finish has the focus: the link is the control before it, and Finish the one after.
    const std::string address = "smb://127.0.0.1/FamilyLibrary/Holidays/Beach/";
    EXPECT_TRUE(Press(
        {"key", "shift+Tab", "Return"}, [this] { return Printed("Opening smb://"); },
        "the link's opening"));
    EXPECT_EQ(EndWith({"key", "Tab", "Return"}), 0);
    EXPECT_EQ(ReadLines(folder.Path() / "opened.log"), std::vector<std::string>{address});
    EXPECT_TRUE(Printed("Opening " + address + ": opened (0)"));
    ExpectCopiedOnce(kFamilyLibrary, "Holidays/Beach", "Beach");
}

TEST_F(SnapferryEndToEndTest, CancelAnsweredNoPausesTheCopyAndLetsItComplete) {
    MakePictures({"p1.jpg", "p2.jpg", "p3.jpg", "p4.jpg", "p5.jpg", "p6.jpg", "p7.jpg", "p8.jpg"},
                 12 << 20);
    WriteUserSettings(kQuickSettings);
    ASSERT_NO_FATAL_FAILURE(Start(true));
    ASSERT_TRUE(Press({"key", "Return"}, PageShows("copying"), "the copying page"));
    ASSERT_TRUE(WaitForCopies(kFamilyLibrary, "Holidays/Beach", 1, false));
    const std::string question = AskToCancel();
    ASSERT_FALSE(question.empty()) << "Cancel asked nothing";
    // While the question is open no new picture is started.
    std::this_thread::sleep_for(300ms);
    const size_t started = CopiesArrived(kFamilyLibrary, "Holidays/Beach", false);
    std::this_thread::sleep_for(1500ms);
    EXPECT_EQ(CopiesArrived(kFamilyLibrary, "Holidays/Beach", false), started);
    EXPECT_LT(started, 8u) << "the copy was over before Cancel: nothing was tested";
    std::string answered = question;
    ASSERT_TRUE(PressIn(
        answered, kSheetPattern, sheet, {"key", "alt+n"},
        [this] { return Printed("Stop copying? no"); }, "the answer No"));
    ASSERT_TRUE(WaitForPage("finish"));
    EXPECT_TRUE(WaitForCopies(kFamilyLibrary, "Holidays/Beach", 8));
    EXPECT_EQ(EndWith({"key", "Return"}), 0);
    EXPECT_TRUE(Printed("Wizard closed: finished, 8 picture(s) copied"));
    ExpectCopiedOnce(kFamilyLibrary, "Holidays/Beach", "Beach");
}

TEST_F(SnapferryEndToEndTest, CancelAnsweredYesRemovesTheCopiesAndBackThenNextCopiesOnce) {
    MakePictures({"p1.jpg", "p2.png", "p3.jpg", "p4.jpg", "p5.png", "p6.jpg"}, 12 << 20);
    ASSERT_NO_FATAL_FAILURE(Start(true));
    ASSERT_TRUE(Press({"key", "Return"}, PageShows("device"), "the device page"));
    ASSERT_NO_FATAL_FAILURE(WaitForServerSearch());
    ASSERT_TRUE(Press({"key", "Return"}, PageShows("folder"), "the folder page"));
    ASSERT_TRUE(Press({"key", "Return"}, PageShows("copying"), "the copying page"));
    ASSERT_TRUE(WaitForCopies(kFamilyLibrary, "FamilyPhotos/Photo", 1));
    std::string question = AskToCancel();
    ASSERT_FALSE(question.empty()) << "Cancel asked nothing";
    ASSERT_TRUE(PressIn(question, kSheetPattern, sheet, {"key", "alt+y"}, PageShows("cancel"),
                        "the cancel page"));
    // The copies of the cancelled run go away.
    while (CopiesArrived(kFamilyLibrary, "FamilyPhotos/Photo", false) != 0 &&
           Clock::now() < deadline) {
        Drain(50ms);
    }
    EXPECT_EQ(CopiesArrived(kFamilyLibrary, "FamilyPhotos/Photo", false), 0u)
        << "the cancelled run left copies behind";
    ASSERT_TRUE(Press({"key", "alt+b"}, PageShows("folder"), "the folder page again")); // Back
    // Next: the same choices again.
    ASSERT_TRUE(Press({"key", "Return"}, PageShows("copying"), "the second copying page"));
    ASSERT_TRUE(WaitForPage("finish"));
    EXPECT_TRUE(WaitForCopies(kFamilyLibrary, "FamilyPhotos/Photo", 6));
    EXPECT_EQ(EndWith({"key", "Return"}), 0);
    EXPECT_TRUE(Printed("Wizard closed: finished, 6 picture(s) copied"));
    ExpectCopiedOnce(kFamilyLibrary, "FamilyPhotos/Photo", "Photo");
}

TEST_F(SnapferryEndToEndTest, EscapeAfterTheServerSearchCancels) {
    MakePictures({"a.jpg"}, 10 * 1024);
    ASSERT_NO_FATAL_FAILURE(Start());
    ASSERT_TRUE(Press({"key", "Return"}, PageShows("device"), "the device page"));
    ASSERT_NO_FATAL_FAILURE(WaitForServerSearch());
    // The device page with its server found; the user changes their mind.
    EXPECT_EQ(EndWith({"key", "Escape"}), 3) << "Esc did not cancel the wizard";
    EXPECT_TRUE(Printed("Wizard closed: cancelled, 0 picture(s) copied"));
    ExpectPicturesKept();
}

TEST_F(SnapferryEndToEndTest, ACameraIsCopiedWithTheSavedSettingsAndEmptiedOfItsPictures) {
    MakePictures({"img_0001.jpg", "img_0002.png", "img_0004.jpg"}, 300 * 1024);
    std::vector<std::string> settings = kQuickSettings;
    settings.push_back("\"bDeleteImagesFromCamera\"=dword:00000001");
    settings.push_back("\"bCopyVideos\"=dword:00000000");
    WriteUserSettings(settings);
    ASSERT_NO_FATAL_FAILURE(StartCamera({"mvi_0003.mov", "notes.txt"}));
    ASSERT_TRUE(Press({"key", "Return"}, PageShows("copying"), "the copying page"));
    ASSERT_TRUE(WaitForPage("finish"));
    EXPECT_TRUE(WaitForCopies(kFamilyLibrary, "Holidays/Beach", 3));
    EXPECT_EQ(EndWith({"key", "Return"}), 0); // Finish
    EXPECT_TRUE(Printed("Saved settings: server found, copying"));
    EXPECT_TRUE(Printed("Wizard closed: finished, 3 picture(s) copied"));
    ExpectCopiedOnce(kFamilyLibrary, "Holidays/Beach", "Beach");
    // Only the pictures whose copies were read back went; the video not wanted and the notes
    // stay.
    EXPECT_TRUE(Printed("left on the card: mvi_0003.mov"));
    EXPECT_TRUE(Printed("left on the card: notes.txt"));
    EXPECT_FALSE(Printed("left on the card: img_"));
}

// A card of today's camera and phone: raw files with their JPEGs, a phone picture, a video and a
// sidecar, copied with the saved settings and deleted after the copy, as a folder and as a camera.
class WholeCardTest : public SnapferryEndToEndTest {
protected:
    void CopyWholeCard(bool asCamera) {
        MakePictures({"IMG_0001.CR2", "IMG_0001.JPG", "IMG_0001.xmp", "IMG_0002.HEIC",
                      "MVI_0003.MP4", "IMG_0004.JPG", "IMG_0004.NEF"},
                     96 * 1024);
        std::vector<std::string> settings = kQuickSettings;
        settings.push_back("\"bDeleteImagesFromCamera\"=dword:00000001");
        WriteUserSettings(settings);
        if (asCamera) {
            ASSERT_NO_FATAL_FAILURE(StartCamera({"IMG_0009.xmp", "NOTES.TXT"}));
        } else {
            MakeOthers({"IMG_0009.xmp", "NOTES.TXT"});
            ASSERT_NO_FATAL_FAILURE(Start());
        }
        ASSERT_TRUE(Press({"key", "Return"}, PageShows("copying"), "the copying page"));
        ASSERT_TRUE(WaitForPage("deleting"));
        ASSERT_TRUE(WaitForPage("finish"));
        EXPECT_TRUE(WaitForCopies(kFamilyLibrary, "Holidays/Beach", 7));
        EXPECT_EQ(EndWith({"key", "Return"}), 0);
        EXPECT_TRUE(Printed("Wizard closed: finished, 3 picture(s) copied, 1 video(s)"));

        // Each picture's files under one number, in the order of the card's names; a camera's
        // copies are named in lower case.
        const std::vector<std::pair<std::string, std::string>> expected{
            {"Beach 1.CR2", "IMG_0001.CR2"}, {"Beach 1.JPG", "IMG_0001.JPG"},
            {"Beach 1.xmp", "IMG_0001.xmp"}, {"Beach 2.HEIC", "IMG_0002.HEIC"},
            {"Beach 3.JPG", "IMG_0004.JPG"}, {"Beach 3.NEF", "IMG_0004.NEF"},
            {"Beach 4.MP4", "MVI_0003.MP4"}};
        std::map<std::string, std::string> wanted;
        for (const auto& [copy, source] : expected) {
            std::string name = copy;
            if (asCamera) {
                std::transform(name.begin(), name.end(), name.begin(),
                               [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
                name[0] = 'B';
            }
            wanted["Holidays/Beach/" + name] = sources[source];
        }
        EXPECT_EQ(FilesUnder(KeptShares() / kFamilyLibrary), wanted);
    }
};

TEST_F(WholeCardTest, AsAFolderItArrivesWholeAndOnlyWhatWasCopiedLeavesTheCard) {
    ASSERT_NO_FATAL_FAILURE(CopyWholeCard(false));
    EXPECT_EQ(FilesUnder(Pictures()), nonPictures) << "the lone sidecar and the notes stay";
}

TEST_F(WholeCardTest, AsACameraItArrivesWholeAndOnlyWhatWasCopiedLeavesTheCard) {
    ASSERT_NO_FATAL_FAILURE(CopyWholeCard(true));
    EXPECT_TRUE(Printed("left on the card: IMG_0009.xmp"));
    EXPECT_TRUE(Printed("left on the card: NOTES.TXT"));
    EXPECT_FALSE(Printed("left on the card: IMG_0001"));
    EXPECT_FALSE(Printed("left on the card: MVI_0003.MP4"));
}

TEST_F(SnapferryEndToEndTest, DeleteAfterCopyingEmptiesTheFolderOfItsPicturesOnly) {
    MakePictures(kThreePictures, 300 * 1024);
    MakeOthers({"notes.txt"});
    ASSERT_NO_FATAL_FAILURE(Start());
    ASSERT_TRUE(Press({"key", "Return"}, PageShows("device"), "the device page"));
    ASSERT_NO_FATAL_FAILURE(WaitForServerSearch());
    ASSERT_TRUE(Press({"key", "Return"}, PageShows("folder"), "the folder page"));
    // Next has the focus; before it come Back, "Always copy..." and "Delete pictures...". A
    // checkbox toggles: these keys are given once.
    ASSERT_TRUE(
        Keys(sheet, kSheetPattern, {"key", "shift+Tab", "shift+Tab", "shift+Tab", "space"}));
    ASSERT_TRUE(Press({"key", "alt+n"}, PageShows("copying"), "the copying page"));
    // The delete pass follows the copies; the finish page comes once it is over.
    ASSERT_TRUE(WaitForPage("deleting"));
    ASSERT_TRUE(WaitForPage("finish"));
    EXPECT_TRUE(WaitForCopies(kFamilyLibrary, "FamilyPhotos/Photo", 3));
    EXPECT_EQ(EndWith({"key", "Return"}), 0); // Finish
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
    ASSERT_TRUE(Press({"key", "Return"}, PageShows("copying"), "the copying page"));
    // One copy complete and the next under way.
    ASSERT_TRUE(WaitForCopies(kFamilyLibrary, "Holidays/Beach", 1));
    ASSERT_NO_FATAL_FAILURE(SignalServer(SIGUSR1));
    // Back while the run still retries the removal of its copies, which wait for it.
    std::this_thread::sleep_for(4s);
    EXPECT_GE(CopiesArrived(kFamilyLibrary, "Holidays/Beach"), 1u);
    ASSERT_NO_FATAL_FAILURE(SignalServer(SIGUSR2));
    ASSERT_TRUE(WaitForPage("cancel"));
    EXPECT_EQ(EndWith({"key", "Return"}), 1); // Finish on the cancel page
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
    ASSERT_TRUE(Press({"key", "Return"}, PageShows("copying"), "the copying page"));
    ASSERT_TRUE(WaitForPage("cancel"));
    EXPECT_EQ(EndWith({"key", "Return"}), 1); // Finish on the cancel page
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
    ASSERT_TRUE(Press({"key", "Return"}, PageShows("copying"), "the copying page"));
    ASSERT_TRUE(WaitForCopies(kFamilyLibrary, "Holidays/Beach", 1));
    ASSERT_NO_FATAL_FAILURE(SignalServer(SIGUSR1));
    // The run gives up on the removal after about ten seconds.
    ASSERT_TRUE(WaitForPage("cancel"));
    EXPECT_EQ(EndWith({"key", "Return"}), 1);
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

TEST_F(SnapferryEndToEndTest, ACardCopiedAgainPutsOnlyItsNewPicturesOnTheServer) {
    const std::string destination = "Holidays/Beach";
    const fs::path copies = KeptShares() / kFamilyLibrary / destination;
    MakePictures(kThreePictures, 100 * 1024);
    WriteUserSettings(kQuickSettings);
    // Every run: the welcome page, Next, and Finish on the finish page.
    auto runToTheEnd = [this](const std::string& already, bool copying) {
        ASSERT_NO_FATAL_FAILURE(Start());
        EXPECT_TRUE(Printed(already)) << "before the welcome page: " << already;
        ASSERT_TRUE(Press({"key", "Return"}, PageShows(copying ? "copying" : "finish"),
                          copying ? "the copying page" : "the finish page"));
        if (copying) {
            ASSERT_TRUE(WaitForPage("finish"));
        }
        EXPECT_EQ(EndWith({"key", "Return"}), 0);
    };

    ASSERT_NO_FATAL_FAILURE(runToTheEnd("", true));
    EXPECT_TRUE(Printed("Wizard closed: finished, 3 picture(s) copied"));
    EXPECT_FALSE(Printed("already on the server"));
    ExpectCopiedOnce(kFamilyLibrary, destination, "Beach");

    // The same card again: nothing is copied, the finish page comes straight after Next, and its
    // link opens the folder that holds the pictures.
    NextRunOnTheSameShares();
    ASSERT_NO_FATAL_FAILURE(Start());
    EXPECT_TRUE(Printed("Already on the server: 3 of 3 picture(s)"));
    ASSERT_TRUE(Press({"key", "Return"}, PageShows("finish"), "the finish page"));
    const std::string address = "smb://127.0.0.1/FamilyLibrary/Holidays/Beach/";
    EXPECT_TRUE(Press(
        {"key", "shift+Tab", "Return"}, [this] { return Printed("Opening smb://"); },
        "the link's opening"));
    EXPECT_EQ(EndWith({"key", "Tab", "Return"}), 0);
    EXPECT_TRUE(Printed("Opening " + address + ": opened (0)"));
    EXPECT_TRUE(Printed("Wizard closed: finished, 0 picture(s) copied, 3 already on the server"));
    ExpectCopiedOnce(kFamilyLibrary, destination, "Beach");

    // Two new pictures on it: only those two go, numbered after the others.
    MakePictures({"pier.jpg", "gull.png"}, 100 * 1024 + 1);
    NextRunOnTheSameShares();
    ASSERT_NO_FATAL_FAILURE(runToTheEnd("Already on the server: 3 of 5 picture(s)", true));
    EXPECT_TRUE(Printed("Wizard closed: finished, 2 picture(s) copied, 3 already on the server"));
    ExpectCopiedOnce(kFamilyLibrary, destination, "Beach");

    // A copy removed on the server: its picture goes anew, under the next free number.
    const fs::path removed = copies / "Beach 2.png";
    ASSERT_TRUE(fs::exists(removed)) << "dog.png, the second picture, was Beach 2.png";
    NextRunOnTheSameShares();
    fs::remove(seedShares / kFamilyLibrary / destination / "Beach 2.png");
    ASSERT_NO_FATAL_FAILURE(runToTheEnd("Already on the server: 4 of 5 picture(s)", true));
    EXPECT_TRUE(Printed("Wizard closed: finished, 1 picture(s) copied, 4 already on the server"));
    const std::map<std::string, std::string> onServer = FilesUnder(copies);
    EXPECT_EQ(onServer.size(), 5u);
    EXPECT_EQ(onServer.count("Beach 2.png"), 0u);
    EXPECT_EQ(onServer.count("Beach 6.png"), 1u);
    for (const auto& [name, bytes] : sources) {
        EXPECT_EQ(std::count_if(onServer.begin(), onServer.end(),
                                [&](const auto& copy) { return copy.second == bytes; }),
                  1)
            << name << " should be on the server once";
    }
    ExpectPicturesKept();
}

// Away from home: nothing on the local network answers, the launcher remembers the server and the
// user, and the relay names the user's web folder, which a real mod_dav serves over TLS.
TEST_F(SnapferryEndToEndTest, AwayFromHomeThePicturesGoThroughTheRelayToTheWebFolder) {
    // A program directory of the run's own, whose settings.ini names the relay in the namespace.
    const fs::path programDir = folder.Path() / "program";
    fs::create_directories(programDir);
    for (const auto& entry : fs::directory_iterator(VELMORA_PROGRAM_DIR)) {
        fs::create_symlink(entry.path(), programDir / entry.path().filename());
    }
    WriteTextFile(programDir / "settings.ini", "[Domain]\nDomain=localhost:8080\n");
    setenv("VELMORA_PROGRAM_DIR", programDir.c_str(), 1);
    const std::string productKey =
        "Software\\Corvanta Corporation\\Velmora Desktop Applications\\1.2";
    WriteTextFile(folder.Path() / "machine" / "velmora" / "registry.reg",
                  "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\" + productKey +
                      "]\r\n\"subdomain\"=\"home\"\r\n");
    WriteTextFile(UserHive(), "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\" +
                                  productKey + "]\r\n\"username\"=\"" + kUser + "\"\r\n");
    ASSERT_TRUE(
        Succeeds({"bash", std::string(VELMORA_SOURCE_DIR) + "/tests/support/recording-opener.sh",
                  (folder.Path() / "opened.log").string(), "davs"},
                 20s));
    serverOptions = {"--no-announce", "--relay-port", "8080", "--httpd"};
    MakePictures(kThreePictures, 300 * 1024);
    ASSERT_NO_FATAL_FAILURE(Start());
    std::string webFolders;
    for (const std::string& line : output) {
        if (line.rfind("snapferry-netns: webfolders=", 0) == 0) {
            webFolders = line.substr(line.find('=') + 1);
        }
    }
    ASSERT_FALSE(webFolders.empty()) << "the server serves no web folders";

    ASSERT_TRUE(Press({"key", "Return"}, PageShows("device"), "the device page"));
    ASSERT_NO_FATAL_FAILURE(WaitForServerSearch());
    // Nobody answered on the network: "No local devices were found" is selected, and the way
    // through the relay is the user's to pick.
    const std::string passwordPattern = "^Password for your web folder$";
    std::string prompt;
    ASSERT_TRUE(Press({"key", "Down", "Return"}, WindowShows(passwordPattern, {}, prompt),
                      "the web folder's password dialog"));
    ASSERT_TRUE(Keys(prompt, passwordPattern, {"type", kPassword}));
    ASSERT_TRUE(PressIn(prompt, passwordPattern, {}, {"key", "Return"}, PageShows("folder"),
                        "the folder page"));
    // Pictures/Photo in the web folder.
    ASSERT_TRUE(Press({"key", "Return"}, PageShows("copying"), "the copying page"));
    ASSERT_TRUE(WaitForPage("finish"));
    const fs::path arrived = fs::path(webFolders) / kUser / "Pictures" / "Photo";
    std::map<std::string, std::string> copies = FilesUnder(arrived);
    EXPECT_EQ(copies.size(), 3u);
    std::set<std::string> expectedBytes;
    for (const auto& [name, bytes] : sources) {
        expectedBytes.insert(bytes);
    }
    for (const auto& [name, bytes] : copies) {
        EXPECT_EQ(name.rfind("Photo ", 0), 0u) << name;
        EXPECT_EQ(expectedBytes.count(bytes), 1u) << name;
    }
    EXPECT_TRUE(Press(
        {"key", "shift+Tab", "Return"}, [this] { return Printed("Opening the web folder"); },
        "the link's opening"));
    EXPECT_EQ(EndWith({"key", "Tab", "Return"}), 0);
    EXPECT_TRUE(Printed("Wizard closed: finished, 3 picture(s) copied"));
    const std::vector<std::string> opened = ReadLines(folder.Path() / "opened.log");
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0].rfind("davs://home.localhost:", 0), 0u) << opened[0];
    EXPECT_NE(opened[0].find("/webdav/velmoratest/Pictures/Photo/"), std::string::npos)
        << opened[0];
}
