// Copies under way at once (a transfer with lanes, as to a web folder), against an in-memory
// share: names in picture order whatever arrives first, and a failure or a taken name while
// other copies are under way.
#include "TransferTestSupport.h"
#include "wizard/transfer/FileTransferStep.h"
#include "wizard/transfer/TransferNaming.h"

#include <gtest/gtest.h>

#include <thread>

using namespace std::chrono_literals;

namespace {

// "<text><number><suffix>", built by appending (GCC 12's -O3 misreads a literal joined to a
// temporary string as an overlapping copy).
std::string Numbered(std::string text, long number, const char* suffix) {
    text += std::to_string(number);
    text += suffix;
    return text;
}

constexpr const char* kFolder = "FamilyLibrary/Trip";

class ParallelCopyTest : public ::testing::Test {
protected:
    void SetUp() override {
        callback->SetTarget(&poster, nullptr);
        properties.groupName = "Holiday";
        properties.location = "Trip";
        properties.pictures = &sources.Pictures();
        share->folders.insert(kFolder);
        auto transfer = std::make_unique<CWebDAVFileTransfer>(
            [this] { return std::make_unique<FakeShare>(share); });
        EXPECT_EQ(transfer->Lanes().size(), CWebDAVFileTransfer::kLanes);
        transfer->SetCallback(callback);
        step.SetTransfer(std::move(transfer));
        step.SetCleanupPatience(300ms);
    }

    std::string Path(const std::string& name) const { return std::string(kFolder) + "/" + name; }
    std::map<std::string, std::string> Files() {
        std::lock_guard lock(share->mutex);
        return share->files;
    }

    SourceFolder sources;
    std::shared_ptr<FakeShare::State> share = std::make_shared<FakeShare::State>();
    RecordingPoster poster;
    std::shared_ptr<CFileTransferCallback> callback = std::make_shared<CFileTransferCallback>();
    CTransferProperties properties;
    CFileTransferStep step;
};

TEST_F(ParallelCopyTest, NamesFollowThePicturesWhicheverArrivesFirst) {
    for (int i = 0; i < 7; ++i) {
        sources.Add(Numbered("p", i, ".jpg"), 3000 + i);
    }
    // The first picture is slow: the ones after it arrive before it.
    share->beforeWrite = [](const std::string& path, uint64_t) {
        if (path.ends_with("Holiday 1.jpg")) {
            std::this_thread::sleep_for(100ms);
        }
        return ShareResult{};
    };
    step.Run(properties);

    EXPECT_FALSE(poster.Done().failure.Failed());
    std::vector<std::string> expected;
    for (int i = 0; i < 7; ++i) {
        expected.push_back(Path(Numbered("Holiday ", i + 1, ".jpg")));
        EXPECT_EQ(Files()[expected.back()], sources.Contents(Numbered("p", i, ".jpg")));
    }
    EXPECT_EQ(step.CopiedList(), expected);
    EXPECT_EQ(properties.number, 7);
}

TEST_F(ParallelCopyTest, AFailureWhileOthersAreUnderWayTakesBackEveryCopyThatArrived) {
    for (int i = 0; i < 6; ++i) {
        sources.Add(Numbered("p", i, ".jpg"), 3000);
    }
    share->beforeWrite = [](const std::string& path, uint64_t) {
        if (path.ends_with("Holiday 2.jpg")) {
            std::this_thread::sleep_for(50ms); // the third and fourth get there first
            return ShareResult{ShareStatus::DiskFull, ENOSPC};
        }
        return ShareResult{};
    };
    step.Run(properties);

    const kvDoneCopyAsyncData& done = poster.Done();
    EXPECT_FALSE(done.cancelled);
    EXPECT_EQ(done.failure.status, ShareStatus::DiskFull);
    EXPECT_EQ(done.failure.leftBehind, 0);
    EXPECT_TRUE(Files().empty());
    EXPECT_TRUE(step.CopiedList().empty());
}

TEST_F(ParallelCopyTest, ANameTakenMeanwhileMovesThatPictureOnWithoutReplacingAnything) {
    for (int i = 0; i < 4; ++i) {
        sources.Add(Numbered("p", i, ".jpg"), 3000 + i);
    }
    // Someone else's Holiday 2.jpg appears while the copy under that name is written.
    share->beforeRename = [this](const std::string& to) {
        if (to.ends_with("Holiday 2.jpg")) {
            std::lock_guard lock(share->mutex);
            share->files[to] = "theirs";
        }
        return ShareResult{};
    };
    step.Run(properties);

    EXPECT_FALSE(poster.Done().failure.Failed());
    const auto files = Files();
    EXPECT_EQ(files.at(Path("Holiday 2.jpg")), "theirs");
    EXPECT_EQ(files.at(Path("Holiday 5.jpg")), sources.Contents("p1.jpg"));
    EXPECT_EQ(files.size(), 5u);
}

} // namespace
