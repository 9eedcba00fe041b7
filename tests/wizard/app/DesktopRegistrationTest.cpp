// Registration in a private home and private system folders, checked with the desktop's own
// tools: desktop-file-validate and xdg-mime.
#include "wizard/app/DesktopRegistration.h"
#include "wizard/app/DesktopEntry.h"
#include "wizard/app/linux/DesktopRegistrationXdg.h"

#include "common/resources/ResourceManager.h"
#include "resources/BuiltinBundles.h"

#include <gtest/gtest.h>

#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>

namespace fs = std::filesystem;

namespace {

constexpr const char* kProgram = "/usr/lib/velmora/snapferry";

std::string ReadText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteText(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

std::string RunCommand(const std::string& command) {
    std::string output;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        char buffer[512];
        for (size_t got; (got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) {
            output.append(buffer, got);
        }
        ::pclose(pipe);
    }
    return output;
}

const char* const kVariables[] = {"HOME", "XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_DATA_DIRS",
                                  "XDG_CONFIG_DIRS"};

// A private home and private system folders, with the environment pointed at them for the
// length of a test.
class DesktopRegistration : public testing::Test {
protected:
    void SetUp() override {
        std::string pattern = "/tmp/velmora-register-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        root_ = pattern;
        // Other users must reach their home below it.
        ASSERT_EQ(::chmod(root_.c_str(), 0755), 0);
        for (const char* name : kVariables) {
            if (const char* value = std::getenv(name)) {
                saved_[name] = value;
            }
            ::unsetenv(name);
        }
        fs::create_directories(Home());
        ::setenv("HOME", Home().c_str(), 1);
        ::setenv("XDG_DATA_DIRS", (SystemData().string() + ":/usr/share").c_str(), 1);
        ::setenv("XDG_CONFIG_DIRS", SystemConfig().c_str(), 1);
    }
    void TearDown() override {
        for (const char* name : kVariables) {
            const auto saved = saved_.find(name);
            if (saved != saved_.end()) {
                ::setenv(name, saved->second.c_str(), 1);
            } else {
                ::unsetenv(name);
            }
        }
        std::error_code ignored;
        fs::remove_all(root_, ignored);
    }

    fs::path Home() const { return root_ / "home"; }
    fs::path SystemData() const { return root_ / "usr-share"; }
    fs::path SystemConfig() const { return root_ / "etc-xdg"; }
    fs::path UserEntry() const { return Home() / ".local/share/applications" / kWizardDesktopId; }
    fs::path UserList() const { return Home() / ".config/mimeapps.list"; }

    static WizardEntryTexts Texts() { return {"Dunmere Pictures Wizard", "Upload the pictures"}; }

    // What xdg-mime names as the default for cameras and cards, in this test's environment
    // only (no desktop session, so that its generic rules apply).
    std::string XdgMimeDefault(const fs::path& home) const {
        return RunCommand("env -i PATH=/usr/bin:/bin HOME='" + home.string() + "' XDG_DATA_DIRS='" +
                          SystemData().string() + "' XDG_CONFIG_DIRS='" + SystemConfig().string() +
                          "' xdg-mime query default x-content/image-dcf 2>/dev/null");
    }

    static std::string Validate(const fs::path& entry) {
        return RunCommand("desktop-file-validate '" + entry.string() + "' 2>&1; echo status=$?");
    }

    fs::path root_;
    std::map<std::string, std::string> saved_;
};

TEST_F(DesktopRegistration, RegisterMakesTheEntryTheDefaultAndUnregisterTakesItAway) {
    CDesktopRegistrationXdg registration(UserRegistrationPaths());
    const RegistrationResult result = registration.Register(kProgram, Texts());
    ASSERT_TRUE(result.ok) << result.diagnostic;
    ASSERT_TRUE(fs::exists(UserEntry()));
    EXPECT_EQ(ReadText(UserEntry()),
              WizardDesktopEntryText("Dunmere Pictures Wizard", "Upload the pictures",
                                     kWizardIconName, kProgram));
    EXPECT_EQ(Validate(UserEntry()), "status=0\n");
    EXPECT_EQ(fs::status(UserEntry()).permissions(), fs::perms(0644));
    EXPECT_EQ(ReadText(UserList()), "[Default Applications]\n"
                                    "x-content/image-dcf=net.velmora.snapferry.desktop;\n"
                                    "\n"
                                    "[Added Associations]\n"
                                    "x-content/image-dcf=net.velmora.snapferry.desktop;\n");
    EXPECT_EQ(XdgMimeDefault(Home()), "net.velmora.snapferry.desktop\n");
    // Nothing else was touched.
    EXPECT_FALSE(fs::exists(SystemData()));
    EXPECT_FALSE(fs::exists(SystemConfig()));

    const RegistrationResult undone = registration.Unregister();
    ASSERT_TRUE(undone.ok) << undone.diagnostic;
    EXPECT_FALSE(fs::exists(UserEntry()));
    // The sections it made are gone with its lines.
    EXPECT_EQ(ReadText(UserList()), "");
    EXPECT_EQ(XdgMimeDefault(Home()), "");
    // A second removal has nothing to do and says so by succeeding.
    EXPECT_TRUE(registration.Unregister().ok);
}

TEST_F(DesktopRegistration, ExistingListKeepsItsLinesAndGetsItsDefaultBack) {
    ::setenv("XDG_CONFIG_HOME", (root_ / "config").c_str(), 1);
    ::setenv("XDG_DATA_HOME", (root_ / "data").c_str(), 1);
    const fs::path listPath = root_ / "config/mimeapps.list";
    const std::string original =
        "# chosen by hand\n"
        "[Added Associations]\n"
        "image/jpeg=viewer.desktop;\n"
        "\n"
        "[Default Applications]\n"
        "text/plain=editor.desktop;\n"
        "x-content/image-dcf=photos.desktop;\n"
        "x-scheme-handler/http=browser.desktop;\n"
        "\n"
        "[Removed Associations]\n"
        "x-content/image-dcf=net.velmora.snapferry.desktop;other.desktop;\n";
    WriteText(listPath, original);
    CDesktopRegistrationXdg registration(UserRegistrationPaths());
    ASSERT_TRUE(registration.Register(kProgram, Texts()).ok);
    // Twice, as a reinstall would: the default it replaced is still the first one.
    ASSERT_TRUE(registration.Register(kProgram, Texts()).ok);
    EXPECT_EQ(ReadText(listPath),
              "# chosen by hand\n"
              "[Added Associations]\n"
              "image/jpeg=viewer.desktop;\n"
              "x-content/image-dcf=net.velmora.snapferry.desktop;\n"
              "\n"
              "[Default Applications]\n"
              "text/plain=editor.desktop;\n"
              "x-content/image-dcf=net.velmora.snapferry.desktop;photos.desktop;\n"
              "x-scheme-handler/http=browser.desktop;\n"
              "\n"
              "[Removed Associations]\n"
              "x-content/image-dcf=other.desktop;\n");
    const fs::path entry = root_ / "data/applications" / kWizardDesktopId;
    EXPECT_EQ(DesktopEntryValue(ReadText(entry), kPreviousDefaultKey), "photos.desktop;");
    EXPECT_EQ(Validate(entry), "status=0\n");

    // A file manager that makes the wizard the only default must not make it forget.
    std::string onlyOurs = ReadText(listPath);
    const std::string both = "net.velmora.snapferry.desktop;photos.desktop;";
    onlyOurs.replace(onlyOurs.find(both), both.size(), "net.velmora.snapferry.desktop;");
    WriteText(listPath, onlyOurs);
    ASSERT_TRUE(registration.Register(kProgram, Texts()).ok);
    EXPECT_EQ(DesktopEntryValue(ReadText(entry), kPreviousDefaultKey), "photos.desktop;");

    ASSERT_TRUE(registration.Unregister().ok);
    std::string expected = original;
    const std::string removed = "net.velmora.snapferry.desktop;other.desktop;";
    expected.replace(expected.find(removed), removed.size(), "other.desktop;");
    EXPECT_EQ(ReadText(listPath), expected);
    EXPECT_FALSE(fs::exists(entry));
}

TEST_F(DesktopRegistration, DefaultChosenSinceIsKept) {
    CDesktopRegistrationXdg registration(UserRegistrationPaths());
    WriteText(UserList(), "[Default Applications]\nx-content/image-dcf=old.desktop;\n");
    ASSERT_TRUE(registration.Register(kProgram, Texts()).ok);
    WriteText(UserList(), "[Default Applications]\nx-content/image-dcf=new.desktop;\n");
    ASSERT_TRUE(registration.Unregister().ok);
    EXPECT_EQ(ReadText(UserList()), "[Default Applications]\nx-content/image-dcf=new.desktop;\n");
    EXPECT_FALSE(fs::exists(UserEntry()));
}

TEST_F(DesktopRegistration, LinkedListIsWrittenThroughTheLink) {
    const fs::path dotfiles = root_ / "dotfiles/mimeapps.list";
    WriteText(dotfiles, "[Default Applications]\ntext/plain=editor.desktop;\n");
    fs::create_directories(UserList().parent_path());
    fs::create_symlink("../../dotfiles/mimeapps.list", UserList());
    ASSERT_TRUE(CDesktopRegistrationXdg(UserRegistrationPaths()).Register(kProgram, Texts()).ok);
    EXPECT_TRUE(fs::is_symlink(UserList()));
    EXPECT_NE(ReadText(dotfiles).find("x-content/image-dcf=net.velmora.snapferry.desktop;"),
              std::string::npos);
}

TEST_F(DesktopRegistration, NothingIsWrittenWhenTheListOrThePathIsUnusable) {
    CDesktopRegistrationXdg registration(UserRegistrationPaths());
    EXPECT_FALSE(registration.Register("snapferry", Texts()).ok);
    EXPECT_FALSE(registration.Register(kProgram, {"", "comment"}).ok);
    EXPECT_FALSE(fs::exists(UserEntry()));

    fs::create_directories(UserList()); // a folder where the list should be
    const RegistrationResult result = registration.Register(kProgram, Texts());
    EXPECT_FALSE(result.ok);
    EXPECT_NE(result.diagnostic.find(UserList().string()), std::string::npos) << result.diagnostic;
    EXPECT_FALSE(fs::exists(UserEntry()));
    EXPECT_FALSE(registration.Unregister().ok);
}

TEST_F(DesktopRegistration, DefaultThatCannotBeSetLeavesTheEntryAsItWas) {
    // A user's read-only ~/.config; root writes there all the same, so root runs it as nobody.
    const passwd* nobody = ::getpwnam("nobody");
    if (::geteuid() == 0 && nobody == nullptr) {
        GTEST_SKIP() << "needs the user nobody when run as root";
    }
    const auto registerAsUser = [&] {
        if (::geteuid() != 0) {
            return CDesktopRegistrationXdg(UserRegistrationPaths()).Register(kProgram, Texts()).ok;
        }
        const pid_t child = ::fork();
        if (child == 0) {
            if (::setgid(nobody->pw_gid) != 0 || ::setuid(nobody->pw_uid) != 0) {
                ::_exit(3);
            }
            ::_exit(CDesktopRegistrationXdg(UserRegistrationPaths()).Register(kProgram, Texts()).ok
                        ? 0
                        : 1);
        }
        int status = 0;
        return child > 0 && ::waitpid(child, &status, 0) == child && WIFEXITED(status) &&
               WEXITSTATUS(status) == 0;
    };
    const auto giveToUser = [&](const fs::path& path) {
        if (::geteuid() == 0) {
            ASSERT_EQ(::chown(path.c_str(), nobody->pw_uid, nobody->pw_gid), 0);
        }
    };
    fs::create_directories(UserList().parent_path());
    fs::create_directories(UserEntry().parent_path());
    for (const fs::path& folder : {Home(), Home() / ".config", Home() / ".local",
                                   Home() / ".local/share", UserEntry().parent_path()}) {
        giveToUser(folder);
    }
    ASSERT_EQ(::chmod(UserList().parent_path().c_str(), 0555), 0);

    EXPECT_FALSE(registerAsUser());
    EXPECT_FALSE(fs::exists(UserEntry()));
    EXPECT_FALSE(fs::exists(UserList()));

    // An entry of an earlier registration (another install) comes back unchanged.
    const std::string earlier = WizardDesktopEntryText("Dunmere Pictures Wizard", "Earlier",
                                                       kWizardIconName, "/opt/earlier/snapferry");
    WriteText(UserEntry(), earlier);
    giveToUser(UserEntry());
    EXPECT_FALSE(registerAsUser());
    EXPECT_EQ(ReadText(UserEntry()), earlier);
    ::chmod(UserList().parent_path().c_str(), 0755);
}

TEST_F(DesktopRegistration, RootRegistersForTheWholeSystem) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "needs root";
    }
    const fs::path emptyHome = root_ / "someone";
    fs::create_directories(emptyHome);
    const RegistrationResult result = CreateDesktopRegistration()->Register(kProgram, Texts());
    ASSERT_TRUE(result.ok) << result.diagnostic;
    const fs::path entry = SystemData() / "applications" / kWizardDesktopId;
    EXPECT_EQ(Validate(entry), "status=0\n");
    EXPECT_EQ(fs::status(entry.parent_path()).permissions(), fs::perms(0755));
    EXPECT_EQ(fs::status(entry).permissions(), fs::perms(0644));
    EXPECT_NE(ReadText(SystemConfig() / "mimeapps.list")
                  .find("x-content/image-dcf=net.velmora.snapferry.desktop;"),
              std::string::npos);
    EXPECT_FALSE(fs::exists(UserEntry()));
    EXPECT_FALSE(fs::exists(UserList()));
    // Every user without a choice of their own now gets the wizard.
    EXPECT_EQ(XdgMimeDefault(emptyHome), "net.velmora.snapferry.desktop\n");

