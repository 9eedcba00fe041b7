// The camera through libgphoto2, against tmpfs file systems holding a DCIM folder, which it
// detects as cameras on "disk:" ports. Every case runs in a mount namespace of its own (the test
// starts itself again under unshare), so that its cameras are seen by nobody else and go away
// with it.
#include "wizard/camera/linux/GphotoCamera.h"
#include "wizard/camera/CameraFinder.h"
#include "wizard/camera/CameraPictures.h"
#include "wizard/search/MediaGroups.h"
#include "wizard/search/SearchContext.h"

#include "tests/wizard/camera/CameraWorld.h"
#include "tests/wizard/camera/FakeCamera.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

using namespace camera_world;

const std::string kJpeg = std::string("\xFF\xD8\xFF\xE0", 4) + "JFIF picture";
const std::string kPng = std::string("\x89PNG\r\n\x1A\n", 8) + "png picture";

std::unique_ptr<CAbstractCamera> OpenCamera(CGphotoCameraSystem& system, const std::string& port) {
    CameraOpenResult opened = system.Open(port);
    EXPECT_TRUE(opened.result.ok()) << port << ": " << opened.result.reason;
    return std::move(opened.camera);
}

std::vector<std::string> PathsOf(const std::vector<CameraPicture>& pictures) {
    std::vector<std::string> paths;
    for (const CameraPicture& picture : pictures) {
        paths.push_back(picture.item.FullPath());
    }
    return paths;
}

// The release is never needed for a tmpfs camera; a call would show a wrong claim result.
class CUnexpectedRelease : public CAbstractCameraClaimRelease {
public:
    bool Release(const std::string& port) override {
        ADD_FAILURE() << "release asked for " << port;
        return false;
    }
};

TEST(GphotoFinding, WithoutACameraOnTheGivenPortTheWizardEndsSilently) {
    IN_CAMERA_WORLD();
    CGphotoCameraSystem system;
    CUnexpectedRelease release;
    std::vector<CameraPort> detected;
    ASSERT_TRUE(system.Detect(detected).ok());
    for (const CameraPort& camera : detected) {
        EXPECT_FALSE(camera.port.starts_with("disk:" + WorldBase())) << camera.port;
    }
    EXPECT_EQ(FindCamera("disk:" + WorldBase() + "/card", system, release).status,
              CameraFindStatus::EndSilently);
    EXPECT_EQ(system.Open("disk:" + WorldBase() + "/card").result.status, CameraStatus::NotFound);

    const TmpfsCamera card("My Card"); // a card's label often holds a space
    card.Write("DCIM/100TEST/IMG_0001.JPG", kJpeg);
    for (const std::string& id : {card.Port() + "/", "disk:" + WorldBase(), "DISK:" + card.Root(),
                                  std::string("usb:001,005")}) {
        EXPECT_EQ(FindCamera(id, system, release).status, CameraFindStatus::EndSilently) << id;
    }
    const CameraFind find = FindCamera(card.Port(), system, release);
    EXPECT_EQ(find.status, CameraFindStatus::Found);
    EXPECT_EQ(find.deviceId, card.Port());
    EXPECT_EQ(find.displayName, "Mass Storage Camera");
    EXPECT_EQ(find.driveText, " ");
    EXPECT_FALSE(find.noPictures);
    EXPECT_FALSE(find.cannotDelete);
}

TEST(GphotoFinding, MoreThanTwentyCamerasEndTheWizardSilently) {
    IN_CAMERA_WORLD();
    std::vector<std::unique_ptr<TmpfsCamera>> cards;
    for (int i = 0; i < 21; ++i) {
        cards.push_back(std::make_unique<TmpfsCamera>("card" + std::to_string(i), "1m"));
        cards.back()->Write("DCIM/IMG_0001.JPG", kJpeg);
    }
    CGphotoCameraSystem system;
    CUnexpectedRelease release;
    std::vector<CameraPort> detected;
    ASSERT_TRUE(system.Detect(detected).ok());
    const auto ours = std::count_if(detected.begin(), detected.end(), [](const CameraPort& c) {
        return c.port.starts_with("disk:" + WorldBase());
    });
    ASSERT_EQ(ours, 21) << "detection lists every card";

    EXPECT_EQ(FindCamera(cards[20]->Port(), system, release).status, CameraFindStatus::EndSilently);
    if (detected.size() == 21) { // with cameras of the machine's own there stay more than 20
        cards.front()->Remove();
        EXPECT_EQ(FindCamera(cards[20]->Port(), system, release).status, CameraFindStatus::Found);
    }
}

