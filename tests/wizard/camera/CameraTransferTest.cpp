// The copy step in camera mode against a made-up camera and the in-memory share: numbering among
// the pictures, the copies' names, the delete pass and its guards, a camera that goes away, and
// cancels while a picture streams from the camera.
#include "wizard/camera/CameraTransfer.h"
#include "wizard/sheet/AlreadyCopied.h"
#include "wizard/transfer/FileTransferStep.h"

#include "tests/wizard/camera/FakeCamera.h"
#include "tests/wizard/transfer/TransferTestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

constexpr const char* kFolder = "FamilyLibrary/Camera";
constexpr const char* kPort = "usb:001,002";

std::string Pattern(size_t size, char seed) {
    std::string data(size, '\0');
    for (size_t i = 0; i < size; ++i) {
        data[i] = static_cast<char>(seed + static_cast<char>(i * 7 + i / 251));
    }
    return data;
}

class CameraTransferTest : public ::testing::Test {
protected:
    void SetUp() override {
        callback->SetTarget(&poster, nullptr);
        properties.groupName = "Holiday";
        properties.location = "Camera";
        properties.cameraMode = true;
        properties.cameraDeviceId = kPort;
        // The cases below are about pictures; those with videos say so.
        properties.copyVideos = false;
        system->cameras = {{"Fake Camera", kPort}};
        system->makeCamera = [this](const CameraPort&) {
            return std::make_unique<CBorrowedCamera>(camera);
        };
        auto transfer = std::make_unique<CSambaFileTransfer>(std::make_unique<FakeShare>(share));
        transfer->SetCallback(callback);
        step.SetTransfer(std::move(transfer));
        step.SetCleanupPatience(300ms);
        step.SetCameraPictures(CameraPicturesThrough(system, release));
    }

    std::string Path(const std::string& name) const { return std::string(kFolder) + "/" + name; }
    std::string OnShare(const std::string& name) {
        std::lock_guard lock(share->mutex);
        const auto found = share->files.find(Path(name));
        return found == share->files.end() ? std::string("<missing>") : found->second;
    }
    size_t FilesOnShare() {
        std::lock_guard lock(share->mutex);
        return share->files.size();
    }
    std::vector<std::string> Copied() const { return step.CopiedList(); }
    std::vector<std::string> Paths(std::initializer_list<const char*> names) const {
        std::vector<std::string> paths;
        for (const char* name : names) {
            paths.push_back(Path(name));
        }
        return paths;
    }

    CFakeCamera camera{{"Fake Camera", kPort}};
    std::shared_ptr<CFakeCameraSystem> system = std::make_shared<CFakeCameraSystem>();
    std::shared_ptr<CRecordingRelease> release = std::make_shared<CRecordingRelease>();
    std::shared_ptr<FakeShare::State> share = std::make_shared<FakeShare::State>();
    RecordingPoster poster;
    std::shared_ptr<CFileTransferCallback> callback = std::make_shared<CFileTransferCallback>();
    CTransferProperties properties;
    CFileTransferStep step;
};

TEST_F(CameraTransferTest, AVideoNotWantedIsLeftOutOfTheCopiesAndOfTheirNumbers) {
    camera.AddFolder("/", "DCIM");
    camera.AddFolder("/DCIM", "100TEST");
    camera.AddFolder("/DCIM", "101TEST");
    camera.AddData("/DCIM/100TEST", "MVI_0001.MOV", "video/quicktime", Pattern(5000, 1));
    camera.AddData("/DCIM/100TEST", "IMG_0002.JPG", "image/jpeg", Pattern(3000, 2));
    camera.AddData("/DCIM/100TEST", "NOTES.TXT", "text/plain", "notes");
    camera.AddData("/DCIM/101TEST", "IMG_0003.JPG", "image/jpeg", Pattern(70000, 3));
    step.Run(properties);

    EXPECT_EQ(Copied(), Paths({"Holiday 1.jpg", "Holiday 2.jpg"}));
    EXPECT_EQ(OnShare("Holiday 1.jpg"), Pattern(3000, 2));
    EXPECT_EQ(OnShare("Holiday 2.jpg"), Pattern(70000, 3));
    EXPECT_EQ(FilesOnShare(), 2u);
    EXPECT_EQ(properties.total, 2u);
    EXPECT_EQ(camera.reads, (std::vector<std::string>{"/DCIM/100TEST/IMG_0002.JPG",
                                                      "/DCIM/101TEST/IMG_0003.JPG"}));
    const auto groups = poster.All<kvGroupStatusAsyncData>();
    ASSERT_EQ(groups.size(), 2u);
    for (size_t i = 0; i < groups.size(); ++i) {
        EXPECT_EQ(groups[i]->pictureNumber, int(i + 1));
        EXPECT_EQ(groups[i]->pictureCount, 2);
    }
    const kvDoneCopyAsyncData& done = poster.Done();
    EXPECT_FALSE(done.cancelled);
    EXPECT_FALSE(done.failure.Failed());
    EXPECT_EQ(done.skipped, 0u);
    EXPECT_TRUE(camera.deleted.empty()) << "nothing goes unless asked";
    EXPECT_TRUE(poster.All<kvSwitchDeletePageAsyncData>().empty());
}