    ASSERT_TRUE(CreateDesktopRegistration()->Unregister().ok);
    EXPECT_FALSE(fs::exists(entry));
    EXPECT_EQ(XdgMimeDefault(emptyHome), "");
}

TEST_F(DesktopRegistration, WithoutItsTextsTheEntryIsNamedAfterTheProgramFile) {
    DestroyResourceManager(); // the bundle texts could not be loaded
    ASSERT_EQ(GetResourceManager(), nullptr);
    const RegistrationResult result = RegisterWizard("/opt/x/snapferry");
    ASSERT_TRUE(result.ok) << result.diagnostic;
    // Root registers for the whole machine, anyone else in their home.
    const fs::path entry =
        ::geteuid() == 0 ? SystemData() / "applications" / kWizardDesktopId : UserEntry();
    const std::string text = ReadText(entry);
    EXPECT_EQ(DesktopEntryValue(text, "Name"), "snapferry") << text;
    EXPECT_EQ(DesktopEntryValue(text, "Exec"), "\"/opt/x/snapferry\" /autoplay %u");
    EXPECT_EQ(Validate(entry), "status=0\n");
    EXPECT_TRUE(UnregisterWizard().ok);
    EXPECT_FALSE(fs::exists(entry));
}

TEST_F(DesktopRegistration, UserRunRegistersInTheirHomeWithTheRawTexts) {
    const std::optional<passwd> nobody = [] {
        const passwd* user = ::getpwnam("nobody");
        return user != nullptr ? std::optional<passwd>(*user) : std::nullopt;
    }();
    if (::geteuid() != 0 || !nobody) {
        GTEST_SKIP() << "needs root and the user nobody";
    }
    ASSERT_EQ(::chown(Home().c_str(), nobody->pw_uid, nobody->pw_gid), 0);
    kvResourceManager* resources =
        CreateResourceManager(ProgramKind::Wizard, WizardBuiltinBundle());
    ASSERT_NE(resources, nullptr);
    const std::string name = resources->LoadText(136);
    const std::string comment = resources->LoadText(137);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (::setgid(nobody->pw_gid) != 0 || ::setuid(nobody->pw_uid) != 0) {
            ::_exit(3);
        }
        ::_exit(RegisterWizard(kProgram).ok ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    DestroyResourceManager();
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_EQ(WEXITSTATUS(status), 0);

    const std::string entry = ReadText(UserEntry());
    EXPECT_EQ(DesktopEntryValue(entry, "Name"), name);
    EXPECT_EQ(name, "Dunmere Pictures Wizard");
    EXPECT_EQ(DesktopEntryValue(entry, "Comment"), comment);
    EXPECT_EQ(DesktopEntryValue(entry, "Exec"), std::string("\"") + kProgram + "\" /autoplay %u");
    struct stat owner {};
    ASSERT_EQ(::stat(UserList().c_str(), &owner), 0);
    EXPECT_EQ(owner.st_uid, nobody->pw_uid);
    EXPECT_EQ(fs::status(Home() / ".config").permissions(), fs::perms(0700));
    EXPECT_EQ(fs::status(Home() / ".local").permissions(), fs::perms(0700));
    EXPECT_EQ(XdgMimeDefault(Home()), "net.velmora.snapferry.desktop\n");
    EXPECT_FALSE(fs::exists(SystemData()));
}

} // namespace
