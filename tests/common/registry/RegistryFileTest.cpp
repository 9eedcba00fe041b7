#include "common/registry/linux/RegistryFile.h"

#include "TempDirectory.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <optional>
#include <string>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

const std::string kKey = "Software\\Corvanta Corporation\\Velmora Desktop Applications\\1.2";
const std::string kHeader = "Windows Registry Editor Version 5.00\n\n";
const std::string kUserKeyLine = "[HKEY_CURRENT_USER\\" + kKey + "]\n";

// Runs body in a child process and gives its exit status (127 when it threw or died).
template <typename Body> int RunInChild(Body body) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        int status = 127;
        try {
            status = body();
        } catch (...) {
        }
        ::_exit(status);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 127;
}

class RegistryFileTest : public ::testing::Test {
protected:
    fs::path MachineHive() const { return temp_.Path() / "etc/velmora/registry.reg"; }
    fs::path UserHive() const { return temp_.Path() / "home/velmora/registry.reg"; }
    CRegistryFile MakeRegistry() const {
        return CRegistryFile(MachineHive().string(), UserHive().string());
    }
    void WriteUserHive(const std::string& body) { WriteWholeFile(UserHive(), kHeader + body); }

    CTempDirectory temp_;
    CRegistryFile registry_ = MakeRegistry();
};

TEST_F(RegistryFileTest, WriteCreatesTheWholePathAndAnotherInstanceSeesIt) {
    ASSERT_FALSE(fs::exists(UserHive().parent_path()));
    EXPECT_TRUE(registry_.SetString(User, kKey, "username", "bob"));
    EXPECT_TRUE(registry_.SetDword(User, kKey + "\\Camera\\Default", "bGroupSel", 42));
    EXPECT_TRUE(registry_.SetString(Machine, kKey, "subdomain", "home"));

    CRegistryFile other = MakeRegistry();
    EXPECT_EQ(other.GetString(User, kKey, "username", "x"), "bob");
    EXPECT_EQ(other.GetDword(User, kKey + "\\Camera\\Default", "bGroupSel", 7), 42u);
    EXPECT_EQ(other.GetString(Machine, kKey, "subdomain", ""), "home");
    EXPECT_EQ(other.GetString(User, kKey, "subdomain", "none"), "none"); // hives kept apart
    EXPECT_TRUE(other.KeyExists(User, "Software\\Corvanta Corporation"));
    EXPECT_EQ(other.GetSubKeyCount(User, kKey), 1u);

    const std::string userText = ReadWholeFile(UserHive());
    EXPECT_EQ(userText.rfind(kHeader, 0), 0u);
    EXPECT_NE(userText.find(kUserKeyLine + "\"username\"=\"bob\"\n"), std::string::npos);
    EXPECT_NE(userText.find("\"bGroupSel\"=dword:0000002a\n"), std::string::npos);
    EXPECT_NE(ReadWholeFile(MachineHive()).find("[HKEY_LOCAL_MACHINE\\" + kKey + "]\n"),
              std::string::npos);

    // Nothing but the hive and its lock is left beside it.
    std::vector<std::string> files;
    for (const auto& entry : fs::directory_iterator(UserHive().parent_path())) {
        files.push_back(entry.path().filename().string());
    }
    std::sort(files.begin(), files.end());
    EXPECT_EQ(files, (std::vector<std::string>{"registry.reg", "registry.reg.lock"}));
}

TEST_F(RegistryFileTest, TextIsStoredWithItsTerminatorAndReadUpTo255Bytes) {
    EXPECT_TRUE(registry_.SetString(User, kKey, "empty", ""));
    EXPECT_EQ(registry_.GetValueSize(User, kKey, "empty"), 1u);
    EXPECT_EQ(registry_.GetString(User, kKey, "empty", "default"), "");
    EXPECT_EQ(registry_.GetValueKind(User, kKey, "empty"), RegistryValueText);

    const std::string longest(255, 'a');
    EXPECT_TRUE(registry_.SetString(User, kKey, "longest", longest));
    EXPECT_EQ(registry_.GetValueSize(User, kKey, "longest"), 256u);
    EXPECT_EQ(registry_.GetString(User, kKey, "longest", "default"), longest);
    EXPECT_TRUE(registry_.SetString(User, kKey, "too long", longest + "b"));
    EXPECT_EQ(registry_.GetValueSize(User, kKey, "too long"), 257u);
    EXPECT_EQ(registry_.GetString(User, kKey, "too long", "default"), "default");

    // A zero byte ends the text, as it does for the narrow registry interface.
    EXPECT_TRUE(registry_.SetString(User, kKey, "cut", std::string("ab\0cd", 5)));
    EXPECT_EQ(registry_.GetValueSize(User, kKey, "cut"), 3u);

    EXPECT_TRUE(registry_.SetString(User, kKey, "utf8",
                                    "Gr\xC3\xBC\xC3\x9F"
                                    "e"));
    EXPECT_EQ(MakeRegistry().GetString(User, kKey, "utf8", ""), "Gr\xC3\xBC\xC3\x9F"
                                                                "e");
}

