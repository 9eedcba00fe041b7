// What the wizard copies and which files make one picture: the list both modes share, the
// camera's types against its names, and the grouping of raw files, their JPEGs and sidecars.
#include "wizard/search/MediaGroups.h"
#include "wizard/search/MediaKinds.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

TEST(MediaKinds, TheListKnowsPicturesRawAndPhoneFilesVideosAndSidecarsInAnyCase) {
    struct Case {
        const char* name;
        MediaKind kind;
    };
    const Case cases[] = {
        {"IMG_0001.JPG", MediaKind::Picture},
        {"scan.Tiff", MediaKind::Picture},
        {"IMG_0001.cr2", MediaKind::Picture},
        {"_DSC0001.NEF", MediaKind::Picture},
        {"DSC00001.ARW", MediaKind::Picture},
        {"P1000001.RW2", MediaKind::Picture},
        {"DSCF0001.RAF", MediaKind::Picture},
        {"IMG_0001.CR3", MediaKind::Picture},
        {"IMG_0001.HEIC", MediaKind::Picture},
        {"shot.heif", MediaKind::Picture},
        {"shot.WebP", MediaKind::Picture},
        {"IMG_0001.DNG", MediaKind::Picture},
        {"MVI_0001.MOV", MediaKind::Video},
        {"00001.MTS", MediaKind::Video},
        {"00001.m2ts", MediaKind::Video},
        {"VID_1.mp4", MediaKind::Video},
        {"clip.3GP", MediaKind::Video},
        {"IMG_0001.XMP", MediaKind::Sidecar},
        {"IMG_0001.CR2.xmp", MediaKind::Sidecar},
        {"notes.txt", MediaKind::None},
        {"README", MediaKind::None},
        {"archive.jpg.gz", MediaKind::None},
        {"odd.jpegx", MediaKind::None},
        {"trailing.", MediaKind::None},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(MediaKindOfName(c.name), c.kind) << c.name;
    }
}

TEST(MediaKinds, TheSearchGetsEveryExtensionInBothCasesAndNothingElse) {
    const std::vector<std::string> extensions = SearchExtensions();
    for (const char* wanted : {".JPG", ".jpg", ".CR2", ".cr2", ".HEIC", ".heic", ".MP4", ".mp4",
                               ".M2TS", ".m2ts", ".XMP", ".xmp", ".BMP", ".bmp"}) {
        EXPECT_NE(std::find(extensions.begin(), extensions.end(), wanted), extensions.end())
            << wanted;
    }
    for (const std::string& extension : extensions) {
        EXPECT_NE(MediaKindOfExtension(extension), MediaKind::None) << extension;
        EXPECT_TRUE(IsNumberedExtension(extension)) << extension;
    }
    EXPECT_EQ(std::find(extensions.begin(), extensions.end(), ".Jpg"), extensions.end())
        << "mixed-case forms are not searched for";
}

TEST(MediaKinds, ACamerasTypeDecidesAndItsNameOnlyWhereTheTypeSaysNothing) {
    struct Case {
        const char* name;
        const char* type;
        MediaKind kind;
    };
    const Case cases[] = {
        {"IMG_0001.CR2", "image/x-raw", MediaKind::Picture},
        {"IMG_0001.CR3", "application/octet-stream", MediaKind::Picture},
        {"IMG_0001.HEIC", "", MediaKind::Picture},
        {"PICT0001", "image/x-canon-cr2", MediaKind::Picture},
        {"MVI_0001.MOV", "video/quicktime", MediaKind::Video},
        {"00001.MTS", "video/mp2t; x=1", MediaKind::Video},
        {"IMG_0001.XMP", "application/octet-stream", MediaKind::Sidecar},
        {"IMG_0001.xmp", "text/xml", MediaKind::Sidecar},
        {"INDEX.DAT", "application/octet-stream", MediaKind::None},
        {"NOTES.TXT", "text/plain", MediaKind::None},
        {"sound.mp4", "audio/mp4", MediaKind::Video},
        {"image.bin", "image/", MediaKind::None},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(MediaKindOfCameraFile(c.name, c.type), c.kind) << c.name << " " << c.type;
    }
}