TEST(GphotoFinding, ACameraHoldingNoPictureHasNoPicturesToCopy) {
    IN_CAMERA_WORLD();
    const TmpfsCamera card("card");
    card.Write("DCIM/100TEST/IMG_0009.XMP", "<x/>"); // a sidecar alone is not copied
    card.Write("DCIM/100TEST/NOTES.TXT", "notes");
    CGphotoCameraSystem system;
    CUnexpectedRelease release;
    CameraFind find = FindCamera(card.Port(), system, release);
    EXPECT_EQ(find.status, CameraFindStatus::Found);
    EXPECT_TRUE(find.noPictures);
    EXPECT_TRUE(find.cannotDelete);

    // Videos alone are copied, as they are from the card as a folder.
    card.Write("DCIM/100TEST/MVI_0001.MOV", RandomBytes(2000, 1));
    find = FindCamera(card.Port(), system, release);
    EXPECT_FALSE(find.noPictures);
    EXPECT_FALSE(find.cannotDelete);

    const auto camera = OpenCamera(system, card.Port());
    ASSERT_TRUE(camera);
    const CameraPictureList list = ListCameraPictures(*camera);
    EXPECT_TRUE(list.result.ok()) << list.result.reason;
    EXPECT_TRUE(list.pictures.empty());
}