TEST_F(RegistryFileTest, ReadsFollowTheStoredKindAndSize) {
    WriteUserHive(kUserKeyLine + "\"binary\"=hex:41,42,00\n"
                                 "\"short\"=hex:01,02\n"
                                 "\"qword\"=hex(b):05,00,00,00,00,00,00,00\n"
                                 "\"number\"=dword:0000002a\n"
                                 "\"big endian\"=hex(5):00,00,01,00\n"
                                 "\"expand\"=hex(2):25,00,48,00,25,00,00,00\n"
                                 "\"multi\"=hex(7):61,00,00,00,62,00,00,00,00,00\n"
                                 "\"none\"=hex(0):01\n");
    EXPECT_EQ(registry_.GetString(User, kKey, "binary", "default"), "default");
    EXPECT_EQ(registry_.GetValueKind(User, kKey, "binary"), RegistryValueBinary);
    EXPECT_EQ(registry_.GetDword(User, kKey, "binary", 9), 0x4241u); // type not examined
    EXPECT_EQ(registry_.GetDword(User, kKey, "short", 9), 0x0201u);
    EXPECT_EQ(registry_.GetDword(User, kKey, "qword", 9), 9u); // more than 4 bytes
    EXPECT_EQ(registry_.GetValueKind(User, kKey, "qword"), RegistryValueNumber);
    EXPECT_EQ(registry_.GetString(User, kKey, "qword", ""), "5");
    EXPECT_EQ(registry_.GetString(User, kKey, "number", ""), "42");
    EXPECT_EQ(registry_.GetString(User, kKey, "big endian", ""), "256");
    EXPECT_EQ(registry_.GetString(User, kKey, "expand", ""), "%H%");
    EXPECT_EQ(registry_.GetString(User, kKey, "multi", ""), "a");
    EXPECT_EQ(registry_.GetValueKind(User, kKey, "multi"), RegistryValueText);
    EXPECT_EQ(registry_.GetValueKind(User, kKey, "none"), RegistryValueNone);
    EXPECT_EQ(registry_.GetString(User, kKey, "none", "default"), "default");

    // A value missing from an existing key reports text; a missing key reports nothing.
    EXPECT_EQ(registry_.GetValueKind(User, kKey, "absent"), RegistryValueText);
    EXPECT_EQ(registry_.GetString(User, kKey, "absent", "default"), "default");
    EXPECT_EQ(registry_.GetValueKind(User, kKey + "\\Missing", "x"), RegistryValueNone);
    EXPECT_EQ(registry_.GetString(User, kKey + "\\Missing", "x", "default"), "default");
    EXPECT_EQ(registry_.GetDword(User, kKey + "\\Missing", "x", 5), 5u);
    EXPECT_EQ(registry_.GetValueSize(User, kKey, "absent"), 0u);
}

TEST_F(RegistryFileTest, HandWrittenHiveIsReadAndKeptWhenWritten) {
    WriteWholeFile(UserHive(), "Windows Registry Editor Version 5.00\r\n\r\n"
                               "; written by hand\r\n"
                               "[hkey_current_user\\SOFTWARE\\corvanta corporation\\"
                               "Velmora Desktop Applications\\1.2]\r\n"
                               "\"UserName\" = \"alice\"\r\n"
                               "\"Other\"=\"kept\"\r\n");
    EXPECT_EQ(registry_.GetString(User, kKey, "username", ""), "alice");
    EXPECT_TRUE(registry_.SetString(User, kKey, "USERNAME", "carol"));
    EXPECT_EQ(registry_.GetString(User, kKey, "username", ""), "carol");
    EXPECT_EQ(registry_.GetString(User, kKey, "other", ""), "kept");
    std::string name;
    EXPECT_TRUE(registry_.EnumValueName(User, kKey, 0, name));
    EXPECT_EQ(name, "UserName");
    EXPECT_TRUE(registry_.EnumSubKeyName(User, "", 0, name));
    EXPECT_EQ(name, "SOFTWARE");
    EXPECT_NE(ReadWholeFile(UserHive()).find("; written by hand\n"), std::string::npos);
}

