#include "wizard/app/DesktopEntry.h"
#include "wizard/app/MimeAppsList.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

std::string ExecLine(const std::string& programPath) {
    return DesktopEntryValue(WizardDesktopEntryText("N", "C", "i", programPath), "Exec")
        .value_or("<none>");
}

std::string RawExecLine(const std::string& programPath) {
    const std::string text = WizardDesktopEntryText("N", "C", "i", programPath);
    const size_t start = text.find("\nExec=") + 6;
    return text.substr(start, text.find('\n', start) - start);
}

// desktop-file-validate's verdict on an entry text: empty when it is valid, its complaints
// otherwise.
std::string Validate(const std::string& text) {
    char folder[] = "/tmp/velmora-entry-XXXXXX";
    if (::mkdtemp(folder) == nullptr) {
        return "no temporary folder";
    }
    const std::string path = std::string(folder) + "/" + kWizardDesktopId;
    std::ofstream(path) << text;
    std::string output;
    if (FILE* pipe =
            ::popen(("desktop-file-validate " + path + " 2>&1; echo status=$?").c_str(), "r")) {
        char buffer[512];
        for (size_t got; (got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) {
            output.append(buffer, got);
        }
        ::pclose(pipe);
    }
    std::filesystem::remove_all(folder);
    return output == "status=0\n" ? std::string() : output;
}

TEST(DesktopEntry, WholeEntryForAPlainPath) {
    EXPECT_EQ(WizardDesktopEntryText("Dunmere Pictures Wizard", "Upload the pictures",
                                     "net.velmora.snapferry", "/usr/lib/velmora/snapferry"),
              "[Desktop Entry]\n"
              "Type=Application\n"
              "Name=Dunmere Pictures Wizard\n"
              "Comment=Upload the pictures\n"
              "Icon=net.velmora.snapferry\n"
              "Exec=\"/usr/lib/velmora/snapferry\" /autoplay %u\n"
              "MimeType=x-content/image-dcf;\n"
              "NoDisplay=true\n");
}

TEST(DesktopEntry, ExecQuotesTheProgramPathByBothRules) {
    EXPECT_EQ(RawExecLine("/opt/my apps/snapferry"), "\"/opt/my apps/snapferry\" /autoplay %u");
    EXPECT_EQ(RawExecLine("/opt/100%/snapferry"), "\"/opt/100%%/snapferry\" /autoplay %u");
    // Quoting puts a backslash before " ` $ and \, and the string rule then doubles every
    // backslash: a literal backslash takes four.
    EXPECT_EQ(RawExecLine("/opt/a\"b"), "\"/opt/a\\\\\"b\" /autoplay %u");
    EXPECT_EQ(RawExecLine("/opt/$HOME`x`"), "\"/opt/\\\\$HOME\\\\`x\\\\`\" /autoplay %u");
    EXPECT_EQ(RawExecLine("/opt/a\\b"), "\"/opt/a\\\\\\\\b\" /autoplay %u");
    // Read back as a string value, what is left is the quoted argument.
    EXPECT_EQ(ExecLine("/opt/a\\b"), "\"/opt/a\\\\b\" /autoplay %u");
}

TEST(DesktopEntry, TextsAreEscapedAndReadBack) {
    const std::string name = " Pictures\\Wizard\nsecond\tline";
    const std::string text = WizardDesktopEntryText(name, "", "icon", "/p");
    EXPECT_NE(text.find("Name=\\sPictures\\\\Wizard\\nsecond\\tline\n"), std::string::npos);
    EXPECT_EQ(DesktopEntryValue(text, "Name"), name);
    EXPECT_EQ(text.find("Comment="), std::string::npos);
    EXPECT_EQ(DesktopEntryValue(text, "Comment"), std::nullopt);
}

TEST(DesktopEntry, ValueIsReadFromTheMainGroupOnly) {
    const std::string text = "[Desktop Action x]\nX-Key=action\n"
                             "[Desktop Entry]\n# X-Key=comment\nX-Key = main value \n"
                             "[Other]\nX-Key=other\n";
    EXPECT_EQ(DesktopEntryValue(text, "X-Key"), "main value");
    EXPECT_EQ(DesktopEntryValue(text, "X-Ke"), std::nullopt);
}

TEST(DesktopEntry, PassesTheValidatorWhateverThePath) {
    if (::access("/usr/bin/desktop-file-validate", X_OK) != 0) {
        GTEST_SKIP() << "desktop-file-validate is not installed (desktop-file-utils)";
    }
    for (const char* path :
         {"/usr/lib/velmora/snapferry", "/opt/my apps/100%/snap\"ferry", "/opt/$x/`y`/a\\b"}) {
        SCOPED_TRACE(path);
        EXPECT_EQ(Validate(WizardDesktopEntryText("Dunmere Pictures Wizard", "Upload %p",
                                                  kWizardIconName, path) +
                           kPreviousDefaultKey + "=old.desktop;\n"),
                  "");
    }
}

TEST(MimeAppsList, EditsLeaveEveryOtherLineAsItWas) {
    const std::string original = "# my settings\n"
                                 "[Default Applications]\n"
                                 "text/plain=editor.desktop;\n"
                                 "\n"
                                 "[Added Associations]\r\n"
                                 "image/png=viewer.desktop;\n"
                                 "\n"
                                 "[Other]\n"
                                 "x-content/image-dcf=keep.desktop;";
    CMimeAppsList list(original);
    list.Set(kDefaultApplicationsSection, "x-content/image-dcf", {"a.desktop", "b.desktop"});
    list.Set(kAddedAssociationsSection, "x-content/image-dcf", {"a.desktop"});
    list.Set(kRemovedAssociationsSection, "x-content/image-dcf", {"c.desktop"});
    EXPECT_EQ(list.Text(), "# my settings\n"
                           "[Default Applications]\n"
                           "text/plain=editor.desktop;\n"
                           "x-content/image-dcf=a.desktop;b.desktop;\n"
                           "\n"
                           "[Added Associations]\r\n"
                           "image/png=viewer.desktop;\n"
                           "x-content/image-dcf=a.desktop;\n"
                           "\n"
                           "[Other]\n"
                           "x-content/image-dcf=keep.desktop;\n"
                           "\n"
                           "[Removed Associations]\n"
                           "x-content/image-dcf=c.desktop;\n");
    EXPECT_EQ(list.Get(kDefaultApplicationsSection, "x-content/image-dcf"),
              (std::vector<std::string>{"a.desktop", "b.desktop"}));
    list.Set(kDefaultApplicationsSection, "x-content/image-dcf", {});
    list.Set(kAddedAssociationsSection, "x-content/image-dcf", {});
    list.Set(kRemovedAssociationsSection, "x-content/image-dcf", {});
    // The section added for the key goes with it; the others keep their other keys.
    EXPECT_EQ(list.Text(), original + "\n");
}

TEST(MimeAppsList, SectionLeftBlankGoesButOneWithAnythingElseStays) {
    CMimeAppsList list("[Added Associations]\n"
                       "x-content/image-dcf=ours.desktop;\n"
                       "\n"
                       "[Default Applications]\n"
                       "# mine\n"
                       "x-content/image-dcf=ours.desktop;\n"
                       "[Removed Associations]\n"
                       "\n");
    list.Set(kAddedAssociationsSection, "x-content/image-dcf", {});
    list.Set(kDefaultApplicationsSection, "x-content/image-dcf", {});
    // A blank section the edit did not empty is the user's own.
    EXPECT_EQ(list.Text(), "[Default Applications]\n"
                           "# mine\n"
                           "[Removed Associations]\n"
                           "\n");
    list.Set(kRemovedAssociationsSection, "other", {});
    EXPECT_EQ(list.Text(), "[Default Applications]\n# mine\n[Removed Associations]\n\n");
}

TEST(MimeAppsList, DuplicateKeysFollowTheLastAndCollapseOnWrite) {
    CMimeAppsList list("[Default Applications]\n"
                       "x-content/image-dcf = first.desktop\n"
                       "x-content/image-dcf=; last.desktop ;;\n");
    EXPECT_EQ(list.Get(kDefaultApplicationsSection, "x-content/image-dcf"),
              (std::vector<std::string>{"last.desktop"}));
    list.Set(kDefaultApplicationsSection, "x-content/image-dcf", {"ours.desktop"});
    EXPECT_EQ(list.Text(), "[Default Applications]\nx-content/image-dcf=ours.desktop;\n");
    EXPECT_TRUE(CMimeAppsList("").Get(kDefaultApplicationsSection, "x").empty());
}

} // namespace
