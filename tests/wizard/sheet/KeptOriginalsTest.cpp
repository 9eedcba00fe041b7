// The originals a run was asked to delete and kept, and the finish page's line about them.
#include "wizard/sheet/KeptOriginals.h"

#include "common/resources/ResourceManager.h"
#include "resources/BuiltinBundles.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>

#include "PortableTestSupport.h"
#include "common/files/Paths.h"
#include <vector>

namespace {

TEST(KeptOriginals, TheRunSaysWhyItsOriginalsStayed) {
    const FoundSet pictures = {{"/card/", "a.jpg"}, {"/card/", "b.jpg"}, {"/card/", "c.jpg"}};
    // What the made-up file system still holds, with the error that keeps it.
    std::map<std::string, int> left;
    auto stillThere = [&](const FoundPicture& picture, int& error) {
        const auto found = left.find(picture.name);
        if (found == left.end()) {
            return false;
        }
        error = found->second;
        return true;
    };
    struct Case {
        const char* what;
        RunForDeleting run;
        std::map<std::string, int> left;
        uint32_t count;
        KeptReason reason;
    };
    for (const Case& c : std::vector<Case>{
             {"not asked to delete",
              {false, false, false, 3, 0},
              {{"a.jpg", 0}},
              0,
              KeptReason::None},
             {"all deleted", {true, false, false, 3, 0}, {}, 0, KeptReason::None},
             {"a read-only card", {true, true, false, 3, 0}, {}, 3, KeptReason::ReadOnly},
             {"passed over", {true, false, false, 2, 1}, {}, 2, KeptReason::PassedOver},
             {"stopped",
              {true, false, true, 3, 0},
              {{"b.jpg", 0}, {"c.jpg", 0}},
              2,
              KeptReason::Stopped},
             {"denied", {true, false, false, 3, 0}, {{"c.jpg", EACCES}}, 1, KeptReason::NotDeleted},
             {"found read-only",
              {true, false, false, 3, 0},
              {{"a.jpg", EROFS}},
              1,
              KeptReason::ReadOnly},
             {"nothing copied", {true, true, false, 0, 0}, {}, 0, KeptReason::None},
         }) {
        left = c.left;
        const KeptOriginals kept = JudgeKeptOriginals(c.run, &pictures, stillThere);
        EXPECT_EQ(kept.count, c.count) << c.what;
        EXPECT_EQ(kept.reason, c.reason) << c.what;
    }
    // A camera's originals: the run counts those it could not delete.
    EXPECT_EQ(JudgeKeptOriginals({true, true, false, 4, 0}, nullptr, nullptr).reason,
              KeptReason::ReadOnly);
    EXPECT_EQ(JudgeKeptOriginals({true, false, false, 4, 0}, nullptr, nullptr).count, 0u);
    const KeptOriginals refused =
        JudgeKeptOriginals({true, false, false, 4, 0, 3}, nullptr, nullptr);
    EXPECT_EQ(refused.count, 3u);
    EXPECT_EQ(refused.reason, KeptReason::NotDeleted);
}

TEST(KeptOriginals, TheLineNamesTheCountAndTheReason) {
    CResourceManagerScope resources(ProgramKind::Wizard, WizardBuiltinBundle(), nullptr);
    EXPECT_EQ(KeptOriginalsLine({}), "");
    EXPECT_EQ(KeptOriginalsLine({3, KeptReason::ReadOnly, EROFS}),
              "3 original(s) were kept on the device: it is read-only.");
    EXPECT_EQ(KeptOriginalsLine({1, KeptReason::NotDeleted, EACCES}),
              "1 original(s) were kept on the device: access was denied.");
    EXPECT_EQ(KeptOriginalsLine({2, KeptReason::NotDeleted, 0}),
              "2 original(s) were kept on the device: they could not be deleted.");
    EXPECT_EQ(KeptOriginalsLine({2, KeptReason::Stopped, 0}),
              "2 original(s) were kept on the device: the deleting was stopped.");
}

TEST(KeptOriginals, ALocalOriginalIsThereUntilItIsGone) {
    const std::string folder = MakeTemporaryFolder("vm-kept");
    ASSERT_FALSE(folder.empty());
    const FoundPicture picture{JoinPath(folder, ""), "a.jpg"};
    std::FILE* file = std::fopen(picture.FullPath().c_str(), "w");
    ASSERT_NE(file, nullptr);
    std::fclose(file);
    int error = -1;
    EXPECT_TRUE(LocalOriginalStillThere(picture, error));
    EXPECT_EQ(error, 0) << "nothing keeps it: the folder may be written";
    ASSERT_EQ(std::remove(picture.FullPath().c_str()), 0);
    EXPECT_FALSE(LocalOriginalStillThere(picture, error));
    std::filesystem::remove(folder);
}

} // namespace