TEST_F(RegistryFileTest, DeleteKeyIsNotRecursiveAndAMissingKeyIsAlreadyDeleted) {
    EXPECT_TRUE(registry_.DeleteKey(User, kKey + "\\Missing"));
    EXPECT_FALSE(fs::exists(UserHive().parent_path())); // nothing written for it

    ASSERT_TRUE(registry_.SetString(User, kKey + "\\Camera\\Default", "bGroupName", "Photo"));
    EXPECT_FALSE(registry_.DeleteKey(User, kKey + "\\Camera"));
    EXPECT_TRUE(registry_.KeyExists(User, kKey + "\\Camera\\Default"));
    EXPECT_TRUE(registry_.DeleteKey(User, kKey + "\\camera\\default")); // values go with it
    EXPECT_FALSE(registry_.KeyExists(User, kKey + "\\Camera\\Default"));
    EXPECT_TRUE(registry_.DeleteKey(User, "\\" + kKey + "\\Camera"));
    EXPECT_FALSE(registry_.KeyExists(User, kKey + "\\Camera"));
    EXPECT_FALSE(registry_.DeleteKey(User, ""));
    EXPECT_FALSE(registry_.DeleteKey(User, "\\"));
}

TEST_F(RegistryFileTest, OnlyKeyOperationsSkipALeadingBackslash) {
    ASSERT_TRUE(registry_.SetString(User, kKey, "username", "bob"));
    for (const std::string& path : {kKey, kKey + "\\Absent"}) {
        EXPECT_EQ(registry_.KeyExists(User, "\\" + path), registry_.KeyExists(User, path));
    }
    EXPECT_FALSE(registry_.KeyExists(User, "\\\\" + kKey));
    EXPECT_TRUE(registry_.CreateKey(User, "\\Software\\New"));
    EXPECT_TRUE(registry_.KeyExists(User, "Software\\New"));
    EXPECT_TRUE(registry_.CreateKey(User, "Software\\New")); // already there

    EXPECT_EQ(registry_.GetString(User, "\\" + kKey, "username", "default"), "default");
    EXPECT_FALSE(registry_.ValueExists(User, "\\" + kKey, "username"));
    EXPECT_FALSE(registry_.SetString(User, "\\" + kKey, "username", "x"));
    EXPECT_FALSE(registry_.SetString(User, kKey + "\\", "username", "x"));
    EXPECT_EQ(registry_.GetString(User, kKey, "username", ""), "bob");
}

TEST_F(RegistryFileTest, EnumerationAndCounts) {
    std::string name = "untouched";
    EXPECT_FALSE(registry_.EnumValueName(User, kKey, 0, name));
    EXPECT_EQ(name, "untouched"); // the key could not be opened
    EXPECT_EQ(registry_.GetValueCount(User, kKey), 0u);

    ASSERT_TRUE(registry_.SetDword(User, kKey, "second", 2));
    ASSERT_TRUE(registry_.SetDword(User, kKey, "first", 1));
    ASSERT_TRUE(registry_.SetString(User, kKey, "", "default value"));
    ASSERT_TRUE(registry_.CreateKey(User, kKey + "\\b"));
    ASSERT_TRUE(registry_.CreateKey(User, kKey + "\\A"));
    EXPECT_EQ(registry_.GetValueCount(User, kKey), 3u);
    EXPECT_EQ(registry_.GetSubKeyCount(User, kKey), 2u);

    std::vector<std::string> names;
    for (uint32_t i = 0; registry_.EnumValueName(User, kKey, i, name); ++i) {
        names.push_back(name);
    }
    EXPECT_EQ(names, (std::vector<std::string>{"second", "first", ""}));
    EXPECT_EQ(name, ""); // past the last value
    names.clear();
    for (uint32_t i = 0; registry_.EnumSubKeyName(User, kKey, i, name); ++i) {
        names.push_back(name);
    }
    EXPECT_EQ(names, (std::vector<std::string>{"A", "b"}));
    EXPECT_EQ(name, "");

    ASSERT_TRUE(registry_.SetDword(User, kKey, std::string(255, 'n'), 1));
    EXPECT_FALSE(registry_.EnumValueName(User, kKey, 3, name)); // longer than the buffer
    EXPECT_EQ(name, "");
}