TEST_F(CameraTransferTest, NamesComeFromTheTypesAndSameNamesInTwoFoldersAreTwoCopies) {
    // The folder's scan counts every kind of picture: Holiday 9.png holds number 9.
    share->folders.insert("FamilyLibrary");
    share->folders.insert(kFolder);
    share->files[Path("Holiday 4.jpg")] = "theirs";
    share->files[Path("Holiday 9.png")] = "theirs too";
    camera.AddFolder("/", "DCIM");
    camera.AddFolder("/DCIM", "100TEST");
    camera.AddFolder("/DCIM", "101TEST");
    camera.AddData("/DCIM/100TEST", "IMG_0001.JPG", "image/jpeg", Pattern(100, 1));
    camera.AddData("/DCIM/100TEST", "SHOT.PNG", "image/png", Pattern(200, 2));
    camera.AddData("/DCIM/100TEST", "IMG_0002.JPG", "image/png", Pattern(300, 3));
    camera.AddData("/DCIM/100TEST", "RAW_0003", "image/tiff", Pattern(400, 4));
    camera.AddData("/DCIM/101TEST", "IMG_0001.JPG", "image/jpeg", Pattern(500, 5));
    step.Run(properties);

    EXPECT_EQ(Copied(), Paths({"Holiday 10.jpg", "Holiday 11.png", "Holiday 12.png",
                               "Holiday 13.tif", "Holiday 14.jpg"}));
    EXPECT_EQ(OnShare("Holiday 10.jpg"), Pattern(100, 1));
    EXPECT_EQ(OnShare("Holiday 12.png"), Pattern(300, 3)) << "a PNG named .JPG stays a PNG";
    EXPECT_EQ(OnShare("Holiday 14.jpg"), Pattern(500, 5)) << "the second IMG_0001.JPG";
    EXPECT_EQ(OnShare("Holiday 9.png"), "theirs too");
    EXPECT_EQ(OnShare("Holiday 4.jpg"), "theirs");
    EXPECT_EQ(poster.All<kvGroupStatusAsyncData>().back()->pictureNumber, 5);
    EXPECT_EQ(poster.All<kvGroupStatusAsyncData>().back()->pictureCount, 5);
}

TEST_F(CameraTransferTest, ARawFileItsJpegAndSidecarTakeOneNumberAndGoTogether) {
    properties.copyVideos = true;
    properties.deleteAfterCopy = true;
    camera.AddFolder("/", "DCIM");
    camera.AddFolder("/DCIM", "100TEST");
    camera.AddData("/DCIM/100TEST", "IMG_0001.CR2", "image/x-raw", Pattern(700, 1));
    camera.AddData("/DCIM/100TEST", "IMG_0001.JPG", "image/jpeg", Pattern(300, 2));
    camera.AddData("/DCIM/100TEST", "IMG_0001.XMP", "application/octet-stream", "<x/>");
    camera.AddData("/DCIM/100TEST", "MVI_0002.MOV", "video/quicktime", Pattern(900, 3));
    camera.AddData("/DCIM/100TEST", "IMG_0005.XMP", "application/octet-stream", "<y/>");
    step.Run(properties);

    EXPECT_EQ(Copied(),
              Paths({"Holiday 1.cr2", "Holiday 1.jpg", "Holiday 1.xmp", "Holiday 2.mov"}));
    EXPECT_EQ(OnShare("Holiday 1.xmp"), "<x/>");
    EXPECT_EQ(properties.total, 2u);
    EXPECT_EQ(poster.Done().picturesCopied, 1u);
    EXPECT_EQ(poster.Done().videosCopied, 1u);
    EXPECT_EQ(camera.deleted, (std::vector<std::string>{
                                  "/DCIM/100TEST/IMG_0001.CR2", "/DCIM/100TEST/IMG_0001.JPG",
                                  "/DCIM/100TEST/IMG_0001.XMP", "/DCIM/100TEST/MVI_0002.MOV"}));
    EXPECT_TRUE(camera.Holds("/DCIM/100TEST", "IMG_0005.XMP"));
}

