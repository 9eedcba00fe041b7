// A camera run end to end: a tmpfs camera read through libgphoto2, its pictures streamed to a
// private smbd and deleted from the camera afterwards (as root; skipped otherwise).
#include "wizard/camera/CameraTransfer.h"
#include "wizard/camera/linux/GphotoCamera.h"
#include "wizard/sheet/AlreadyCopied.h"
#include "wizard/transfer/FileTransferStep.h"
#include "wizard/transfer/SmbSession.h"

#include "smbd_fixture.h"
#include "tests/wizard/camera/CameraWorld.h"
#include "tests/wizard/transfer/TransferTestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

namespace {

using namespace camera_world;

// A tmpfs camera is never held by the desktop.
class CNoRelease : public CAbstractCameraClaimRelease {
public:
    bool Release(const std::string& port) override {
        ADD_FAILURE() << "release asked for " << port;
        return false;
    }
};

TEST(CameraToShare, ADcimIsCopiedByteForByteAndOnlyItsPicturesLeaveTheCamera) {
    IN_CAMERA_WORLD();
    SmbdFixture server;
    std::string why;
    if (!server.Start(why)) {
        GTEST_SKIP() << "no smbd: " << why;
    }
    TmpfsCamera card("card", "64m");
    const std::string first = RandomBytes(5 << 20, 1); // several pieces, and a partial last one
    const std::string second = RandomBytes(1000, 2);
    const std::string png = std::string("\x89PNG\r\n\x1A\n", 8) + RandomBytes(70000, 3);
    const std::string clip = RandomBytes(30000, 4);
    card.Write("DCIM/100TEST/MVI_0001.MOV", clip);
    card.Write("DCIM/100TEST/IMG_0002.JPG", first);
    card.Write("DCIM/100TEST/IMG_0003.JPG", second);
    card.Write("DCIM/101TEST/SHOT_0004.PNG", png);

    RecordingPoster poster;
    auto callback = std::make_shared<CFileTransferCallback>();
    callback->SetTarget(&poster, nullptr);
    auto transfer = std::make_unique<CSambaFileTransfer>(
        CreateSmbSession(server.Address(),
                         std::make_shared<CFixedCredentialSource>(ShareCredentials::NamedGuest())));
    transfer->SetCallback(callback);
    CFileTransferStep step;
    step.SetTransfer(std::move(transfer));
    step.SetCameraPictures(CameraPicturesThrough(std::make_shared<CGphotoCameraSystem>(),
                                                 std::make_shared<CNoRelease>()));
    CTransferProperties properties;
    properties.groupName = "Holiday";
    properties.location = "Camera";
    properties.deleteAfterCopy = true;
    properties.copyVideos = false; // the clip is left on the camera
    properties.cameraMode = true;
    properties.cameraDeviceId = card.Port();
    step.Run(properties);

    const kvDoneCopyAsyncData& done = poster.Done();
    EXPECT_FALSE(done.failure.Failed()) << done.failure.Describe();
    EXPECT_EQ(done.skipped, 0u);
    EXPECT_EQ(properties.total, 3u);
    const std::string folder = server.ShareDirectory(SmbdFixture::kGuestShare) + "/Camera/";
    EXPECT_EQ(ReadFile(folder + "Holiday 1.jpg"), first);
    EXPECT_EQ(ReadFile(folder + "Holiday 2.jpg"), second);
    EXPECT_EQ(ReadFile(folder + "Holiday 3.png"), png);
    EXPECT_EQ(step.CopiedList().size(), 3u);

    namespace fs = std::filesystem;
    EXPECT_FALSE(fs::exists(card.Root() + "/DCIM/100TEST/IMG_0002.JPG"));
    EXPECT_FALSE(fs::exists(card.Root() + "/DCIM/100TEST/IMG_0003.JPG"));
    EXPECT_FALSE(fs::exists(card.Root() + "/DCIM/101TEST/SHOT_0004.PNG"));
    EXPECT_EQ(ReadFile(card.Root() + "/DCIM/100TEST/MVI_0001.MOV"), clip);
}

TEST(CameraToShare, ACardCopiedAgainCopiesOnlyThePictureWhoseCopyWasRemoved) {
    IN_CAMERA_WORLD();
    SmbdFixture server;
    std::string why;
    if (!server.Start(why)) {
        GTEST_SKIP() << "no smbd: " << why;
    }
    namespace fs = std::filesystem;
    TmpfsCamera card("card");
    const std::string first = RandomBytes(3000, 1);
    card.Write("DCIM/100TEST/IMG_0001.JPG", first);
    card.Write("DCIM/100TEST/IMG_0002.JPG", RandomBytes(2000, 2));
    card.Write("DCIM/100TEST/IMG_0003.HEIC", RandomBytes(1000, 3)); // the card's own file
    RecordOpening opening{};
    std::shared_ptr<CCopyRecord> record =
        CCopyRecord::Open(WorldBase() + "/record/copies.sqlite3", opening);
    ASSERT_TRUE(record);

    const auto run = [&](std::vector<std::string>& copied) {
        RecordingPoster poster;
        auto callback = std::make_shared<CFileTransferCallback>();
        callback->SetTarget(&poster, nullptr);
        auto transfer = std::make_unique<CSambaFileTransfer>(CreateSmbSession(
            server.Address(),
            std::make_shared<CFixedCredentialSource>(ShareCredentials::NamedGuest())));
        transfer->SetCallback(callback);
        CFileTransferStep step;
        step.SetTransfer(std::move(transfer));
        step.SetCameraPictures(CameraPicturesThrough(std::make_shared<CGphotoCameraSystem>(),
                                                     std::make_shared<CNoRelease>()));
        CTransferProperties properties;
        properties.groupName = "Holiday";
        properties.location = "Camera";
        properties.cameraMode = true;
        properties.cameraDeviceId = card.Port();
        properties.serverAddress = server.Address();
        properties.recordPlan = MakeCameraRecordPlan(record, "home", server.Address(), true);
        step.Run(properties);
        copied = step.CopiedList();
        EXPECT_FALSE(poster.Done().failure.Failed()) << poster.Done().failure.Describe();
        return poster.Done().alreadyThere;
    };
    std::vector<std::string> copied;
    EXPECT_EQ(run(copied), 0u);
    EXPECT_EQ(copied.size(), 3u);
    EXPECT_EQ(record->Count(), 3);
    EXPECT_EQ(run(copied), 3u);
    EXPECT_TRUE(copied.empty());

    const std::string folder = server.ShareDirectory(SmbdFixture::kGuestShare) + "/Camera/";
    ASSERT_TRUE(fs::remove(folder + "Holiday 1.jpg"));
    EXPECT_EQ(run(copied), 2u);
    ASSERT_EQ(copied.size(), 1u);
    EXPECT_EQ(ReadFile(folder + "Holiday 4.jpg"), first);
}

} // namespace