TEST_F(RegistryFileTest, DeleteValueAndValueExists) {
    ASSERT_TRUE(registry_.SetDword(User, kKey, "bSaveSettings", 1));
    EXPECT_TRUE(registry_.ValueExists(User, kKey, "bsavesettings"));
    EXPECT_FALSE(registry_.ValueExists(User, kKey, "bUsingSaved"));
    EXPECT_TRUE(registry_.DeleteValue(User, kKey, "BSAVESETTINGS"));
    EXPECT_FALSE(registry_.ValueExists(User, kKey, "bSaveSettings"));
    EXPECT_FALSE(registry_.DeleteValue(User, kKey, "bSaveSettings"));
    EXPECT_FALSE(registry_.DeleteValue(User, kKey + "\\Missing", "x"));
    EXPECT_TRUE(registry_.KeyExists(User, kKey));
}

TEST_F(RegistryFileTest, RootsOtherThanMachineAndUserFail) {
    for (int root : {-1, 2, 100}) {
        EXPECT_FALSE(registry_.SetString(root, kKey, "x", "y"));
        EXPECT_FALSE(registry_.SetDword(root, kKey, "x", 1));
        EXPECT_EQ(registry_.GetString(root, kKey, "x", "default"), "default");
        EXPECT_EQ(registry_.GetDword(root, kKey, "x", 3), 3u);
        EXPECT_FALSE(registry_.KeyExists(root, ""));
        EXPECT_FALSE(registry_.CreateKey(root, kKey));
        EXPECT_FALSE(registry_.DeleteKey(root, kKey)); // a failure, never "already deleted"
        EXPECT_EQ(registry_.GetValueKind(root, kKey, "x"), RegistryValueNone);
    }
    EXPECT_FALSE(fs::exists(temp_.Path() / "etc"));
    EXPECT_FALSE(fs::exists(temp_.Path() / "home"));
}

TEST_F(RegistryFileTest, DamagedHiveIsReadButNeverRewritten) {
    const std::vector<std::string> damaged = {
        kHeader + kUserKeyLine + "\"username\"=\"bob\"\n\"bGroupName\"=\"Hol", // cut off
        kUserKeyLine + "\"username\"=\"bob\"\n",                               // no header
        kHeader + kUserKeyLine + "\"username\"=\"bob\"\n\"x\"=hex:zz\n",
    };
    for (const auto& text : damaged) {
        WriteWholeFile(UserHive(), text);
        EXPECT_EQ(registry_.GetString(User, kKey, "username", ""), "bob");
        EXPECT_EQ(registry_.GetString(User, kKey, "bGroupName", "Photo"), "Photo");
        EXPECT_FALSE(registry_.SetString(User, kKey, "username", "carol"));
        EXPECT_FALSE(registry_.SetDword(User, kKey, "n", 1));
        EXPECT_FALSE(registry_.DeleteValue(User, kKey, "username"));
        EXPECT_FALSE(registry_.CreateKey(User, kKey + "\\New"));
        EXPECT_FALSE(registry_.DeleteKey(User, kKey));
        EXPECT_EQ(ReadWholeFile(UserHive()), text);
    }
}

TEST_F(RegistryFileTest, UnreadableHiveGivesDefaultsAndIsLeftAlone) {
    fs::create_directories(UserHive() / "inside");
    EXPECT_EQ(registry_.GetString(User, kKey, "username", "default"), "default");
    EXPECT_FALSE(registry_.KeyExists(User, ""));
    EXPECT_FALSE(registry_.SetString(User, kKey, "username", "bob"));
    EXPECT_FALSE(registry_.DeleteKey(User, kKey));
    EXPECT_TRUE(fs::is_directory(UserHive() / "inside"));
}