// Groups of a folder listing, each as its names joined by '+'.
std::vector<std::string> Grouped(const std::vector<std::pair<std::string, std::string>>& files,
                                 bool withVideos = true) {
    std::vector<MediaFile> media;
    for (const auto& [folder, name] : files) {
        const MediaKind kind = MediaKindOfName(name);
        media.push_back({folder, name, kind, MediaCopySuffix(name, kind)});
    }
    std::vector<std::string> groups;
    for (const MediaGroup& group : GroupMediaFiles(media, withVideos)) {
        std::string joined = group.kind == MediaKind::Video ? "video:" : "";
        for (const size_t index : group.files) {
            joined += (joined.empty() || joined == "video:" ? "" : "+") + files[index].second;
        }
        groups.push_back(joined);
    }
    return groups;
}

TEST(MediaGroups, FilesThatDifferOnlyInTheirExtensionInOneFolderMakeOnePicture) {
    EXPECT_EQ(Grouped({{"/c/", "IMG_1.CR2"},
                       {"/c/", "IMG_1.JPG"},
                       {"/c/", "img_1.xmp"},
                       {"/c/", "IMG_2.JPG"},
                       {"/d/", "IMG_1.JPG"}}),
              (std::vector<std::string>{"IMG_1.CR2+IMG_1.JPG+img_1.xmp", "IMG_2.JPG", "IMG_1.JPG"}))
        << "letter case ignored, folders apart";
    EXPECT_EQ(Grouped({{"/c/", "IMG_1.xmp"}, {"/c/", "IMG_1.HEIC"}, {"/c/", "IMG_1.MOV"}}),
              (std::vector<std::string>{"IMG_1.HEIC+IMG_1.MOV+IMG_1.xmp"}))
        << "a sidecar goes last; a phone picture and its short video are one picture";
    EXPECT_EQ(Grouped({{"/c/", "IMG_1.CR2"}, {"/c/", "IMG_1.CR2.xmp"}}),
              (std::vector<std::string>{"IMG_1.CR2+IMG_1.CR2.xmp"}))
        << "a sidecar named after the raw file's whole name";
    EXPECT_EQ(Grouped({{"/c/", "a.b.jpg"}, {"/c/", "a.jpg"}, {"/c/", "a.b.cr2"}}),
              (std::vector<std::string>{"a.b.jpg+a.b.cr2", "a.jpg"}));
}

TEST(MediaGroups, SidecarsAloneAndUnwantedVideosStayBehind) {
    EXPECT_EQ(Grouped({{"/c/", "IMG_1.xmp"}, {"/c/", "IMG_2.JPG"}}),
              (std::vector<std::string>{"IMG_2.JPG"}));
    EXPECT_EQ(Grouped({{"/c/", "MVI_3.MOV"}, {"/c/", "MVI_3.xmp"}}),
              (std::vector<std::string>{"video:MVI_3.MOV+MVI_3.xmp"}));
    EXPECT_EQ(Grouped({{"/c/", "MVI_3.MOV"},
                       {"/c/", "MVI_3.xmp"},
                       {"/c/", "IMG_4.HEIC"},
                       {"/c/", "IMG_4.MOV"}},
                      false),
              (std::vector<std::string>{"IMG_4.HEIC"}))
        << "without videos, a video's sidecar has no picture left";
}

TEST(MediaGroups, TwoFilesThatWouldTakeOneNameAreTwoPictures) {
    // A camera names both copies ".jpg"; one number for both would give one name twice.
    const std::vector<MediaFile> files{{"/DCIM", "IMG_1.JPG", MediaKind::Picture, ".jpg"},
                                       {"/DCIM", "IMG_1.JPEG", MediaKind::Picture, ".jpg"},
                                       {"/DCIM", "IMG_1.CR2", MediaKind::Picture, ".cr2"}};
    const std::vector<MediaGroup> groups = GroupMediaFiles(files, true);
    ASSERT_EQ(groups.size(), 2u);
    EXPECT_EQ(groups[0].files, (std::vector<size_t>{0}));
    EXPECT_EQ(groups[1].files, (std::vector<size_t>{1, 2}));
}

TEST(MediaGroups, AFoundFileTheListDoesNotKnowIsCopiedAsAPictureOfItsOwn) {
    FoundSet found;
    for (const char* name : {"c", "b.jpg", "notes.txt", "d.xmp"}) {
        found.insert({"/card/", name});
    }
    const std::vector<FoundGroup> groups = GroupFoundPictures(found, true);
    ASSERT_EQ(groups.size(), 3u);
    EXPECT_EQ(groups[1].files.front()->name, "c");
    EXPECT_EQ(FilesToCopy(found, true).size(), 3u) << "the lone sidecar stays";
}

} // namespace
