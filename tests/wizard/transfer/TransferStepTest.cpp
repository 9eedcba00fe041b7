// The copy step against an in-memory share: numbering, never overwriting, rollback, verification,
// the delete pass and every way a run can be cancelled.
#include "TransferTestSupport.h"
#include "wizard/transfer/FileTransferStep.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
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

TEST_F(TransferStepTest, ContinuesAfterTheHighestJpgNumberWhateverItsCase) {
    PutOnShare("Holiday 3.jpg", "x");
    PutOnShare("holiday 7.JPG", "x");
    PutOnShare("Holiday 12.png", "x"); // not a .jpg: not counted
    PutOnShare("Other 40.jpg", "x");
    sources.Add("p.png");
    step.Run(properties);
    EXPECT_EQ(step.CopiedList(), std::vector<std::string>{Path("Holiday 8.png")});
}

TEST_F(TransferStepTest, NeverOverwritesAndRollsBackOnlyItsOwnCopies) {
    // "Holiday 1.png" is invisible to the .jpg scan; "Holiday 3.jpg" appears while the run is
    // under way, as if someone else wrote it.
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
    share->failCreateNumber = 5; // the third picture's first attempt (after two taken names)
    step.Run(properties);

    EXPECT_EQ(share->files[Path("Holiday 1.png")], "theirs");
    EXPECT_EQ(share->files[Path("Holiday 3.jpg")], "also theirs");
    EXPECT_FALSE(OnShare("Holiday 2.png"));
    EXPECT_FALSE(OnShare("Holiday 4.jpg"));
    EXPECT_EQ(FilesOnShare(), 2u);
    EXPECT_TRUE(step.CopiedList().empty());
}

TEST_F(TransferStepTest, TakesTheNextFreeNumberWhenANameIsTaken) {
    PutOnShare("Holiday 1.png", "theirs");
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
    share->stuck = {Path("Holiday 2.jpg")};
    share->removeFailures = 1;
    step.Run(properties);
    EXPECT_EQ(FilesOnShare(), 0u);
    EXPECT_EQ(poster.Done().failure.status, ShareStatus::ConnectionLost);
    EXPECT_EQ(poster.Done().failure.leftBehind, 0);
    EXPECT_TRUE(sources.Exists("1.jpg") && sources.Exists("2.jpg"));

    // A server that never comes back: the copy and the partial file are both counted.
    share->files.clear();
    share->removeFailures = -1;
    share->stuck = {Path("Holiday 1.jpg"), Path("Holiday 2.jpg")};
    RecordingPoster second;
    callback->SetTarget(&second, nullptr);
    step.Run(properties);
    EXPECT_EQ(second.Done().failure.leftBehind, 2);
    EXPECT_TRUE(OnShare("Holiday 2.jpg"));
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

TEST_F(TransferStepTest, ASecondStartWhileRunningIsRefused) {
    sources.Add("1.jpg");
    callback->Pause();
    ASSERT_TRUE(step.Start(properties));
    EXPECT_FALSE(step.Start(properties));
    EXPECT_FALSE(step.SetTransfer(nullptr));
    callback->Resume();
    step.Wait();
    EXPECT_EQ(poster.All<kvDoneCopyAsyncData>().size(), 1u);
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