TEST_F(RegistryFileTest, OversizedHiveGivesDefaultsAndIsNeverRewritten) {
    const std::string text = kHeader + kUserKeyLine + "\"username\"=\"bob\"\n";
    WriteWholeFile(UserHive(), text);
    // Beyond 16 MiB, with the rest of the file a hole of zero bytes.
    const auto oversized = static_cast<std::uintmax_t>(16u << 20) + 1;
    fs::resize_file(UserHive(), oversized);
    EXPECT_EQ(registry_.GetString(User, kKey, "username", "default"), "default");
    EXPECT_FALSE(registry_.SetString(User, kKey, "username", "carol"));
    EXPECT_FALSE(registry_.DeleteKey(User, kKey));
    EXPECT_EQ(fs::file_size(UserHive()), oversized);

    // At the limit it is still a hive: read, and written back.
    std::string padded = text;
    padded.resize(16u << 20, '\n');
    WriteWholeFile(UserHive(), padded);
    EXPECT_EQ(registry_.GetString(User, kKey, "username", "default"), "bob");
    EXPECT_TRUE(registry_.SetString(User, kKey, "username", "carol"));
    EXPECT_EQ(registry_.GetString(User, kKey, "username", "default"), "carol");
}

TEST_F(RegistryFileTest, HiveThatIsAFifoNeitherBlocksNorIsReplaced) {
    fs::create_directories(UserHive().parent_path());
    ASSERT_EQ(::mkfifo(UserHive().c_str(), 0600), 0);
    // Run in a child, so that a read that blocks fails the test instead of hanging it.
    const int status = RunInChild([this] {
        alarm(10);
        const bool defaulted = registry_.GetString(User, kKey, "username", "default") == "default";
        const bool refused = !registry_.SetString(User, kKey, "username", "bob");
        return defaulted && refused ? 0 : 1;
    });
    EXPECT_EQ(status, 0);
    EXPECT_TRUE(fs::is_fifo(UserHive()));
}

TEST_F(RegistryFileTest, SymbolicLinkAndPermissionsOfTheHiveSurviveAWrite) {
    const fs::path target = temp_.Path() / "dotfiles/registry.reg";
    WriteWholeFile(target, kHeader + kUserKeyLine + "\"username\"=\"bob\"\n");
    fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write);
    fs::create_directories(UserHive().parent_path());
    fs::create_symlink("../../dotfiles/registry.reg", UserHive());

    EXPECT_TRUE(registry_.SetString(User, kKey, "subdomain", "home"));
    EXPECT_TRUE(fs::is_symlink(UserHive()));
    EXPECT_EQ(registry_.GetString(User, kKey, "username", ""), "bob");
    EXPECT_EQ(registry_.GetString(User, kKey, "subdomain", ""), "home");
    EXPECT_EQ(fs::status(target).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
}

TEST_F(RegistryFileTest, TwoProcessesWritingAtOnceLoseNothing) {
    constexpr int kValuesEach = 1000;
    const auto start = std::chrono::steady_clock::now();
    auto writer = [this](char prefix) {
        return [this, prefix] {
            CRegistryFile registry = MakeRegistry();
            for (int i = 0; i < kValuesEach; ++i) {
                const std::string name = prefix + std::to_string(i);
                if (!registry.SetString(User, kKey, name, "value of " + name)) {
                    return 1;
                }
            }
            return 0;
        };
    };
    pid_t children[2];
    for (int c = 0; c < 2; ++c) {
        children[c] = ::fork();
        if (children[c] == 0) {
            ::_exit(writer(static_cast<char>('p' + c))());
        }
    }
    for (pid_t child : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("2 x %d concurrent writes took %.2f s\n", kValuesEach, seconds);

    EXPECT_EQ(registry_.GetValueCount(User, kKey), 2u * kValuesEach);
    for (const char prefix : {'p', 'q'}) {
        for (int i = 0; i < kValuesEach; ++i) {
            const std::string name = prefix + std::to_string(i);
            ASSERT_EQ(registry_.GetString(User, kKey, name, ""), "value of " + name);
        }
    }
}

TEST_F(RegistryFileTest, ProcessKilledWhileWritingLeavesAWholeHive) {
    // Each run kills a writer at a different moment; what it managed to write must be there,
    // one value after another, and the hive must still take writes.
    for (int run = 0; run < 8; ++run) {
        const pid_t child = ::fork();
        if (child == 0) {
            CRegistryFile registry = MakeRegistry();
            for (int i = 0;; ++i) {
                registry.SetDword(User, kKey, "run" + std::to_string(run) + "-" + std::to_string(i),
                                  static_cast<uint32_t>(i));
            }
        }
        // Kill it once it is under way, at a moment that differs from run to run.
        const uint32_t countBefore = registry_.GetValueCount(User, kKey);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (registry_.GetValueCount(User, kKey) == countBefore &&
               std::chrono::steady_clock::now() < deadline) {
            ::usleep(1000);
        }
        ::usleep(static_cast<useconds_t>(3917 * run));
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);

        const auto hive = ParseRegistryHive(ReadWholeFile(UserHive()), kUserHiveRootName);
        ASSERT_TRUE(hive.whole) << "run " << run;
        const auto* key = FindRegistryKey(hive.root, *SplitRegistryKeyPath(kKey));
        ASSERT_NE(key, nullptr);
        std::size_t written = 0;
        while (key->FindValue("run" + std::to_string(run) + "-" + std::to_string(written))) {
            ++written;
        }
        EXPECT_GT(written, 0u) << "run " << run;
        EXPECT_EQ(key->Values().size(), registry_.GetValueCount(User, kKey));
        ASSERT_TRUE(registry_.SetDword(User, kKey, "after" + std::to_string(run), 1));
    }
}