TEST(GphotoFinding, AReadOnlyFirstPictureMayNotBeDeleted) {
    IN_CAMERA_WORLD();
    const TmpfsCamera card("card");
    // A video that may be deleted comes first; the first picture may not.
    card.Write("DCIM/100TEST/A_CLIP.MOV", RandomBytes(1000, 2));
    fs::permissions(card.Write("DCIM/100TEST/IMG_0001.JPG", kJpeg),
                    fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    card.Write("DCIM/100TEST/IMG_0002.JPG", kJpeg);
    CGphotoCameraSystem system;
    CUnexpectedRelease release;
    CameraFind find = FindCamera(card.Port(), system, release);
    EXPECT_EQ(find.status, CameraFindStatus::Found);
    EXPECT_FALSE(find.noPictures);
    EXPECT_TRUE(find.cannotDelete);

    {
        const auto camera = OpenCamera(system, card.Port());
        ASSERT_TRUE(camera);
        CameraFileFacts facts;
        ASSERT_TRUE(camera->GetFileFacts("/DCIM/100TEST", "IMG_0001.JPG", facts).ok());
        EXPECT_TRUE(facts.permissionsKnown);
        EXPECT_TRUE(facts.canRead);
        EXPECT_FALSE(facts.canDelete);
    }
    fs::permissions(card.Root() + "/DCIM/100TEST/IMG_0001.JPG", fs::perms::owner_write,
                    fs::perm_options::add);
    find = FindCamera(card.Port(), system, release);
    EXPECT_FALSE(find.noPictures);
    EXPECT_FALSE(find.cannotDelete);
}

TEST(GphotoPictures, FilesTellTheirTimeAndACardWithoutSerialNumberIsKnownByItsPort) {
    IN_CAMERA_WORLD();
    const TmpfsCamera card("card");
    // One file the library lists (it keeps whole seconds), one it leaves to the card.
    const std::string listed = card.Write("DCIM/100TEST/IMG_0001.JPG", kJpeg);
    const std::string cardOnly = card.Write("DCIM/100TEST/IMG_0002.HEIC", "heic picture");
    struct timespec times[2] = {{0, UTIME_OMIT}, {1777636800, 250000000}};
    ASSERT_EQ(utimensat(AT_FDCWD, listed.c_str(), times, 0), 0) << errno;
    ASSERT_EQ(utimensat(AT_FDCWD, cardOnly.c_str(), times, 0), 0) << errno;
    CGphotoCameraSystem system;
    const auto camera = OpenCamera(system, card.Port());
    ASSERT_TRUE(camera);
    EXPECT_EQ(camera->Port().serial, "");
    std::vector<std::string> names; // the card's own files are known once listed
    ASSERT_TRUE(camera->ListFiles("/DCIM/100TEST", names).ok());
    for (const auto& [name, modified] :
         {std::pair{"IMG_0001.JPG", 1777636800LL * 1000000000LL},
          std::pair{"IMG_0002.HEIC", 1777636800LL * 1000000000LL + 250000000LL}}) {
        CameraItem item{"/DCIM/100TEST", name, {}};
        ASSERT_TRUE(camera->GetFileFacts(item.folder, item.name, item.facts).ok()) << name;
        EXPECT_TRUE(item.facts.modifiedKnown) << name;
        EXPECT_EQ(item.facts.modified, modified) << name;
        const SourceFacts facts = CameraSourceFacts(camera->Port(), item);
        EXPECT_EQ(facts.identity.volume, "camera:" + camera->Port().model + "/" + card.Port());
        EXPECT_EQ(facts.identity.path, std::string("/DCIM/100TEST/") + name);
    }
}

TEST(GphotoPictures, AVideoBeforeThePicturesIsNeitherListedNorCounted) {
    IN_CAMERA_WORLD();
    const TmpfsCamera card("card");
    card.Write("DCIM/100TEST/A_CLIP.MP4", RandomBytes(3000, 3));
    card.Write("DCIM/100TEST/B_CLIP.MOV", RandomBytes(3000, 4));
    card.Write("DCIM/100TEST/IMG_0003.JPG", kJpeg);
    card.Write("DCIM/101TEST/IMG_0004.JPG", kJpeg);
    CGphotoCameraSystem system;
    const auto camera = OpenCamera(system, card.Port());
    ASSERT_TRUE(camera);

    std::vector<CameraItem> items;
    ASSERT_TRUE(WalkCamera(*camera, [&](const CameraItem& item) {
                    items.push_back(item);
                    return CameraWalkAction::Continue;
                }).ok());
    ASSERT_EQ(items.size(), 4u);
    EXPECT_EQ(items[0].name, "A_CLIP.MP4");
    EXPECT_FALSE(IsCameraPicture(items[0])) << items[0].facts.mimeType;
    EXPECT_FALSE(IsCameraPicture(items[1])) << items[1].facts.mimeType;

    const CameraPictureList list = ListCameraPictures(*camera);
    ASSERT_TRUE(list.result.ok()) << list.result.reason;
    EXPECT_EQ(PathsOf(list.pictures), (std::vector<std::string>{"/DCIM/100TEST/IMG_0003.JPG",
                                                                "/DCIM/101TEST/IMG_0004.JPG"}));
    for (const CameraPicture& picture : list.pictures) {
        EXPECT_LE(picture.index, picture.count);
        EXPECT_EQ(picture.count, 2u);
    }
    EXPECT_EQ(list.pictures[0].index, 1u);
    EXPECT_EQ(list.pictures[1].index, 2u);
}

TEST(GphotoPictures, SameNamesInTwoFoldersAreTwoPicturesAndTypesNameTheCopies) {
    IN_CAMERA_WORLD();
    const TmpfsCamera card("card");
    card.Write("DCIM/100TEST/IMG_0001.JPG", kJpeg);
    card.Write("DCIM/101TEST/IMG_0001.JPG", kJpeg + "other");
    card.Write("DCIM/102TEST/IMG_0002.jpeg", kJpeg);
    card.Write("DCIM/102TEST/SHOT_0003.PNG", kPng);
    card.Write("DCIM/102TEST/shot_0004.png", kPng);
    CGphotoCameraSystem system;
    const auto camera = OpenCamera(system, card.Port());
    ASSERT_TRUE(camera);
    const CameraPictureList list = ListCameraPictures(*camera);
    ASSERT_TRUE(list.result.ok()) << list.result.reason;
    ASSERT_EQ(
        PathsOf(list.pictures),
        (std::vector<std::string>{"/DCIM/100TEST/IMG_0001.JPG", "/DCIM/101TEST/IMG_0001.JPG",
                                  "/DCIM/102TEST/IMG_0002.jpeg", "/DCIM/102TEST/SHOT_0003.PNG",
                                  "/DCIM/102TEST/shot_0004.png"}));
    EXPECT_EQ(list.pictures.back().count, 5u);
    EXPECT_EQ(list.pictures[1].item.facts.size, kJpeg.size() + 5);

    std::vector<std::string> extensions;
    for (const CameraPicture& picture : list.pictures) {
        extensions.push_back(CameraCopyExtension(picture.item.name, picture.item.facts.mimeType));
    }
    EXPECT_EQ(extensions, (std::vector<std::string>{".jpg", ".jpg", ".jpg", ".png", ".png"}));
}

TEST(GphotoPictures, ACardGivesTheSameFilesAsACameraAsItDoesAsAFolder) {
    IN_CAMERA_WORLD();
    const TmpfsCamera card("card");
    for (const char* name :
         {"DCIM/100TEST/IMG_0001.CR2", "DCIM/100TEST/IMG_0001.JPG", "DCIM/100TEST/IMG_0001.xmp",
          "DCIM/100TEST/IMG_0002.HEIC", "DCIM/100TEST/MVI_0003.MP4", "DCIM/100TEST/IMG_0009.xmp",
          "DCIM/100TEST/NOTES.TXT", "DCIM/101TEST/IMG_0004.NEF", "DCIM/101TEST/IMG_0004.JPG"}) {
        card.Write(name, kJpeg + name);
    }
    fs::create_symlink(card.Root() + "/DCIM/100TEST/IMG_0002.HEIC",
                       card.Root() + "/DCIM/100TEST/LINKED.HEIC");

    SearchContext search(card.Root(), {});
    for (const std::string& extension : SearchExtensions()) {
        search.extensions.insert(extension);
    }
    WalkSearchTree(search, *CreateFolderLister());
    std::set<std::string> asFolder;
    for (const FoundPicture& found : FilesToCopy(search.found, true)) {
        asFolder.insert(found.FullPath().substr(card.Root().size()));
    }
    asFolder.erase("/DCIM/100TEST/LINKED.HEIC"); // a folder follows links to files; a camera not

    CGphotoCameraSystem system;
    const auto camera = OpenCamera(system, card.Port());
    ASSERT_TRUE(camera);
    const CameraPictureList list = ListCameraPictures(*camera, true);
    ASSERT_TRUE(list.result.ok()) << list.result.reason;
    const std::vector<std::string> paths = PathsOf(list.pictures);
    EXPECT_EQ(std::set<std::string>(paths.begin(), paths.end()), asFolder);
    EXPECT_EQ(asFolder.size(), 7u) << "the lone sidecar and the notes stay";
    EXPECT_EQ(list.pictures.front().count, 4u) << "pairs, the phone picture and the video";

    // The files the library leaves to the card are read and deleted there.
    const auto heic = std::find(paths.begin(), paths.end(), "/DCIM/100TEST/IMG_0002.HEIC");
    ASSERT_NE(heic, paths.end());
    const CameraItem& item = list.pictures[size_t(heic - paths.begin())].item;
    EXPECT_EQ(item.facts.size, kJpeg.size() + std::strlen("DCIM/100TEST/IMG_0002.HEIC"));
    std::string read;
    const CameraReadResult got = camera->Read(item.folder, item.name, [&](const char* d, size_t n) {
        read.append(d, n);
        return CameraSinkAction::Continue;
    });
    EXPECT_TRUE(got.result.ok()) << got.result.reason;
    EXPECT_EQ(read, kJpeg + "DCIM/100TEST/IMG_0002.HEIC");
    EXPECT_TRUE(camera->Delete(item.folder, item.name).ok());
    EXPECT_FALSE(fs::exists(card.Root() + "/DCIM/100TEST/IMG_0002.HEIC"));
}

TEST(GphotoReading, APictureIsStreamedInChunksByteForByte) {
    IN_CAMERA_WORLD();
    const TmpfsCamera card("card");
    const std::string data = RandomBytes(5 * 1024 * 1024 + 123, 5);
    card.Write("DCIM/100TEST/BIG_0001.JPG", data);
    CGphotoCameraSystem system;
    const auto camera = OpenCamera(system, card.Port());
    ASSERT_TRUE(camera);

    CameraFileFacts facts;
    ASSERT_TRUE(camera->GetFileFacts("/DCIM/100TEST", "BIG_0001.JPG", facts).ok());
    std::string received;
    size_t chunks = 0;
    const CameraReadResult read =
        camera->Read("/DCIM/100TEST", "BIG_0001.JPG", [&](const char* bytes, size_t size) {
            received.append(bytes, size);
            ++chunks;
            return CameraSinkAction::Continue;
        });
    ASSERT_TRUE(read.result.ok()) << read.result.reason;
    EXPECT_EQ(read.bytes, data.size());
    EXPECT_TRUE(received == data) << "the streamed data differs from the file";
    EXPECT_GT(chunks, 4u) << "the data came in one piece, not as the camera gave it";
    EXPECT_TRUE(CopyMatchesCameraFile(facts, read.bytes, received.size()));

    const CameraReadResult missing =
        camera->Read("/DCIM/100TEST", "NONE.JPG",
                     [](const char*, size_t) { return CameraSinkAction::Continue; });
    EXPECT_FALSE(missing.result.ok());
    EXPECT_EQ(missing.bytes, 0u);
}

TEST(GphotoReading, AReadCancelledByItsSinkEndsThereAndLeavesThePicture) {
    IN_CAMERA_WORLD();
    const TmpfsCamera card("card", "96m");
    const std::string data = RandomBytes(64 * 1024 * 1024, 6);
    const std::string path = card.Write("DCIM/100TEST/BIG_0001.JPG", data);
    CGphotoCameraSystem system;
    const auto camera = OpenCamera(system, card.Port());
    ASSERT_TRUE(camera);

    size_t calls = 0;
    uint64_t accepted = 0;
    const CameraReadResult read =
        camera->Read("/DCIM/100TEST", "BIG_0001.JPG", [&](const char*, size_t size) {
            if (++calls == 3) {
                return CameraSinkAction::Stop;
            }
            accepted += size;
            return CameraSinkAction::Continue;
        });
    EXPECT_EQ(read.result.status, CameraStatus::Cancelled) << read.result.reason;
    EXPECT_EQ(calls, 3u) << "the sink was called after it asked to stop";
    EXPECT_EQ(read.bytes, accepted);
    EXPECT_LT(read.bytes, data.size());
    EXPECT_EQ(fs::file_size(path), data.size());

    // The camera reads normally afterwards, and a sink that throws fails the read.
    uint64_t bytes = 0;
    const CameraReadResult again =
        camera->Read("/DCIM/100TEST", "BIG_0001.JPG", [&](const char*, size_t size) {
            bytes += size;
            return CameraSinkAction::Continue;
        });
    EXPECT_TRUE(again.result.ok()) << again.result.reason;
    EXPECT_EQ(bytes, data.size());
    const CameraReadResult thrown =
        camera->Read("/DCIM/100TEST", "BIG_0001.JPG", [&](const char*, size_t) -> CameraSinkAction {
            throw std::runtime_error("full");
        });
    EXPECT_EQ(thrown.result.status, CameraStatus::Failed);
}

TEST(GphotoDeleting, DeletingRemovesOnlyThatFile) {
    IN_CAMERA_WORLD();
    const TmpfsCamera card("card");
    const std::string first = card.Write("DCIM/100TEST/IMG_0001.JPG", kJpeg);
    const std::string second = card.Write("DCIM/100TEST/IMG_0002.JPG", kJpeg);
    const std::string other = card.Write("DCIM/101TEST/IMG_0001.JPG", kJpeg);
    CGphotoCameraSystem system;
    const auto camera = OpenCamera(system, card.Port());
    ASSERT_TRUE(camera);
    ASSERT_EQ(ListCameraPictures(*camera).pictures.size(), 3u);

    const CameraResult deleted = camera->Delete("/DCIM/100TEST", "IMG_0001.JPG");
    ASSERT_TRUE(deleted.ok()) << deleted.reason;
    EXPECT_FALSE(fs::exists(first));
    EXPECT_TRUE(fs::exists(second));
    EXPECT_TRUE(fs::exists(other));
    EXPECT_EQ(
        PathsOf(ListCameraPictures(*camera).pictures),
        (std::vector<std::string>{"/DCIM/100TEST/IMG_0002.JPG", "/DCIM/101TEST/IMG_0001.JPG"}));
    EXPECT_FALSE(camera->Delete("/DCIM/100TEST", "IMG_0001.JPG").ok());
}

TEST(GphotoRemoval, ACameraPulledOutDuringTheWalkFailsIt) {
    IN_CAMERA_WORLD();
    TmpfsCamera card("card");
    card.Write("DCIM/100TEST/IMG_0001.JPG", kJpeg);
    card.Write("DCIM/100TEST/IMG_0002.JPG", kJpeg);
    card.Write("DCIM/101TEST/IMG_0003.JPG", kJpeg);
    card.Write("DCIM/102TEST/IMG_0004.JPG", kJpeg);
    CGphotoCameraSystem system;
    const auto camera = OpenCamera(system, card.Port());
    ASSERT_TRUE(camera);

    size_t visited = 0;
    const CameraResult walked = WalkCamera(*camera, [&](const CameraItem&) {
        if (++visited == 1) {
            card.Remove();
        }
        return CameraWalkAction::Continue;
    });
    EXPECT_FALSE(walked.ok());
    EXPECT_FALSE(walked.reason.empty());
    EXPECT_LT(visited, 4u);

    EXPECT_FALSE(ListCameraPictures(*camera).result.ok());
    EXPECT_FALSE(camera
                     ->Read("/DCIM/101TEST", "IMG_0003.JPG",
                            [](const char*, size_t) { return CameraSinkAction::Continue; })
                     .result.ok());
    CUnexpectedRelease release;
    EXPECT_EQ(FindCamera(card.Port(), system, release).status, CameraFindStatus::EndSilently);
}

} // namespace
