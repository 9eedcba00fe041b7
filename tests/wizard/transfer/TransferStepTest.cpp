// The copy step against an in-memory share: numbering, never overwriting, rollback, verification,
// the delete pass and every way a run can be cancelled.
#include "TransferTestSupport.h"
#include "wizard/transfer/FileTransferStep.h"
#include "wizard/transfer/TransferNaming.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <system_error>
#include <thread>

using namespace std::chrono_literals;

namespace {

constexpr const char* kFolder = "FamilyLibrary/MyPhotos/Trip";

class TransferStepTest : public ::testing::Test {
protected:
    void SetUp() override {
        callback->SetTarget(&poster, nullptr);
        properties.groupName = "Holiday";
        properties.location = "MyPhotos\\Trip";
        properties.pictures = &sources.Pictures();
        share->folders.insert("FamilyLibrary/MyPhotos");
        auto transfer = std::make_unique<CSambaFileTransfer>(std::make_unique<FakeShare>(share));
        transfer->SetCallback(callback);
        step.SetTransfer(std::move(transfer));
        step.SetCleanupPatience(300ms);
    }

    std::string Path(const std::string& name) const { return std::string(kFolder) + "/" + name; }
    bool OnShare(const std::string& name) {
        std::lock_guard lock(share->mutex);
        return share->files.count(Path(name)) != 0;
    }
    size_t FilesOnShare() {
        std::lock_guard lock(share->mutex);
        return share->files.size();
    }
    void PutOnShare(const std::string& name, const std::string& contents) {
        share->folders.insert(kFolder);
        share->files[Path(name)] = contents;
    }