class CameraDeleteTest : public CameraTransferTest {
protected:
    void SetUp() override {
        CameraTransferTest::SetUp();
        properties.deleteAfterCopy = true;
        camera.AddFolder("/", "DCIM");
        camera.AddFolder("/DCIM", "100TEST");
        camera.AddData("/DCIM/100TEST", "IMG_0001.JPG", "image/jpeg", Pattern(4000, 1));
        camera.AddData("/DCIM/100TEST", "MVI_0002.MOV", "video/quicktime", Pattern(9000, 2));
        camera.AddData("/DCIM/100TEST", "IMG_0003.PNG", "image/png", Pattern(5000, 3));
        camera.AddData("/DCIM/100TEST", "INDEX.DAT", "application/octet-stream", "x");
        camera.AddData("/DCIM/100TEST", "IMG_0004.JPG", "image/jpeg", Pattern(6000, 4));
    }

    bool Stays(const char* name) const { return camera.Holds("/DCIM/100TEST", name); }
    bool NoPictureDeleted() const {
        return camera.deleted.empty() && Stays("IMG_0001.JPG") && Stays("IMG_0003.PNG") &&
               Stays("IMG_0004.JPG");
    }
};

TEST_F(CameraDeleteTest, OnlyThePicturesGoAndOnlyOnceEveryCopyIsOnTheShare) {
    size_t copiesAtFirstDelete = 0;
    size_t deletedAtFirstDelete = 99;
    poster.onPost = [&](const kvAsyncData& record) {
        if (dynamic_cast<const kvDeleteStatusAsyncData*>(&record) != nullptr &&
            deletedAtFirstDelete == 99) {
            copiesAtFirstDelete = FilesOnShare();
            deletedAtFirstDelete = camera.deleted.size();
        }
    };
    step.Run(properties);

    EXPECT_EQ(copiesAtFirstDelete, 3u);
    EXPECT_EQ(deletedAtFirstDelete, 0u);
    EXPECT_EQ(camera.deleted,
              (std::vector<std::string>{"/DCIM/100TEST/IMG_0001.JPG", "/DCIM/100TEST/IMG_0003.PNG",
                                        "/DCIM/100TEST/IMG_0004.JPG"}));
    EXPECT_TRUE(Stays("MVI_0002.MOV") && Stays("INDEX.DAT"));
    EXPECT_EQ(OnShare("Holiday 2.png"), Pattern(5000, 3));
    EXPECT_EQ(poster.All<kvSwitchDeletePageAsyncData>().size(), 1u);
    const auto deletes = poster.All<kvDeleteStatusAsyncData>();
    ASSERT_EQ(deletes.size(), 3u);
    EXPECT_EQ(deletes[2]->pictureNumber, 3);
    EXPECT_EQ(deletes[2]->pictureCount, 3);
    EXPECT_EQ(deletes[1]->pictureName, "IMG_0003.PNG");
    EXPECT_FALSE(poster.Done().failure.Failed());
    EXPECT_EQ(Copied().size(), 3u);
}

TEST_F(CameraDeleteTest, APictureTheCameraProtectsStaysWhileTheOthersGo) {
    // Walked first, so a pass that stopped at it would delete nothing.
    camera.AddData("/", "IMG_0000.JPG", "image/jpeg", Pattern(10, 5), false);
    camera.undeletable.insert("/IMG_0000.JPG");
    step.Run(properties);
    EXPECT_EQ(camera.deleted.size(), 3u);
    EXPECT_TRUE(camera.Holds("/", "IMG_0000.JPG"));
    EXPECT_EQ(Copied().size(), 4u);
    EXPECT_EQ(OnShare("Holiday 1.jpg"), Pattern(10, 5));
}