TEST_F(RegistryFileTest, WriteThatRunsOutOfSpaceFailsAndChangesNothing) {
    ASSERT_TRUE(registry_.SetString(User, kKey, "username", "bob"));
    const std::string before = ReadWholeFile(UserHive());
    // The file size limit stands in for a full disk: writing the temporary file fails.
    const int status = RunInChild([&] {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{before.size() + 10, before.size() + 10};
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) {
            return 2;
        }
        return registry_.SetString(User, kKey, "long", std::string(200, 'x')) ? 1 : 0;
    });
    EXPECT_EQ(status, 0);
    EXPECT_EQ(ReadWholeFile(UserHive()), before);
    EXPECT_FALSE(fs::exists(UserHive().string() + ".tmp"));
    EXPECT_TRUE(registry_.SetString(User, kKey, "long", std::string(200, 'x')));
}

TEST(RegistryFileLocations, FollowTheXdgBaseDirectories) {
    struct SavedVariable {
        const char* name;
        std::optional<std::string> value;
    };
    std::vector<SavedVariable> saved;
    for (const char* name : {"XDG_CONFIG_DIRS", "XDG_CONFIG_HOME", "HOME"}) {
        const char* value = std::getenv(name);
        saved.push_back({name, value ? std::optional<std::string>(value) : std::nullopt});
    }

    ::unsetenv("XDG_CONFIG_DIRS");
    EXPECT_EQ(CRegistryFile::DefaultMachineHivePath(), "/etc/xdg/velmora/registry.reg");
    ::setenv("XDG_CONFIG_DIRS", "relative/dir::/opt/conf/:/etc/xdg", 1);
    EXPECT_EQ(CRegistryFile::DefaultMachineHivePath(), "/opt/conf/velmora/registry.reg");

    ::setenv("XDG_CONFIG_HOME", "/home/u/cfg", 1);
    EXPECT_EQ(CRegistryFile::DefaultUserHivePath(), "/home/u/cfg/velmora/registry.reg");
    ::setenv("XDG_CONFIG_HOME", "", 1);
    ::setenv("HOME", "/home/u", 1);
    EXPECT_EQ(CRegistryFile::DefaultUserHivePath(), "/home/u/.config/velmora/registry.reg");

    for (const auto& variable : saved) {
        if (variable.value) {
            ::setenv(variable.name, variable.value->c_str(), 1);
        } else {
            ::unsetenv(variable.name);
        }
    }
}

TEST(RegistryAccessor, OneInstanceFromCreateUntilDestroy) {
    EXPECT_EQ(GetRegistry(), nullptr);
    CRegistry* created = CreateRegistry();
    ASSERT_NE(created, nullptr);
    EXPECT_EQ(CreateRegistry(), created);
    EXPECT_EQ(GetRegistry(), created);
    EXPECT_NE(dynamic_cast<CRegistryFile*>(created), nullptr);
    DestroyRegistry();
    EXPECT_EQ(GetRegistry(), nullptr);
}

} // namespace