    SourceFolder sources;
    std::shared_ptr<FakeShare::State> share = std::make_shared<FakeShare::State>();
    RecordingPoster poster;
    std::shared_ptr<CFileTransferCallback> callback = std::make_shared<CFileTransferCallback>();
    CTransferProperties properties;
    CFileTransferStep step;
};

TEST_F(TransferStepTest, APicturesFilesShareOneNumberAndGoOnlyOnceAllOfThemAreOnTheShare) {
    PutOnShare("Holiday 4.CR2", "theirs"); // a raw file holds its number too
    sources.Add("IMG_0001.CR2");
    sources.Add("IMG_0001.JPG");
    sources.Add("img_0001.xmp");
    sources.Add("IMG_0002.HEIC");
    sources.Add("MVI_0003.MP4");
    sources.Add("IMG_0009.xmp"); // no picture beside it
    const std::string sidecar = sources.Contents("img_0001.xmp");
    properties.deleteAfterCopy = true;
    step.Run(properties);

    EXPECT_EQ(step.CopiedList(),
              (std::vector<std::string>{Path("Holiday 5.CR2"), Path("Holiday 5.JPG"),
                                        Path("Holiday 5.xmp"), Path("Holiday 6.HEIC"),
                                        Path("Holiday 7.MP4")}));
    EXPECT_EQ(share->files[Path("Holiday 5.xmp")], sidecar);
    EXPECT_EQ(properties.total, 3u) << "the progress counts pictures";
    const auto groups = poster.All<kvGroupStatusAsyncData>();
    ASSERT_EQ(groups.size(), 5u);
    EXPECT_EQ(groups[1]->pictureNumber, 1);
    EXPECT_EQ(groups[4]->pictureNumber, 3);
    const kvDoneCopyAsyncData& done = poster.Done();
    EXPECT_FALSE(done.failure.Failed());
    EXPECT_EQ(done.picturesCopied, 2u);
    EXPECT_EQ(done.videosCopied, 1u);
    for (const char* gone :
         {"IMG_0001.CR2", "IMG_0001.JPG", "img_0001.xmp", "IMG_0002.HEIC", "MVI_0003.MP4"}) {
        EXPECT_FALSE(sources.Exists(gone)) << gone;
    }
    EXPECT_TRUE(sources.Exists("IMG_0009.xmp")) << "what was not copied is not deleted";
}

TEST_F(TransferStepTest, VideosNotWantedStayAndAPictureWhoseSecondNameIsTakenMovesWhole) {
    sources.Add("IMG_0001.CR2");
    sources.Add("IMG_0001.JPG");
    sources.Add("MVI_0002.MOV");
    properties.copyVideos = false;
    properties.deleteAfterCopy = true;
    // Another copy takes "Holiday 1.JPG" while the raw file is written as "Holiday 1.CR2".
    share->beforeRename = [this](const std::string& to) {
        if (to == Path("Holiday 1.CR2")) {
            std::lock_guard lock(share->mutex);
            share->files[Path("Holiday 1.JPG")] = "theirs";
        }
        return ShareResult{};
    };
    step.Run(properties);

    EXPECT_EQ(step.CopiedList(),
              (std::vector<std::string>{Path("Holiday 2.CR2"), Path("Holiday 2.JPG")}));
    EXPECT_FALSE(OnShare("Holiday 1.CR2")) << "the first number's copy was taken back";
    EXPECT_EQ(share->files[Path("Holiday 1.JPG")], "theirs");
    EXPECT_EQ(poster.Done().picturesCopied, 1u);
    EXPECT_EQ(poster.Done().videosCopied, 0u);
    EXPECT_TRUE(sources.Exists("MVI_0002.MOV"));
    EXPECT_FALSE(sources.Exists("IMG_0001.JPG"));
}

TEST_F(TransferStepTest, NumbersANewFolderFromOneKeepingEachSourcesExtension) {
    sources.Add("a.jpg");
    sources.Add("b.JPG");
    sources.Add("c");
    sources.Add("d.tar.png");
    step.Run(properties);

    EXPECT_EQ(step.CopiedList(),
              (std::vector<std::string>{Path("Holiday 1.jpg"), Path("Holiday 2.JPG"),
                                        Path("Holiday 3"), Path("Holiday 4.png")}));
    EXPECT_EQ(share->files[Path("Holiday 2.JPG")], sources.Contents("b.JPG"));
    EXPECT_EQ(properties.number, 4);
    EXPECT_EQ(properties.total, 4u);
    const kvDoneCopyAsyncData& done = poster.Done();
    EXPECT_FALSE(done.cancelled);
    EXPECT_FALSE(done.failure.Failed());
    const auto groups = poster.All<kvGroupStatusAsyncData>();
    ASSERT_EQ(groups.size(), 4u);
    EXPECT_EQ(groups[2]->pictureNumber, 3);
    EXPECT_EQ(groups[2]->pictureCount, 4);
    EXPECT_EQ(groups[2]->pictureName, "Holiday 3");
    EXPECT_TRUE(sources.Exists("a.jpg")) << "sources stay unless asked to delete them";
}

TEST_F(TransferStepTest, ContinuesAfterTheHighestNumberOfAnyPictureWhateverItsCase) {
    PutOnShare("Holiday 3.jpg", "x");
    PutOnShare("holiday 7.JPG", "x");
    PutOnShare("Holiday 12.PNG", "x"); // a number names one picture, whatever its kind
    PutOnShare("Holiday 30.txt", "x"); // not a picture
    PutOnShare("Other 40.jpg", "x");
    sources.Add("p.jpg");
    step.Run(properties);
    EXPECT_EQ(step.CopiedList(), std::vector<std::string>{Path("Holiday 13.jpg")});
}

TEST_F(TransferStepTest, NeverOverwritesAndRollsBackOnlyItsOwnCopies) {
    // "Holiday 1.png" is there before; "Holiday 3.jpg" appears while the run is under way, as if
    // someone else wrote it.
    PutOnShare("Holiday 1.png", "theirs");
    sources.Add("1.png");
    sources.Add("2.jpg");
    sources.Add("3.jpg");
    poster.onPost = [this](const kvAsyncData& record) {
        auto* group = dynamic_cast<const kvGroupStatusAsyncData*>(&record);
        if (group != nullptr && group->pictureNumber == 2) {
            std::lock_guard lock(share->mutex);
            share->files[Path("Holiday 3.jpg")] = "also theirs";
        }
    };
    share->failCreateNumber = 4; // the third picture's first attempt (after one taken name)
    step.Run(properties);

    EXPECT_EQ(share->files[Path("Holiday 1.png")], "theirs");
    EXPECT_EQ(share->files[Path("Holiday 3.jpg")], "also theirs");
    EXPECT_FALSE(OnShare("Holiday 2.png"));
    EXPECT_FALSE(OnShare("Holiday 4.jpg"));
    EXPECT_EQ(FilesOnShare(), 2u);
    EXPECT_TRUE(step.CopiedList().empty());
}

TEST_F(TransferStepTest, TakesTheNextFreeNumberWhenANameIsTaken) {
    // Someone else's picture takes the first name while the copy is under way.
    poster.onPost = [this](const kvAsyncData& record) {
        auto* group = dynamic_cast<const kvGroupStatusAsyncData*>(&record);
        if (group != nullptr && group->pictureName == "Holiday 1.png") {
            std::lock_guard lock(share->mutex);
            share->files[Path("Holiday 1.png")] = "theirs";
        }
    };
    sources.Add("a.png");
    sources.Add("b.jpg");
    step.Run(properties);
    EXPECT_EQ(step.CopiedList(),
              (std::vector<std::string>{Path("Holiday 2.png"), Path("Holiday 3.jpg")}));
    EXPECT_EQ(share->files[Path("Holiday 1.png")], "theirs");
    // The page shows the name the copy really got.
    EXPECT_EQ(poster.All<kvGroupStatusAsyncData>()[1]->pictureName, "Holiday 2.png");
}

TEST_F(TransferStepTest, AFailedThirdCopyRemovesTheFirstTwoAndIsNotACancel) {
    sources.Add("1.jpg");
    sources.Add("2.jpg");
    sources.Add("3.jpg");
    sources.Add("4.jpg");
    properties.deleteAfterCopy = true;
    share->failCreateNumber = 3;
    share->createFailure = ShareStatus::DiskFull;
    step.Run(properties);

    EXPECT_EQ(FilesOnShare(), 0u);
    const kvDoneCopyAsyncData& done = poster.Done();
    EXPECT_FALSE(done.cancelled);
    EXPECT_EQ(done.failure.status, ShareStatus::DiskFull);
    EXPECT_EQ(done.failure.source, sources.Root() + "/3.jpg");
    EXPECT_EQ(done.failure.destination, "Holiday 3.jpg");
    for (const char* name : {"1.jpg", "2.jpg", "3.jpg", "4.jpg"}) {
        EXPECT_TRUE(sources.Exists(name)) << name;
    }
    EXPECT_TRUE(poster.All<kvSwitchDeletePageAsyncData>().empty());
    EXPECT_EQ(poster.All<kvGroupStatusAsyncData>().size(), 3u);
}

TEST_F(TransferStepTest, AWriteFailureRemovesThePartialFile) {
    sources.Add("1.jpg", 3 << 20);
    sources.Add("2.jpg", 3 << 20);
    auto transfer = std::make_unique<CSambaFileTransfer>(std::make_unique<FakeShare>(share),
                                                         CSambaFileTransfer::kMinimumChunkSize);
    transfer->SetCallback(callback);
    step.SetTransfer(std::move(transfer));
    share->beforeWrite = [this](const std::string& path, uint64_t written) -> ShareResult {
        if (path == Path("Holiday 2.jpg") && written > 0) {
            return {ShareStatus::ConnectionLost, ECONNRESET};
        }
        return {};
    };
    step.Run(properties);
    EXPECT_EQ(FilesOnShare(), 0u);
    EXPECT_EQ(poster.Done().failure.status, ShareStatus::ConnectionLost);
    EXPECT_EQ(poster.Done().failure.leftBehind, 0);
}

TEST_F(TransferStepTest, APartialFileThatCouldNotBeRemovedAtOnceGoesWithTheRollback) {
    sources.Add("1.jpg", 3 << 20);
    sources.Add("2.jpg", 3 << 20);
    properties.deleteAfterCopy = true;
    auto transfer = std::make_unique<CSambaFileTransfer>(std::make_unique<FakeShare>(share),
                                                         CSambaFileTransfer::kMinimumChunkSize);
    transfer->SetCallback(callback);
    step.SetTransfer(std::move(transfer));
    share->beforeWrite = [this](const std::string& path, uint64_t written) -> ShareResult {
        if (path == Path("Holiday 2.jpg") && written > 0) {
            return {ShareStatus::ConnectionLost, ECONNRESET};
        }
        return {};
    };
    // The copy's own clean-up meets the broken connection; the run's rollback finds it back.
    share->stuck = {TemporaryCopyPath(Path("Holiday 2.jpg"))};
    share->removeFailures = 1;
    step.Run(properties);
    EXPECT_EQ(FilesOnShare(), 0u);
    EXPECT_EQ(poster.Done().failure.status, ShareStatus::ConnectionLost);
    EXPECT_EQ(poster.Done().failure.leftBehind, 0);
    EXPECT_TRUE(sources.Exists("1.jpg") && sources.Exists("2.jpg"));

    // A server that never comes back: the copy and the partial file are both counted.
    share->files.clear();
    share->removeFailures = -1;
    share->stuck = {Path("Holiday 1.jpg"), TemporaryCopyPath(Path("Holiday 2.jpg"))};
    RecordingPoster second;
    callback->SetTarget(&second, nullptr);
    step.Run(properties);
    EXPECT_EQ(second.Done().failure.leftBehind, 2);
    EXPECT_FALSE(OnShare("Holiday 2.jpg")) << "a cut-off copy never has a final name";
    EXPECT_TRUE(OnShare(TemporaryCopyName("Holiday 2.jpg")));
}

TEST_F(TransferStepTest, CopiesThatCannotBeRemovedAreRetriedAndThenReported) {
    sources.Add("1.jpg");
    sources.Add("2.jpg");
    share->failCreateNumber = 2;
    share->stuck = {Path("Holiday 1.jpg")};
    share->removeFailures = 2; // the server comes back after two attempts
    step.Run(properties);
    EXPECT_EQ(FilesOnShare(), 0u);
    EXPECT_EQ(poster.Done().failure.leftBehind, 0);

    share->files.clear();
    share->creates = 0;
    share->removeFailures = -1; // it never comes back
    RecordingPoster second;
    callback->SetTarget(&second, nullptr);
    const auto started = std::chrono::steady_clock::now();
    step.Run(properties);
    EXPECT_LT(std::chrono::steady_clock::now() - started, 5s);
    EXPECT_TRUE(OnShare("Holiday 1.jpg"));
    EXPECT_EQ(second.Done().failure.leftBehind, 1);
    EXPECT_NE(second.Done().failure.Describe().find("could not be removed"), std::string::npos);
}

TEST_F(TransferStepTest, ACopyTheServerRemovedThoughItsReplyWasLostIsNotLeftBehind) {
    sources.Add("1.jpg");
    sources.Add("2.jpg");
    share->failCreateNumber = 2;
    // The delete of the first copy is carried out, but its answer never comes; the retry finds
    // nothing there.
    share->removeReplyLost = {Path("Holiday 1.jpg")};
    step.Run(properties);
    EXPECT_EQ(FilesOnShare(), 0u);
    const kvDoneCopyAsyncData& done = poster.Done();
    EXPECT_EQ(done.failure.status, ShareStatus::AccessDenied);
    EXPECT_EQ(done.failure.leftBehind, 0);
    EXPECT_EQ(done.failure.Describe().find("could not be removed"), std::string::npos)
        << done.failure.Describe();
}

TEST_F(TransferStepTest, ACopyThatReadsBackWithAnotherSizeAbortsBeforeAnySourceIsDeleted) {
    sources.Add("1.jpg", 500);
    sources.Add("2.jpg", 500);
    properties.deleteAfterCopy = true;
    share->listedSize[Path("Holiday 2.jpg")] = 499;
    step.Run(properties);
    EXPECT_EQ(FilesOnShare(), 0u);
    EXPECT_TRUE(sources.Exists("1.jpg"));
    EXPECT_TRUE(sources.Exists("2.jpg"));
    EXPECT_EQ(poster.Done().failure.status, ShareStatus::SizeMismatch);
    EXPECT_FALSE(poster.Done().cancelled);
}

TEST_F(TransferStepTest, ACopyMissingFromTheReadBackAbortsBeforeAnySourceIsDeleted) {
    sources.Add("1.jpg", 500);
    sources.Add("2.jpg", 500);
    properties.deleteAfterCopy = true;
    share->unlisted = {Path("Holiday 2.jpg")}; // accepted by the share, then not there
    step.Run(properties);
    EXPECT_EQ(FilesOnShare(), 0u);
    EXPECT_TRUE(sources.Exists("1.jpg"));
    EXPECT_TRUE(sources.Exists("2.jpg"));
    EXPECT_TRUE(poster.Done().failure.Failed());
    EXPECT_EQ(poster.Done().failure.destination, "Holiday 2.jpg");
    EXPECT_FALSE(poster.Done().cancelled);
    EXPECT_TRUE(poster.All<kvDeleteStatusAsyncData>().empty());
}

TEST(TransferRunOnShares, QuirksOfTheShareNeitherLoseACopyNorFailAGoodRun) {
    const std::string folder = kFolder;
    const auto path = [&folder](const std::string& name) { return folder + "/" + name; };
    const std::string busy = TemporaryCopyName("Holiday 2.jpg");
    struct Case {
        const char* what;
        std::function<void(FakeShare::State&)> plant;
        std::vector<std::string> expected; // the folder afterwards
    };
    const Case cases[] = {
        {"a share that keeps no letter case still reads the copies back",
         [](FakeShare::State& share) { share.lowerCaseNames = true; },
         {"holiday 1.jpg", "holiday 2.jpg"}},
        {"a name taken while the copy was written moves it to the next number",
         [&path](FakeShare::State& share) {
             share.beforeRename = [&share, &path](const std::string& target) -> ShareResult {
                 std::lock_guard lock(share.mutex);
                 if (target == path("Holiday 1.jpg")) {
                     share.files.emplace(target, "theirs");
                 }
                 return {};
             };
         },
         {"Holiday 1.jpg", "Holiday 2.jpg", "Holiday 3.jpg"}},
        {"a killed run's leftover goes",
         [&path](FakeShare::State& share) {
             share.files[path(TemporaryCopyName("Holiday 1.jpg"))] = "cut off";
         },
         {"Holiday 1.jpg", "Holiday 2.jpg"}},
        {"a temporary name another wizard is writing keeps its number",
         [&path, &busy](FakeShare::State& share) {
             share.files[path(busy)] = "being written";
             share.stuck = {path(busy)};
             share.removeFailure = ShareStatus::AccessDenied;
         },
         {busy, "Holiday 1.jpg", "Holiday 3.jpg"}},
    };
    for (const Case& quirk : cases) {
        SCOPED_TRACE(quirk.what);
        SourceFolder sources;
        sources.Add("a.jpg");
        sources.Add("b.jpg");
        const std::string first = sources.Contents("a.jpg");
        auto share = std::make_shared<FakeShare::State>();
        share->folders = {"FamilyLibrary/MyPhotos", folder};
        quirk.plant(*share);
        RecordingPoster poster;
        auto callback = std::make_shared<CFileTransferCallback>();
        callback->SetTarget(&poster, nullptr);
        auto transfer = std::make_unique<CSambaFileTransfer>(std::make_unique<FakeShare>(share));
        transfer->SetCallback(callback);
        CFileTransferStep step;
        step.SetTransfer(std::move(transfer));
        CTransferProperties properties;
        properties.groupName = "Holiday";
        properties.location = "MyPhotos/Trip";
        properties.pictures = &sources.Pictures();
        properties.deleteAfterCopy = true;
        step.Run(properties);

        EXPECT_FALSE(poster.Done().failure.Failed()) << poster.Done().failure.Describe();
        std::vector<std::string> names;
        for (const auto& [stored, contents] : share->files) {
            names.push_back(stored.substr(stored.rfind('/') + 1));
        }
        EXPECT_EQ(names, quirk.expected);
        EXPECT_FALSE(sources.Exists("a.jpg") || sources.Exists("b.jpg"))
            << "the originals go once their copies are read back";
        if (share->files[path("Holiday 1.jpg")] == "theirs") {
            EXPECT_EQ(share->files[path("Holiday 2.jpg")], first);
        }
    }
}

TEST_F(TransferStepTest, CancelDuringAFileRemovesItsPartAndEveryCopy) {
    sources.Add("1.jpg", 100);
    sources.Add("2.jpg", 3 << 20);
    sources.Add("3.jpg", 100);
    properties.deleteAfterCopy = true;
    poster.onPost = [this](const kvAsyncData& record) {
        auto* progress = dynamic_cast<const kvFileStatusAsyncData*>(&record);
        if (progress != nullptr && progress->totalBytes == (3u << 20) && progress->bytesDone > 0) {
            callback->Cancel();
        }
    };
    step.Run(properties);
    EXPECT_EQ(FilesOnShare(), 0u);
    EXPECT_TRUE(poster.Done().cancelled);
    EXPECT_FALSE(poster.Done().failure.Failed());
    EXPECT_EQ(poster.All<kvGroupStatusAsyncData>().size(), 2u);
    EXPECT_TRUE(sources.Exists("1.jpg"));
}

TEST_F(TransferStepTest, CancelBetweenFilesStopsBeforeTheNextCopy) {
    sources.Add("1.jpg");
    sources.Add("2.jpg");
    poster.onPost = [this](const kvAsyncData& record) {
        auto* group = dynamic_cast<const kvGroupStatusAsyncData*>(&record);
        if (group != nullptr && group->pictureNumber == 2) {
            callback->Cancel();
        }
    };
    step.Run(properties);
    EXPECT_EQ(FilesOnShare(), 0u);
    EXPECT_EQ(share->creates, 1);
    EXPECT_TRUE(poster.Done().cancelled);
}

TEST_F(TransferStepTest, ACancelWhileTheServerCannotBeReachedSaysWhatItLeftBehind) {
    sources.Add("1.jpg");
    sources.Add("2.jpg");
    share->stuck = {Path("Holiday 1.jpg")}; // the server is gone for good
    poster.onPost = [this](const kvAsyncData& record) {
        auto* group = dynamic_cast<const kvGroupStatusAsyncData*>(&record);
        if (group != nullptr && group->pictureNumber == 2) {
            callback->Cancel();
        }
    };
    step.Run(properties);
    EXPECT_TRUE(OnShare("Holiday 1.jpg"));
    const kvDoneCopyAsyncData& done = poster.Done();
    EXPECT_TRUE(done.cancelled);
    EXPECT_EQ(done.failure.leftBehind, 1);
    // The cancel page shows the run's failure line only for a run that has a failure.
    EXPECT_TRUE(done.failure.Failed()) << "a cancel that leaves a copy behind must say so";
    EXPECT_NE(done.failure.Describe().find("1 copied file(s) could not be removed"),
              std::string::npos)
        << done.failure.Describe();
}

TEST_F(TransferStepTest, CancelAfterTheLastCopyRemovesCopiesAndDeletesNoSource) {
    sources.Add("1.jpg");
    sources.Add("2.jpg");
    properties.deleteAfterCopy = true;
    std::atomic<bool> paused = false;
    // The page closes the gate while it asks; the answer comes after the last copy is done.
    poster.onPost = [&](const kvAsyncData& record) {
        auto* progress = dynamic_cast<const kvFileStatusAsyncData*>(&record);
        auto groups = poster.All<kvGroupStatusAsyncData>();
        if (progress != nullptr && groups.size() == 2 && progress->bytesDone == 1000) {
            callback->Pause();
            paused = true;
        }
    };
    ASSERT_TRUE(step.Start(properties));
    while (!paused) {
        std::this_thread::sleep_for(1ms);
    }
    std::this_thread::sleep_for(20ms);
    EXPECT_TRUE(step.IsRunning()) << "the worker waits at the closed gate";
    callback->Cancel();
    callback->Resume();
    step.Wait();

    EXPECT_EQ(FilesOnShare(), 0u);
    EXPECT_TRUE(sources.Exists("1.jpg"));
    EXPECT_TRUE(sources.Exists("2.jpg"));
    EXPECT_TRUE(poster.Done().cancelled);
    EXPECT_TRUE(poster.All<kvSwitchDeletePageAsyncData>().empty());
}

TEST_F(TransferStepTest, DeletesSourcesAfterACompleteCopyAndSkipsOnesThatCannotGo) {
    sources.Add("1.jpg");
    sources.Add("2.jpg");
    sources.Add("3.jpg");
    properties.deleteAfterCopy = true;
    poster.onPost = [this](const kvAsyncData& record) {
        auto* deleting = dynamic_cast<const kvDeleteStatusAsyncData*>(&record);
        if (deleting != nullptr && deleting->pictureNumber == 2) {
            std::filesystem::remove(sources.Root() + "/2.jpg"); // gone before its turn
        }
    };
    step.Run(properties);
    EXPECT_FALSE(sources.Exists("1.jpg"));
    EXPECT_FALSE(sources.Exists("3.jpg"));
    EXPECT_EQ(FilesOnShare(), 3u);
    EXPECT_EQ(poster.All<kvSwitchDeletePageAsyncData>().size(), 1u);
    const auto deletes = poster.All<kvDeleteStatusAsyncData>();
    ASSERT_EQ(deletes.size(), 3u);
    EXPECT_EQ(deletes[0]->pictureName, "1.jpg");
    EXPECT_FALSE(poster.Done().cancelled);
    EXPECT_FALSE(poster.Done().failure.Failed());
}

TEST_F(TransferStepTest, CancelDuringTheDeletePassStopsItAndKeepsTheCopies) {
    sources.Add("1.jpg");
    sources.Add("2.jpg");
    sources.Add("3.jpg");
    properties.deleteAfterCopy = true;
    poster.onPost = [this](const kvAsyncData& record) {
        auto* deleting = dynamic_cast<const kvDeleteStatusAsyncData*>(&record);
        if (deleting != nullptr && deleting->pictureNumber == 2) {
            callback->Cancel();
        }
    };
    step.Run(properties);
    EXPECT_FALSE(sources.Exists("1.jpg"));
    EXPECT_TRUE(sources.Exists("2.jpg"));
    EXPECT_TRUE(sources.Exists("3.jpg"));
    EXPECT_EQ(FilesOnShare(), 3u);
    EXPECT_EQ(step.CopiedList().size(), 3u);
    EXPECT_TRUE(poster.Done().cancelled);
}

TEST_F(TransferStepTest, DestroyingAPausedStepCancelsItsWorkerAndWaitsForIt) {
    sources.Add("1.jpg");
    sources.Add("2.jpg");
    std::atomic<bool> paused = false;
    poster.onPost = [&](const kvAsyncData& record) {
        if (dynamic_cast<const kvGroupStatusAsyncData*>(&record) != nullptr && !paused) {
            callback->Pause();
            paused = true;
        }
    };
    auto owned = std::make_unique<CFileTransferStep>();
    auto transfer = std::make_unique<CSambaFileTransfer>(std::make_unique<FakeShare>(share));
    transfer->SetCallback(callback);
    owned->SetTransfer(std::move(transfer));
    ASSERT_TRUE(owned->Start(properties));
    while (!paused) {
        std::this_thread::sleep_for(1ms);
    }
    owned.reset();

    EXPECT_TRUE(poster.Done().cancelled);
    const size_t posted = poster.Count();
    std::this_thread::sleep_for(20ms);
    EXPECT_EQ(poster.Count(), posted) << "nothing is posted after the step is gone";
    EXPECT_EQ(FilesOnShare(), 0u);
}

TEST_F(TransferStepTest, ARunStartedWhileACancelledOneWindsDownWaitsForItAndKeepsItsOwnState) {
    sources.Add("1.jpg", 3 << 20);
    auto transfer = std::make_unique<CSambaFileTransfer>(std::make_unique<FakeShare>(share),
                                                         CSambaFileTransfer::kMinimumChunkSize);
    transfer->SetCallback(callback);
    step.SetTransfer(std::move(transfer));
    // The first run's second piece is held until the second run has been started.
    std::mutex holdMutex;
    std::condition_variable holdChanged;
    bool held = false;
    bool released = false;
    share->beforeWrite = [&](const std::string& path, uint64_t written) -> ShareResult {
        if (path == Path("Holiday 1.jpg") && written > 0) {
            std::unique_lock lock(holdMutex);
            held = true;
            holdChanged.notify_all();
            holdChanged.wait(lock, [&] { return released; });
        }
        return {};
    };
    const std::shared_ptr<CTransferRunControl> first = step.Start(properties);
    ASSERT_NE(first, nullptr);
    {
        std::unique_lock lock(holdMutex);
        holdChanged.wait(lock, [&] { return held; });
    }
    // The page's Yes, then cancel page -> Back -> folder page -> Next, all while the first run
    // is still writing.
    callback->Pause();
    callback->Cancel();
    callback->Resume();
    callback->ResetCancel();
    properties.groupName = "Again";
    const std::shared_ptr<CTransferRunControl> second = step.Start(properties);
    ASSERT_NE(second, nullptr);
    EXPECT_NE(second, first);
    EXPECT_TRUE(first->IsCancelled()) << "the new run's clean start leaves the old one cancelled";
    // What the sheet changes afterwards does not reach the run.
    properties.groupName = "Later";
    sources.Add("2.jpg");
    {
        std::lock_guard lock(holdMutex);
        released = true;
    }
    holdChanged.notify_all();
    step.Wait();

    EXPECT_FALSE(step.IsRunning());
    EXPECT_TRUE(first->HasEnded() && second->HasEnded());
    const auto done = poster.All<kvDoneCopyAsyncData>();
    ASSERT_EQ(done.size(), 2u);
    EXPECT_TRUE(done[0]->cancelled);
    EXPECT_FALSE(done[1]->cancelled);
    EXPECT_FALSE(done[1]->failure.Failed());
    EXPECT_FALSE(OnShare("Holiday 1.jpg"));
    EXPECT_EQ(step.CopiedList(), std::vector<std::string>{Path("Again 1.jpg")});
    EXPECT_EQ(FilesOnShare(), 1u);
}

TEST_F(TransferStepTest, ARunThatFailsSaysSoEvenWhenACancelCameToo) {
    sources.Add("1.jpg");
    sources.Add("2.jpg");
    share->beforeWrite = [this](const std::string& path, uint64_t) -> ShareResult {
        if (path == Path("Holiday 2.jpg")) {
            callback->Cancel(); // the user's Yes lands as the server fails
            return {ShareStatus::DiskFull, ENOSPC};
        }
        return {};
    };
    step.Run(properties);
    EXPECT_FALSE(poster.Done().cancelled);
    EXPECT_EQ(poster.Done().failure.status, ShareStatus::DiskFull);
    EXPECT_EQ(FilesOnShare(), 0u);
}

TEST_F(TransferStepTest, ACancelGivenWhileTheLastPictureFinishesRollsBackWithNothingToDelete) {
    sources.Add("1.jpg");
    sources.Add("2.jpg");
    std::atomic<bool> paused = false;
    poster.onPost = [&](const kvAsyncData& record) {
        auto* progress = dynamic_cast<const kvFileStatusAsyncData*>(&record);
        if (progress != nullptr && poster.All<kvGroupStatusAsyncData>().size() == 2 &&
            progress->bytesDone == 1000) {
            callback->Pause();
            paused = true;
        }
    };
    ASSERT_NE(step.Start(properties), nullptr);
    while (!paused) {
        std::this_thread::sleep_for(1ms);
    }
    std::this_thread::sleep_for(20ms);
    EXPECT_TRUE(step.IsRunning()) << "the worker waits at the gate after the copy pass";
    callback->Cancel();
    callback->Resume();
    step.Wait();
    EXPECT_EQ(FilesOnShare(), 0u);
    EXPECT_TRUE(poster.Done().cancelled);
    EXPECT_TRUE(step.CopiedList().empty());
}

TEST_F(TransferStepTest, CopiesAreReadBackOnlyToGuardADelete) {
    sources.Add("1.jpg");
    sources.Add("2.jpg");
    share->listFailure = ShareStatus::ConnectionLost;
    step.Run(properties);
    EXPECT_FALSE(poster.Done().failure.Failed()) << poster.Done().failure.Describe();
    EXPECT_EQ(step.CopiedList().size(), 2u);
    EXPECT_EQ(FilesOnShare(), 2u);

    // With the sources to go, a listing that fails keeps them and takes the copies back.
    RecordingPoster second;
    callback->SetTarget(&second, nullptr);
    properties.deleteAfterCopy = true;
    step.Run(properties);
    EXPECT_EQ(second.Done().failure.status, ShareStatus::ConnectionLost);
    EXPECT_EQ(FilesOnShare(), 2u) << "only the first run's copies are left";
    EXPECT_TRUE(sources.Exists("1.jpg") && sources.Exists("2.jpg"));
}

TEST_F(TransferStepTest, GivesUpAfterABoundedNumberOfTakenNames) {
    sources.Add("1.jpg");
    share->everyNameTaken = true;
    step.Run(properties);
    EXPECT_EQ(share->creates, CTransferRun::kMaxNameTries);
    const kvDoneCopyAsyncData& done = poster.Done();
    EXPECT_FALSE(done.cancelled);
    EXPECT_EQ(done.failure.status, ShareStatus::AlreadyExists);
    EXPECT_EQ(done.failure.destination,
              "Holiday " + std::to_string(CTransferRun::kMaxNameTries) + ".jpg");
    EXPECT_EQ(FilesOnShare(), 0u);
}

// A step whose next worker threads cannot be made.
class ThreadlessStep : public CFileTransferStep {
public:
    std::atomic<bool> refuse = true;

protected:
    std::thread MakeWorker(std::function<void()> body) override {
        if (refuse) {
            throw std::system_error(EAGAIN, std::generic_category(), "no thread");
        }
        return CFileTransferStep::MakeWorker(std::move(body));
    }
};

TEST_F(TransferStepTest, AWorkerThatCannotBeMadeIsAFailedRunAndTheEarlierRunGoesOn) {
    sources.Add("1.jpg");
    ThreadlessStep threadless;
    auto transfer = std::make_unique<CSambaFileTransfer>(std::make_unique<FakeShare>(share));
    transfer->SetCallback(callback);
    threadless.SetTransfer(std::move(transfer));
    std::atomic<bool> paused = false;
    poster.onPost = [&](const kvAsyncData& record) {
        if (dynamic_cast<const kvGroupStatusAsyncData*>(&record) != nullptr && !paused) {
            callback->Pause();
            paused = true;
        }
    };
    threadless.refuse = false;
    const std::shared_ptr<CTransferRunControl> first = threadless.Start(properties);
    ASSERT_NE(first, nullptr);
    while (!paused) {
        std::this_thread::sleep_for(1ms);
    }

    threadless.refuse = true;
    std::shared_ptr<CTransferRunControl> second;
    EXPECT_NO_THROW(second = threadless.Start(properties));
    ASSERT_NE(second, nullptr);
    EXPECT_TRUE(second->HasEnded());
    auto done = poster.All<kvDoneCopyAsyncData>();
    ASSERT_EQ(done.size(), 1u);
    EXPECT_FALSE(done[0]->cancelled);
    EXPECT_EQ(done[0]->failure.status, ShareStatus::Failed);
    EXPECT_EQ(done[0]->failure.error, EAGAIN);
    EXPECT_TRUE(threadless.IsRunning()) << "the paused first run";

    first->Resume();
    threadless.Wait();
    EXPECT_FALSE(threadless.IsRunning());
    done = poster.All<kvDoneCopyAsyncData>();
    ASSERT_EQ(done.size(), 2u);
    EXPECT_FALSE(done[1]->failure.Failed());
    EXPECT_TRUE(OnShare("Holiday 1.jpg"));
}

TEST_F(TransferStepTest, ClosingCancelsTheQueuedRunsTooAndEachReportsOnce) {
    sources.Add("1.jpg");
    // The first run's gate closes once its only picture is on the share: the run then waits
    // there, whatever the machine's load, until the step is closed.
    const auto copied = [](const kvAsyncData& record) {
        auto* progress = dynamic_cast<const kvFileStatusAsyncData*>(&record);
        return progress != nullptr && progress->bytesDone == 1000;
    };
    poster.onPost = [&](const kvAsyncData& record) {
        if (copied(record)) {
            callback->Pause();
        }
    };
    ASSERT_NE(step.Start(properties), nullptr);
    ASSERT_TRUE(poster.WaitFor(copied, 30s)) << "the first run never copied its picture";
    properties.location = "MyPhotos\\Other";
    ASSERT_NE(step.Start(properties), nullptr);
    step.CancelAll();
    step.Wait();
    const auto done = poster.All<kvDoneCopyAsyncData>();
    ASSERT_EQ(done.size(), 2u);
    EXPECT_TRUE(done[0]->cancelled && done[1]->cancelled);
    EXPECT_EQ(FilesOnShare(), 0u);
    EXPECT_EQ(share->creates, 1);
    EXPECT_EQ(share->folders.count("FamilyLibrary/MyPhotos/Other"), 0u)
        << "a run cancelled before its turn leaves the server alone";
}

TEST_F(TransferStepTest, TheSheetCanCancelADeletePassAndWaitForTheWorker) {
    sources.Add("1.jpg");
    sources.Add("2.jpg");
    sources.Add("3.jpg");
    properties.deleteAfterCopy = true;
    std::atomic<bool> paused = false;
    poster.onPost = [&](const kvAsyncData& record) {
        auto* deleting = dynamic_cast<const kvDeleteStatusAsyncData*>(&record);
        if (deleting != nullptr && deleting->pictureNumber == 2) {
            callback->Pause();
            paused = true;
        }
    };
    ASSERT_NE(step.Start(properties), nullptr);
    while (!paused) {
        std::this_thread::sleep_for(1ms);
    }
    EXPECT_TRUE(step.IsRunning());
    step.CancelAll(); // the wizard is closing
    step.Wait();
    EXPECT_FALSE(step.IsRunning());
    EXPECT_TRUE(poster.Done().cancelled);
    EXPECT_EQ(FilesOnShare(), 3u) << "verified copies stay";
    EXPECT_FALSE(sources.Exists("1.jpg"));
    EXPECT_TRUE(sources.Exists("3.jpg"));
}

TEST_F(TransferStepTest, AServerThatTakesNoFilesFailsTheRunAtOnce) {
    sources.Add("1.jpg");
    auto transfer = std::make_unique<CWebDAVFileTransfer>();
    transfer->SetCallback(callback);
    step.SetTransfer(std::move(transfer));
    step.Run(properties);
    EXPECT_EQ(poster.Done().failure.status, ShareStatus::NotSupported);
    EXPECT_FALSE(poster.Done().cancelled);
    EXPECT_TRUE(sources.Exists("1.jpg"));
}

TEST_F(TransferStepTest, ProgressMovesAtLeastEveryMebibyteWhateverTheChunkSize) {
    const uint64_t size = 5'000'000;
    sources.Add("big.jpg", size);
    step.Run(properties);
    const auto progress = poster.All<kvFileStatusAsyncData>();
    ASSERT_GE(progress.size(), 2u);
    for (size_t i = 1; i < progress.size(); ++i) {
        EXPECT_LE(progress[i]->bytesDone - progress[i - 1]->bytesDone,
                  CSambaFileTransfer::kProgressStep)
            << "record " << i;
    }
    EXPECT_EQ(progress.back()->bytesDone, size);
    EXPECT_EQ(share->files[Path("Holiday 1.jpg")], sources.Contents("big.jpg"));
}

TEST_F(TransferStepTest, ReportsProgressAfterEveryChunk) {
    sources.Add("big.jpg", (5 << 20) + 10);
    auto transfer = std::make_unique<CSambaFileTransfer>(std::make_unique<FakeShare>(share),
                                                         CSambaFileTransfer::kMinimumChunkSize);
    transfer->SetCallback(callback);
    step.SetTransfer(std::move(transfer));
    step.Run(properties);
    const auto progress = poster.All<kvFileStatusAsyncData>();
    ASSERT_EQ(progress.size(), 7u); // the start, then six chunks
    EXPECT_EQ(progress.front()->bytesDone, 0u);
    EXPECT_EQ(progress[1]->bytesDone, 1u << 20);
    EXPECT_EQ(progress.back()->bytesDone, (5u << 20) + 10);
    EXPECT_EQ(progress.back()->Percent(), 100);
    EXPECT_EQ(share->files[Path("Holiday 1.jpg")], sources.Contents("big.jpg"));
}

} // namespace