TEST_F(CameraDeleteTest, ACameraThatRefusesOneDeleteIsAskedForNoMore) {
    // The first picture says it may go, but the camera refuses to delete it.
    camera.undeletable.insert("/DCIM/100TEST/IMG_0001.JPG");
    step.Run(properties);
    EXPECT_TRUE(NoPictureDeleted()) << camera.deleted.size() << " picture(s) deleted";
    EXPECT_EQ(Copied(), Paths({"Holiday 1.jpg", "Holiday 2.png", "Holiday 3.jpg"}));
    EXPECT_EQ(FilesOnShare(), 3u) << "the verified copies stay";
    EXPECT_FALSE(poster.Done().cancelled);
    EXPECT_EQ(poster.Done().originalsKept, 3u) << "the finish page must say they stayed";
}

TEST_F(CameraDeleteTest, ACopyReadBackWithAnotherSizeKeepsEveryPictureOnTheCamera) {
    share->listedSize[Path("Holiday 2.png")] = 4999;
    step.Run(properties);
    EXPECT_TRUE(NoPictureDeleted());
    EXPECT_EQ(poster.Done().failure.status, ShareStatus::SizeMismatch);
    EXPECT_EQ(FilesOnShare(), 0u) << "a failed run takes its copies back";
    EXPECT_TRUE(poster.All<kvSwitchDeletePageAsyncData>().empty());
}

TEST_F(CameraDeleteTest, APictureWhoseSizeTheCameraDoesNotGiveIsCopiedButNothingIsDeleted) {
    camera.Facts("/DCIM/100TEST", "IMG_0003.PNG").sizeKnown = false;
    step.Run(properties);
    EXPECT_EQ(Copied().size(), 3u);
    EXPECT_EQ(OnShare("Holiday 2.png"), Pattern(5000, 3));
    EXPECT_TRUE(NoPictureDeleted());
    EXPECT_FALSE(poster.Done().failure.Failed());
    EXPECT_TRUE(poster.All<kvSwitchDeletePageAsyncData>().empty());
}

TEST_F(CameraDeleteTest, ACameraPulledOutMidRunLosesNothingAndTheRunEndsOnce) {
    camera.goneFromRead = 2;
    step.Run(properties);

    EXPECT_EQ(Copied(), Paths({"Holiday 1.jpg"}));
    EXPECT_EQ(FilesOnShare(), 1u) << "no partial copy stays";
    EXPECT_TRUE(NoPictureDeleted());
    const kvDoneCopyAsyncData& done = poster.Done();
    EXPECT_FALSE(done.cancelled);
    EXPECT_FALSE(done.failure.Failed());
    EXPECT_EQ(done.skipped, 2u);
    EXPECT_EQ(done.firstSkipped.status, ShareStatus::SourceUnreadable) << "the first reason";
    EXPECT_TRUE(poster.All<kvSwitchDeletePageAsyncData>().empty());
}

TEST_F(CameraDeleteTest, ACameraRunThatCopiedNothingFailsWithTheFirstReason) {
    camera.goneFromRead = 1;
    step.Run(properties);

    EXPECT_TRUE(Copied().empty());
    EXPECT_EQ(FilesOnShare(), 0u);
    EXPECT_TRUE(NoPictureDeleted());
    const kvDoneCopyAsyncData& done = poster.Done();
    EXPECT_FALSE(done.cancelled);
    EXPECT_EQ(done.failure.status, ShareStatus::SourceUnreadable) << "a failure, never a finish";
    EXPECT_EQ(done.skipped, 3u);
    EXPECT_EQ(done.firstSkipped.source, done.failure.source);
    EXPECT_NE(done.failure.source.find("/DCIM/100TEST/"), std::string::npos);
}

TEST_F(CameraDeleteTest, APictureThatBreaksOffIsSkippedAndTheNextTakesItsNumber) {
    camera.SetChunkSize(1000);
    camera.beforeChunk = [](const std::string& path, std::uint64_t delivered) {
        return !(path == "/DCIM/100TEST/IMG_0003.PNG" && delivered >= 2000);
    };
    step.Run(properties);
    EXPECT_EQ(Copied(), Paths({"Holiday 1.jpg", "Holiday 2.jpg"}));
    EXPECT_EQ(OnShare("Holiday 2.jpg"), Pattern(6000, 4));
    EXPECT_EQ(FilesOnShare(), 2u);
    EXPECT_TRUE(NoPictureDeleted());
    EXPECT_EQ(poster.Done().skipped, 1u);
}

