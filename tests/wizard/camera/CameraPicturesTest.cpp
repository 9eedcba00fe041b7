// Which camera files are pictures, how they are numbered, what their copies are called, and the
// walk's order and its refusals, over cameras made up in memory.
#include "wizard/camera/CameraPictures.h"

#include "tests/wizard/camera/FakeCamera.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(CameraPictureNaming, JpegsBecomeJpgAndOtherImagesKeepTheirOwnExtensionLowerCased) {
    EXPECT_EQ(CameraCopyExtension("IMG_0001.JPG", "image/jpeg"), ".jpg");
    EXPECT_EQ(CameraCopyExtension("IMG_0001.JPEG", "image/jpeg"), ".jpg");
    EXPECT_EQ(CameraCopyExtension("IMG_0001", "image/jpeg"), ".jpg");
    EXPECT_EQ(CameraCopyExtension("odd.bin", "Image/JPEG; q=1"), ".jpg");
    // A name that says JPEG, of a type the camera does not name more precisely.
    EXPECT_EQ(CameraCopyExtension("IMG_0002.Jpeg", "image/x-unknown"), ".jpg");
    EXPECT_EQ(CameraCopyExtension("IMG_0002.JPE", ""), ".jpg");

    EXPECT_EQ(CameraCopyExtension("Shot.PNG", "image/png"), ".png");
    EXPECT_EQ(CameraCopyExtension("scan.TIFF", "image/tiff"), ".tiff");
    EXPECT_EQ(CameraCopyExtension("scan.TIF", "image/tiff"), ".tif");
    EXPECT_EQ(CameraCopyExtension("IMG_0003.CR2", "image/x-canon-cr2"), ".cr2");
    EXPECT_EQ(CameraCopyExtension("archive.tar.GZ", "image/x-odd"), ".gz");
}

TEST(CameraPictureNaming, APngOrTiffIsNeverLabelledJpg) {
    EXPECT_EQ(CameraCopyExtension("wrongly.jpg", "image/png"), ".png");
    EXPECT_EQ(CameraCopyExtension("wrongly.JPEG", "image/tiff"), ".tif");
    EXPECT_EQ(CameraCopyExtension("wrongly.jpg", "image/gif"), ".gif");
}

TEST(CameraPictureNaming, NamesWithoutASensibleExtensionFallBackOnTheirType) {
    EXPECT_EQ(CameraCopyExtension("PICT0001", "image/png"), ".png");
    EXPECT_EQ(CameraCopyExtension("PICT0001.", "image/bmp"), ".bmp");
    EXPECT_EQ(CameraCopyExtension(".hidden", "image/gif"), ".gif");
    EXPECT_EQ(CameraCopyExtension("PICT0001", "image/x-unknown"), "");
    // A name from the camera never carries path parts or odd bytes into the copy's name.
    EXPECT_EQ(CameraCopyExtension("a.b/../../etc", "image/png"), ".png");
    EXPECT_EQ(CameraCopyExtension("a.p g", "image/png"), ".png");
    EXPECT_EQ(CameraCopyExtension("a.\xC3\xA9", "image/x-unknown"), "");
    EXPECT_EQ(CameraCopyExtension("a.abcdefghijklmnopq", "image/png"), ".png");
    EXPECT_EQ(CameraCopyExtension("a.abcdefghijklmnop", "image/png"), ".abcdefghijklmnop");
}

TEST(CameraPictureNaming, OnlyImageTypesArePictures) {
    EXPECT_TRUE(IsPictureMediaType("image/jpeg"));
    EXPECT_TRUE(IsPictureMediaType("IMAGE/PNG"));
    EXPECT_TRUE(IsPictureMediaType("image/x-canon-cr2"));
    EXPECT_FALSE(IsPictureMediaType("image/"));
    EXPECT_FALSE(IsPictureMediaType("video/quicktime"));
    EXPECT_FALSE(IsPictureMediaType("application/octet-stream"));
    EXPECT_FALSE(IsPictureMediaType("images/jpeg"));
    EXPECT_FALSE(IsPictureMediaType(""));
}

CameraItem Item(const std::string& folder, const std::string& name, const std::string& type) {
    return {folder, name, FakeFacts(type)};
}

std::vector<std::string> PathsOf(const std::vector<CameraPicture>& pictures) {
    std::vector<std::string> paths;
    for (const CameraPicture& picture : pictures) {
        paths.push_back(picture.item.FullPath());
    }
    return paths;
}

TEST(CameraPictureNumbering, PicturesAreNumberedAmongThemselvesOnly) {
    const std::vector<CameraPicture> pictures = CameraPicturesOf({
        Item("/DCIM/100ABCDE", "MVI_0001.MOV", "video/quicktime"),
        Item("/DCIM/100ABCDE", "IMG_0002.JPG", "image/jpeg"),
        Item("/DCIM/100ABCDE", "NOTES.TXT", ""),
        Item("/DCIM/101ABCDE", "IMG_0002.JPG", "image/jpeg"),
        Item("/", "IMG_0003.PNG", "image/png"),
    });
    EXPECT_EQ(PathsOf(pictures),
              (std::vector<std::string>{"/DCIM/100ABCDE/IMG_0002.JPG",
                                        "/DCIM/101ABCDE/IMG_0002.JPG", "/IMG_0003.PNG"}));
    for (size_t i = 0; i < pictures.size(); ++i) {
        EXPECT_EQ(pictures[i].index, i + 1);
        EXPECT_EQ(pictures[i].count, 3u);
    }
    EXPECT_TRUE(CameraPicturesOf({Item("/DCIM", "a.mov", "video/mp4")}).empty());
}

