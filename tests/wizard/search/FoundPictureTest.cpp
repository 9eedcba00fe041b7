#include "wizard/search/FoundPicture.h"
#include "common/files/Paths.h"
#include "common/steps/BusyCounter.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace {

std::vector<std::string> Paths(const FoundSet& set) {
    std::vector<std::string> paths;
    for (const FoundPicture& picture : set) {
        paths.push_back(picture.FullPath());
    }
    return paths;
}

TEST(FoundPicture, FullPathAddsOneSeparatorAndNeverCuts) {
    EXPECT_EQ((FoundPicture{"/media/card/", "a.jpg"}.FullPath()), "/media/card/a.jpg");
    EXPECT_EQ((FoundPicture{"/media/card", "a.jpg"}.FullPath()),
              "/media/card" + std::string(1, kPathSeparator) + "a.jpg");
    const std::string longFolder = "/" + std::string(600, 'x') + "/";
    EXPECT_EQ((FoundPicture{longFolder, "b.jpg"}.FullPath()).size(), longFolder.size() + 5);
}

TEST(FoundPicture, OrderFoldsAsciiLettersOnly) {
    FoundSet set;
    set.insert({"/p/", "b.jpg"});
    set.insert({"/p/", "_a.jpg"}); // '_' sorts before every letter once letters are folded
    set.insert({"/p/", "A.jpg"});
    set.insert({"/p/", "a.jpg.jpg"});
    set.insert({"/p/", "\xC3\x89t\xC3\xA9.jpg"}); // bytes beyond ASCII are compared as they are
    set.insert({"/p/", "\xC3\xA9t\xC3\xA9.jpg"});
    EXPECT_EQ(Paths(set),
              (std::vector<std::string>{"/p/_a.jpg", "/p/A.jpg", "/p/a.jpg.jpg", "/p/b.jpg",
                                        "/p/\xC3\x89t\xC3\xA9.jpg", "/p/\xC3\xA9t\xC3\xA9.jpg"}));
}

TEST(FoundPicture, SeparatorRanksAsABackslash) {
    FoundSet set;
    set.insert({"/p/a_b/", "z.jpg"});
    set.insert({"/p/a/", "z.jpg"});
    set.insert({"/p/a-b/", "z.jpg"});
    set.insert({"/p/", "TripZ.jpg"}); // folded to 'z', after the separator
    set.insert({"/p/", "Trip_b.jpg"});
    set.insert({"/p/Trip/", "a.jpg"});
    set.insert({"/p/", "Trip]1.jpg"});
    set.insert({"/p/", "Trip[1].jpg"});
    set.insert({"/p/", "Trip2.jpg"}); // '2' sorts before a backslash though after '/'
    EXPECT_EQ(Paths(set),
              (std::vector<std::string>{"/p/a-b/z.jpg", "/p/a/z.jpg", "/p/a_b/z.jpg",
                                        "/p/Trip2.jpg", "/p/Trip[1].jpg", "/p/Trip/a.jpg",
                                        "/p/Trip]1.jpg", "/p/Trip_b.jpg", "/p/TripZ.jpg"}));
}

TEST(FoundPicture, ABackslashInANameIsNotTheSeparator) {
#ifdef _WIN32
    GTEST_SKIP() << "a backslash cannot be part of a file name there";
#endif
    FoundSet set;
    EXPECT_TRUE(set.insert({"/p/", "Trip\\a.jpg"}).second);
    EXPECT_TRUE(set.insert({"/p/Trip/", "a.jpg"}).second);
    EXPECT_TRUE(set.insert({"/p/Trip/", "b.jpg"}).second);
    EXPECT_FALSE(set.insert({"/P/", "trip\\A.JPG"}).second);
    EXPECT_EQ(Paths(set),
              (std::vector<std::string>{"/p/Trip/a.jpg", "/p/Trip/b.jpg", "/p/Trip\\a.jpg"}));
}

TEST(FoundPicture, PathsEqualWithoutCaseAreOneEntryAndTheFirstStays) {
    FoundSet set;
    EXPECT_TRUE(set.insert({"/Card/DCIM/", "IMG_1.JPG"}).second);
    EXPECT_FALSE(set.insert({"/card/dcim/", "img_1.jpg"}).second);
    // The separator is part of the path whether the folder carries it or not.
    EXPECT_FALSE(set.insert({"/CARD/DCIM", "Img_1.jpg"}).second);
    ASSERT_EQ(set.size(), 1u);
    EXPECT_EQ(set.begin()->name, "IMG_1.JPG");
    // The same text split differently between folder and name is the same path.
    EXPECT_FALSE(set.insert({"/card/", "dcim/img_1.jpg"}).second);
    EXPECT_TRUE(set.insert({"/card/dcim/", "img_1.jpg2"}).second);
}

TEST(BusyCounter, TheTryingSideBacksOffAndTheWaitingSideWaits) {
    CBusyCounter counter;
    ASSERT_TRUE(counter.TryAcquire());
    std::atomic<bool> workerHolds{false};
    std::thread worker([&] {
        counter.Acquire(std::chrono::milliseconds(1));
        workerHolds = true;
        counter.Release();
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_FALSE(workerHolds.load());
    counter.Release();
    worker.join();
    EXPECT_TRUE(workerHolds.load());

    counter.Acquire(std::chrono::milliseconds(1));
    EXPECT_FALSE(counter.TryAcquire());
    EXPECT_FALSE(counter.TryAcquire());
    counter.Release();
    EXPECT_TRUE(counter.TryAcquire());
    counter.Release();
}

} // namespace