TEST_F(CameraDeleteTest, ACancelWhileALargePictureStreamsTakesEveryCopyBack) {
    camera.AddData("/DCIM/100TEST", "IMG_0005.JPG", "image/jpeg", Pattern(6 << 20, 5));
    bool cancelled = false;
    poster.onPost = [&](const kvAsyncData& record) {
        auto* file = dynamic_cast<const kvFileStatusAsyncData*>(&record);
        if (file != nullptr && file->totalBytes == (6u << 20) && file->bytesDone >= (2u << 20) &&
            !cancelled) {
            cancelled = true;
            callback->Cancel();
        }
    };
    step.Run(properties);

    EXPECT_TRUE(cancelled);
    EXPECT_EQ(FilesOnShare(), 0u);
    EXPECT_TRUE(NoPictureDeleted());
    EXPECT_TRUE(Copied().empty());
    EXPECT_TRUE(poster.Done().cancelled);
    EXPECT_FALSE(poster.Done().failure.Failed());
    // The stream stopped soon after the cancel, not at the end of the picture.
    const auto files = poster.All<kvFileStatusAsyncData>();
    EXPECT_LT(files.back()->bytesDone, 4u << 20);
}

TEST_F(CameraTransferTest, ACameraThatCannotBeReachedFailsTheRunBeforeAnythingIsCopied) {
    camera.AddFolder("/", "DCIM");
    camera.AddData("/DCIM", "IMG_0001.JPG", "image/jpeg", Pattern(10, 1));

    // Held by another program that does not let go.
    system->openResults = {{CameraStatus::Claimed, -53, "claimed"},
                           {CameraStatus::Claimed, -53, "claimed"}};
    step.Run(properties);
    EXPECT_EQ(poster.Done().failure.status, ShareStatus::SourceUnreadable);
    EXPECT_EQ(poster.Done().failure.source, kPort);
    EXPECT_EQ(release->ports, std::vector<std::string>{kPort});
    EXPECT_TRUE(poster.All<kvGroupStatusAsyncData>().empty());

    // A folder that cannot be listed: a half-read camera is not copied at all.
    RecordingPoster second;
    callback->SetTarget(&second, nullptr);
    camera.FailListing("/DCIM");
    step.Run(properties);
    EXPECT_EQ(second.Done().failure.status, ShareStatus::SourceUnreadable);
    EXPECT_TRUE(camera.reads.empty());

    // A step that was given no way to reach cameras.
    RecordingPoster third;
    callback->SetTarget(&third, nullptr);
    step.SetCameraPictures(nullptr);
    step.Run(properties);
    EXPECT_EQ(third.Done().failure.status, ShareStatus::NotSupported);
    EXPECT_EQ(FilesOnShare(), 0u);
}

TEST_F(CameraTransferTest, AStartedCameraRunPostsItsEndOnceAndFreesTheCamera) {
    camera.AddFolder("/", "DCIM");
    camera.AddData("/DCIM", "IMG_0001.JPG", "image/jpeg", Pattern(3 << 20, 1));
    ASSERT_NE(step.Start(properties), nullptr);
    step.Wait();
    EXPECT_EQ(poster.Done().skipped, 0u);
    EXPECT_EQ(OnShare("Holiday 1.jpg"), Pattern(3 << 20, 1));
    EXPECT_EQ(system->opened, std::vector<std::string>{kPort});
}

// Counts the listings a run asks for.
class CountingShare : public FakeShare {
public:
    explicit CountingShare(std::shared_ptr<State> shared) : FakeShare(std::move(shared)) {}
    ShareResult List(const std::string& folder, std::vector<ShareEntry>& entries) override {
        ++lists;
        return FakeShare::List(folder, entries);
    }
    std::atomic<int> lists{0};
};