TEST(CameraPictureNumbering, APathListedTwiceIsOnePictureSoNoIndexExceedsTheCount) {
    const std::vector<CameraPicture> pictures = CameraPicturesOf({
        Item("/DCIM/100A", "IMG_1.JPG", "image/jpeg"),
        Item("/DCIM/100A", "IMG_2.JPG", "image/jpeg"),
        Item("/DCIM/100A", "IMG_1.JPG", "image/jpeg"),
    });
    ASSERT_EQ(pictures.size(), 2u);
    EXPECT_EQ(pictures[1].item.name, "IMG_2.JPG");
    EXPECT_EQ(pictures[1].index, 2u);
    EXPECT_EQ(pictures[1].count, 2u);
}

TEST(CameraCopyCheck, OnlyACopyOfTheCamerasOwnSizeMayReplaceIt) {
    CameraFileFacts facts = FakeFacts("image/jpeg", true, 5000);
    EXPECT_TRUE(CopyMatchesCameraFile(facts, 5000, 5000));
    EXPECT_FALSE(CopyMatchesCameraFile(facts, 4999, 5000)); // the camera gave less than it said
    EXPECT_FALSE(CopyMatchesCameraFile(facts, 5000, 4096)); // the copy came out short
    EXPECT_FALSE(CopyMatchesCameraFile(facts, 5001, 5001));
    facts.sizeKnown = false; // a size the camera never gave cannot be checked
    EXPECT_FALSE(CopyMatchesCameraFile(facts, 5000, 5000));
    facts.sizeKnown = true;
    facts.size = 0;
    EXPECT_TRUE(CopyMatchesCameraFile(facts, 0, 0));
}

std::vector<std::string> WalkedPaths(CAbstractCamera& camera, CameraResult& result,
                                     size_t stopAfter = 1000) {
    std::vector<std::string> paths;
    result = WalkCamera(camera, [&](const CameraItem& item) {
        paths.push_back(item.FullPath());
        return paths.size() >= stopAfter ? CameraWalkAction::Stop : CameraWalkAction::Continue;
    });
    return paths;
}

TEST(CameraWalk, FilesOfAFolderComeBeforeItsSubFoldersInTheCamerasOrder) {
    CFakeCamera camera;
    camera.AddFile("/", "root.jpg", FakeFacts("image/jpeg"));
    camera.AddFolder("/", "MISC");
    camera.AddFolder("/", "DCIM");
    camera.AddFolder("/DCIM", "101B");
    camera.AddFolder("/DCIM", "100A");
    camera.AddFile("/DCIM/101B", "b.jpg", FakeFacts("image/jpeg"));
    camera.AddFile("/DCIM/100A", "z.jpg", FakeFacts("image/jpeg"));
    camera.AddFile("/DCIM/100A", "a.jpg", FakeFacts("image/jpeg"));
    camera.AddFile("/DCIM", "x.mov", FakeFacts("video/quicktime"));
    camera.AddFile("/MISC", "m.txt", FakeFacts("text/plain"));

    CameraResult result;
    EXPECT_EQ(
        WalkedPaths(camera, result),
        (std::vector<std::string>{"/root.jpg", "/MISC/m.txt", "/DCIM/x.mov", "/DCIM/101B/b.jpg",
                                  "/DCIM/100A/z.jpg", "/DCIM/100A/a.jpg"}));
    EXPECT_TRUE(result.ok());

    // A visitor that has what it needs stops the walk, which is then no failure.
    EXPECT_EQ(WalkedPaths(camera, result, 3).size(), 3u);
    EXPECT_TRUE(result.ok());
}

TEST(CameraWalk, AFolderThatCannotBeListedFailsTheWholeWalk) {
    CFakeCamera camera;
    camera.AddFolder("/", "DCIM");
    camera.AddFolder("/DCIM", "100A");
    camera.AddFolder("/DCIM", "101B");
    camera.AddFile("/DCIM/100A", "a.jpg", FakeFacts("image/jpeg"));
    camera.AddFile("/DCIM/101B", "b.jpg", FakeFacts("image/jpeg"));
    camera.FailListing("/DCIM/101B");

    CameraResult result;
    EXPECT_EQ(WalkedPaths(camera, result), (std::vector<std::string>{"/DCIM/100A/a.jpg"}));
    EXPECT_EQ(result.status, CameraStatus::Failed);

    const CameraPictureList list = ListCameraPictures(camera);
    EXPECT_FALSE(list.result.ok());
    EXPECT_TRUE(list.pictures.empty()) << "half a camera must not pass for all of it";
}

TEST(CameraWalk, AFolderLoopEndsWithAFailureInsteadOfRunningForEver) {
    CFakeCamera camera;
    camera.MakeEndless();
    CameraResult result;
    WalkedPaths(camera, result);
    EXPECT_EQ(result.status, CameraStatus::Failed);
    EXPECT_NE(result.reason.find("nested too deeply"), std::string::npos) << result.reason;
}

} // namespace
