// What the search finds in real folder trees.
#include "common/files/Paths.h"
#include "tests/wizard/search/SearchTestSupport.h"
#include "wizard/search/FindFilesStep.h"
#include "wizard/search/SearchEventLoopPlain.h"

#include <gtest/gtest.h>

#include <dirent.h>
#ifndef _WIN32
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <filesystem>
#include <memory>

namespace {

using Paths = std::vector<std::string>;

struct SearchOutcome {
    int started = -1;
    int result = -1;
    Paths paths;
};

SearchOutcome Search(const std::string& root, const std::string& relativeTo,
                     const std::vector<std::string>& extensions,
                     std::unique_ptr<CAbstractFolderLister> lister = nullptr) {
    CPlainSearchEventLoop loop;
    CFindFilesStep step(loop, std::move(lister));
    for (const std::string& extension : extensions) {
        step.AddExtension(extension);
    }
    SearchOutcome outcome;
    outcome.started = step.Start(root);
    outcome.result = step.Result();
    outcome.paths = RelativePaths(step.Found(), relativeTo);
    return outcome;
}

TEST(SearchTree, WizardExtensionsMatchExactlyAtAnyDepthAndInHiddenFolders) {
    TempTree tree;
    for (const char* name :
         {"IMG_0001.JPG", "party.2023.final.jpeg", "a.Jpg", "README", "notes.txt", "x.png.txt",
          ".jpg", "shot.", ".hidden/inside.gif", ".hidden/.secret.PNG", "d1/d2/d3/d4/d5/deep.bmp",
          "d1/d2/Mixed.JPEG", "d1/d2/mixed.Jpeg", "empty/", "Noext/IMG"}) {
        std::string entry = name;
        if (entry.back() == '/') {
            tree.AddFolder(entry);
        } else {
            tree.AddFile(entry);
        }
    }
    const Paths expected{".hidden/.secret.PNG",     ".hidden/inside.gif", ".jpg",
                         "d1/d2/d3/d4/d5/deep.bmp", "d1/d2/Mixed.JPEG",   "IMG_0001.JPG",
                         "party.2023.final.jpeg"};
    const SearchOutcome plain = Search(tree.Root(), tree.Root(), WizardExtensions());
    EXPECT_EQ(plain.started, 0);
    EXPECT_EQ(plain.result, CFindFilesStep::kResultEnded);
    EXPECT_EQ(plain.paths, expected);
    // A trailing separator on the root searches the same tree and records the same folders.
    EXPECT_EQ(Search(tree.Root() + "/", tree.Root(), WizardExtensions()).paths, expected);
}

TEST(SearchTree, RecordsTheFolderAndTheNameApart) {
    TempTree tree;
    tree.AddFile("DCIM/100CANON/IMG_1.JPG");
    CPlainSearchEventLoop loop;
    CFindFilesStep step(loop);
    step.AddExtension(".JPG");
    step.Start(tree.Root() + "/");
    ASSERT_EQ(step.Found().size(), 1u);
    const std::string s(1, kPathSeparator);
    EXPECT_EQ(step.Found().begin()->folder, tree.Root() + "/DCIM" + s + "100CANON" + s);
    EXPECT_EQ(step.Found().begin()->name, "IMG_1.JPG");
}

TEST(SearchTree, EmptyExtensionSetFindsEveryFile) {
    TempTree tree;
    for (const char* name : {"README", "a.Jpg", ".profile", "sub/x.txt", "sub/.y"}) {
        tree.AddFile(name);
    }
    EXPECT_EQ(Search(tree.Root(), tree.Root(), {}).paths,
              (Paths{".profile", "a.Jpg", "README", "sub/.y", "sub/x.txt"}));
}

TEST(SearchTree, NamesDifferingOnlyInCaseGiveTheFirstOneWalked) {
    TempTree tree;
    tree.AddFile("DCIM/Pic.jpg");
    tree.AddFile("DCIM/PIC.jpg");
    tree.AddFile("DCIM/pic.jpg");
    std::string first;
    DIR* dir = opendir(tree.Path("DCIM").c_str());
    ASSERT_NE(dir, nullptr);
    while (const dirent* entry = readdir(dir)) {
        if (entry->d_name[0] != '.') {
            first = entry->d_name;
            break;
        }
    }
    closedir(dir);
    EXPECT_EQ(Search(tree.Root(), tree.Root(), WizardExtensions()).paths, (Paths{"DCIM/" + first}));
}

TEST(SearchTree, MissingOrUnusableRootGivesAnEmptyCompletedSearch) {
    TempTree tree;
    tree.AddFile("file.jpg");
    for (const std::string& root :
         {tree.Path("missing"), tree.Path("file.jpg"), std::string(), tree.Path("file.jpg/")}) {
        const SearchOutcome outcome = Search(root, tree.Root(), WizardExtensions());
        EXPECT_EQ(outcome.started, 0) << root;
        EXPECT_EQ(outcome.result, CFindFilesStep::kResultEnded) << root;
        EXPECT_TRUE(outcome.paths.empty()) << root;
    }
}

// Links, access rights and other users are Linux's to test.
#ifndef _WIN32
TEST(SearchTree, LinksToFoldersAreNotFollowedAndLinksToFilesAreFiles) {
    TempTree tree;
    tree.AddFile("a/real.jpg");
    tree.AddLink("a/up", "..");
    tree.AddLink("a/self", ".");
    tree.AddLink("a/b/loop", "../../a");
    tree.AddLink("alias.jpg", "a/real.jpg");
    tree.AddLink("dangling.jpg", "a/missing.jpg");
    tree.AddLink("outside", "/");
    EXPECT_EQ(Search(tree.Root(), tree.Root(), WizardExtensions()).paths,
              (Paths{"a/real.jpg", "alias.jpg"}));
}

TEST(SearchTree, RootThatIsALinkToAFolderIsSearched) {
    TempTree tree;
    tree.AddFile("card/DCIM/1.JPG");
    tree.AddLink("mounted", "card");
    for (const std::string& root : {tree.Path("mounted"), tree.Path("mounted/")}) {
        EXPECT_EQ(Search(root, tree.Root(), WizardExtensions()).paths,
                  (Paths{"mounted/DCIM/1.JPG"}))
            << root;
    }
}

TEST(SearchTree, FolderThatTurnsIntoALinkIsNotFollowed) {
    TempTree tree;
    tree.AddFile("a/1.jpg");
    tree.AddFile("elsewhere/2.jpg");
    // After the root was listed, and just before "a" is opened, "a" becomes a link.
    auto lister =
        std::make_unique<HookedLister>([&](const std::string& folder, const std::atomic<int>&) {
            if (folder == tree.Root() + "/a/") {
                std::filesystem::rename(tree.Path("a"), tree.Path("a.old"));
                std::filesystem::create_directory_symlink("elsewhere", tree.Path("a"));
            }
        });
    EXPECT_EQ(Search(tree.Root(), tree.Root(), WizardExtensions(), std::move(lister)).paths,
              (Paths{"elsewhere/2.jpg"}));
}

TEST(SearchTree, FolderThatCannotBeListedIsSkipped) {
    TempTree tree;
    tree.AddFile("1.jpg");
    tree.AddFile("locked/2.jpg");
    tree.AddFile("locked/inner/3.jpg");
    tree.AddFile("open/4.jpg");
    tree.AddFile("z/5.jpg");
    ASSERT_EQ(chmod(tree.Path("locked").c_str(), 0), 0);
    const Paths expected{"1.jpg", "open/4.jpg", "z/5.jpg"};

    if (geteuid() != 0) {
        EXPECT_EQ(Search(tree.Root(), tree.Root(), WizardExtensions()).paths, expected);
        return;
    }
    // Root reads any folder: the search runs in a child that has become an ordinary user.
    const passwd* nobody = getpwnam("nobody");
    if (nobody == nullptr) {
        GTEST_SKIP() << "no user 'nobody' to search as";
    }
    int pipeFds[2];
    ASSERT_EQ(pipe(pipeFds), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        close(pipeFds[0]);
        if (setgid(nobody->pw_gid) != 0 || setuid(nobody->pw_uid) != 0) {
            _exit(3);
        }
        std::string lines;
        for (const std::string& path : Search(tree.Root(), tree.Root(), WizardExtensions()).paths) {
            lines += path + "\n";
        }
        const bool written =
            write(pipeFds[1], lines.data(), lines.size()) == static_cast<ssize_t>(lines.size());
        _exit(written ? 0 : 4);
    }
    close(pipeFds[1]);
    std::string output;
    char buffer[256];
    for (ssize_t got; (got = read(pipeFds[0], buffer, sizeof buffer)) > 0;) {
        output.append(buffer, static_cast<size_t>(got));
    }
    close(pipeFds[0]);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(output, "1.jpg\nopen/4.jpg\nz/5.jpg\n");
}

#endif

TEST(SearchTree, FolderRemovedDuringTheWalkIsSkipped) {
    TempTree tree;
    tree.AddFile("a/1.jpg");
    tree.AddFile("b/2.jpg");
    tree.AddFile("b/c/3.jpg");
    tree.AddFile("d/4.jpg");
    // Whichever of the sub-folders is walked first takes "b" away before its turn comes (or, if
    // "b" itself comes first, "d").
    bool removed = false;
    std::string gone;
    auto lister =
        std::make_unique<HookedLister>([&](const std::string& folder, const std::atomic<int>&) {
            if (removed || folder == tree.Root() + "/") {
                return;
            }
            removed = true;
            gone = folder == tree.Root() + "/b/" ? "d" : "b";
            std::filesystem::remove_all(tree.Path(gone));
        });
    const SearchOutcome outcome =
        Search(tree.Root(), tree.Root(), WizardExtensions(), std::move(lister));
    EXPECT_EQ(outcome.result, CFindFilesStep::kResultEnded);
    const Paths expected =
        gone == "b" ? Paths{"a/1.jpg", "d/4.jpg"} : Paths{"a/1.jpg", "b/2.jpg", "b/c/3.jpg"};
    EXPECT_EQ(outcome.paths, expected);
}

} // namespace