// Camera runs with the record of copies on a temporary database.
class CameraRecordTest : public CameraTransferTest {
protected:
    void SetUp() override {
        CameraTransferTest::SetUp();
        std::string pattern = (fs::temp_directory_path() / "vm-camera-record.XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        folder = pattern;
        RecordOpening opening{};
        record = CCopyRecord::Open(folder + "/copies.sqlite3", opening);
        ASSERT_TRUE(record);
        camera.AddFolder("/", "DCIM");
        camera.AddFolder("/DCIM", "100TEST");
        for (char seed = 1; seed <= 3; ++seed) {
            camera.AddData("/DCIM/100TEST", Name(seed), "image/jpeg", Pattern(3000 + seed, seed));
        }
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(folder, ignored);
    }

    static std::string Name(char seed) { return "IMG_000" + std::to_string(int(seed)) + ".JPG"; }

    // One run with the record, its notices apart from those of the runs before it.
    void RunRecorded(bool skip = true) {
        runPoster = std::make_unique<RecordingPoster>();
        callback->SetTarget(runPoster.get(), nullptr);
        camera.reads.clear();
        properties.recordPlan = MakeCameraRecordPlan(record, "home", "10.0.0.5", skip);
        step.Run(properties);
    }

    // The record's copies of a file of the camera, as it is now.
    std::vector<CopyEntry> Recorded(const std::string& name, CameraPort port = {}) {
        CameraItem item{"/DCIM/100TEST", name, camera.Facts("/DCIM/100TEST", name)};
        const SourceFacts facts =
            CameraSourceFacts(port.model.empty() ? camera.Port() : port, item);
        return record->Find("home", "FamilyLibrary", {facts}).front();
    }

    std::string folder;
    std::shared_ptr<CCopyRecord> record;
    std::unique_ptr<RecordingPoster> runPoster;
};

TEST_F(CameraRecordTest, CopiesAreRecordedByTheCameraThePathOnItItsSizeAndTime) {
    // The camera tells no time for the third picture: it is copied, but not recorded.
    camera.Facts("/DCIM/100TEST", Name(3)).modifiedKnown = false;
    share->listedSize[Path("Holiday 2.jpg")] = 5; // reads back wrong: kept, not recorded
    RunRecorded();
    EXPECT_FALSE(runPoster->Done().failure.Failed()) << runPoster->Done().failure.Describe();
    EXPECT_EQ(Copied().size(), 3u);
    EXPECT_EQ(record->Count(), 1);
    const std::vector<CopyEntry> first = Recorded(Name(1));
    ASSERT_EQ(first.size(), 1u);
    EXPECT_EQ(first[0].source.identity.volume, "camera:Fake Camera/usb:001,002");
    EXPECT_EQ(first[0].source.identity.path, "/DCIM/100TEST/IMG_0001.JPG");
    EXPECT_EQ(first[0].source.size, 3001u);
    EXPECT_EQ(first[0].source.modified, kFakeModified);
    EXPECT_EQ(first[0].destination, Path("Holiday 1.jpg"));
    EXPECT_EQ(first[0].copiedSize, 3001u);
    EXPECT_EQ(record->LastAddress("home"), "10.0.0.5");

    // A camera that tells its serial number is known by it, on whatever port it sits.
    CameraPort numbered{"Fake Camera", "usb:003,009", "A1234"};
    CameraItem item{"/DCIM/100TEST", Name(1), camera.Facts("/DCIM/100TEST", Name(1))};
    EXPECT_EQ(CameraSourceFacts(numbered, item).identity.volume, "camera:Fake Camera/A1234");
    item.facts.sizeKnown = false;
    EXPECT_FALSE(CameraSourceFacts(numbered, item).identity.Known());
}

TEST_F(CameraRecordTest, ACameraCopiedAgainPutsOnlyWhatIsNotThereOnTheServer) {
    RunRecorded();
    ASSERT_EQ(record->Count(), 3);
    const std::vector<std::string> first =
        Paths({"Holiday 1.jpg", "Holiday 2.jpg", "Holiday 3.jpg"});
    ASSERT_EQ(Copied(), first);

    struct Round {
        const char* what;
        std::function<void()> arrange;
        std::vector<std::string> copied; // the run's copies
        std::vector<std::string> read;   // what it read from the camera
        uint32_t alreadyThere;
        int lists; // listings of the camera run's folder: numbering, earlier copies, read-back
    };
    const Round rounds[] = {
        {"the same camera again", [] {}, {}, {}, 3, 2},
        {"a copy removed on the server",
         [this] {
             std::lock_guard lock(share->mutex);
             share->files.erase(Path("Holiday 2.jpg"));
         },
         Paths({"Holiday 4.jpg"}),
         {"/DCIM/100TEST/IMG_0002.JPG"},
         2,
         3},
        {"a new picture, and another changed on the camera since its copy",
         [this] {
             camera.AddData("/DCIM/100TEST", "IMG_0004.JPG", "image/jpeg", Pattern(500, 4));
             camera.Facts("/DCIM/100TEST", Name(1)).modified += 1000000000;
         },
         Paths({"Holiday 5.jpg", "Holiday 6.jpg"}),
         {"/DCIM/100TEST/IMG_0001.JPG", "/DCIM/100TEST/IMG_0004.JPG"},
         2,
         3},
    };
    for (const Round& round : rounds) {
        round.arrange();
        auto counting = std::make_unique<CountingShare>(share);
        CountingShare* lists = counting.get();
        auto transfer = std::make_unique<CSambaFileTransfer>(std::move(counting));
        transfer->SetCallback(callback);
        step.SetTransfer(std::move(transfer));
        RunRecorded();
        const kvDoneCopyAsyncData& done = runPoster->Done();
        EXPECT_FALSE(done.failure.Failed()) << round.what << ": " << done.failure.Describe();
        EXPECT_EQ(Copied(), round.copied) << round.what;
        EXPECT_EQ(camera.reads, round.read) << round.what;
        EXPECT_EQ(done.alreadyThere, round.alreadyThere) << round.what;
        EXPECT_EQ(done.picturesCopied, round.copied.size()) << round.what;
        EXPECT_EQ(lists->lists, round.lists) << round.what;
        // Numbered among the new pictures only.
        const auto groups = runPoster->All<kvGroupStatusAsyncData>();
        ASSERT_EQ(groups.size(), round.copied.size()) << round.what;
        for (size_t i = 0; i < groups.size(); ++i) {
            EXPECT_EQ(groups[i]->pictureNumber, int(i + 1)) << round.what;
            EXPECT_EQ(groups[i]->pictureCount, int(groups.size())) << round.what;
        }
    }
    EXPECT_EQ(OnShare("Holiday 4.jpg"), Pattern(3002, 2));
    EXPECT_TRUE(camera.deleted.empty());

    // Without the skip, every picture is copied once more.
    RunRecorded(false);
    EXPECT_EQ(Copied().size(), 4u);
    EXPECT_EQ(runPoster->Done().alreadyThere, 0u);
}

TEST_F(CameraRecordTest, DeleteAfterCopyTakesThePicturesTheServerStillShowsAtTheEnd) {
    RunRecorded();
    ASSERT_EQ(record->Count(), 3);
    camera.AddData("/DCIM/100TEST", "IMG_0004.JPG", "image/jpeg", Pattern(500, 4));
    camera.Facts("/DCIM/100TEST", Name(3)).canDelete = false; // protected on the camera
    properties.deleteAfterCopy = true;
    // The copy of the first picture goes away on the server while the new one is copied: its
    // original must stay.
    share->beforeRename = [this](const std::string& target) {
        if (target == Path("Holiday 4.jpg")) {
            std::lock_guard lock(share->mutex);
            share->files.erase(Path("Holiday 1.jpg"));
        }
        return ShareResult{};
    };
    RunRecorded();
    const kvDoneCopyAsyncData& done = runPoster->Done();
    EXPECT_FALSE(done.failure.Failed()) << done.failure.Describe();
    EXPECT_EQ(Copied(), Paths({"Holiday 4.jpg"}));
    EXPECT_EQ(done.alreadyThere, 3u);
    EXPECT_EQ(camera.deleted, (std::vector<std::string>{"/DCIM/100TEST/IMG_0004.JPG",
                                                        "/DCIM/100TEST/IMG_0002.JPG"}));
    EXPECT_TRUE(camera.Holds("/DCIM/100TEST", Name(1)));
    EXPECT_TRUE(camera.Holds("/DCIM/100TEST", Name(3)));
    const auto deletes = runPoster->All<kvDeleteStatusAsyncData>();
    ASSERT_EQ(deletes.size(), 3u);
    EXPECT_EQ(deletes[1]->pictureName, Name(2));
    EXPECT_EQ(deletes[2]->pictureCount, 3);
}

} // namespace
