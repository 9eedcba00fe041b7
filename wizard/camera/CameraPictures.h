// The pictures of a camera: the walk over its folders, which files count as pictures and how they
// are numbered, the extension a copy of one gets, and the check a copy must pass before its
// original may be deleted from the camera.
#pragma once

#include "wizard/camera/Camera.h"
#include "wizard/record/CopyRecord.h"
#include "wizard/search/MediaKinds.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

// One file found on the camera.
struct CameraItem {
    std::string folder; // absolute folder path on the camera
    std::string name;
    CameraFileFacts facts;

    // The folder and the name joined: the file's path on the camera.
    std::string FullPath() const;
};

enum class CameraWalkAction : std::uint8_t { Continue, Stop };

// Visits every file of the camera: for each folder, from "/" down, its files in the camera's
// order, then each sub-folder in the camera's order, depth first. Ends early when the visitor
// returns Stop (the result is then ok). A folder that cannot be listed, or a file whose facts
// cannot be read, ends the walk with that failure: a half-read camera must not pass for a
// complete one.
CameraResult WalkCamera(CAbstractCamera& camera,
                        const std::function<CameraWalkAction(const CameraItem&)>& visit);

// A media type that is an image type.
bool IsPictureMediaType(std::string_view mimeType);

// What the wizard makes of a camera's file: by its media type, or by its name where the type
// tells nothing, as the folder search does by the name.
inline MediaKind CameraMediaKind(const CameraItem& item) {
    return MediaKindOfCameraFile(item.name, item.facts.mimeType);
}
inline bool IsCameraPicture(const CameraItem& item) {
    return CameraMediaKind(item) == MediaKind::Picture;
}

// A file to copy, in the order of the walk with the files of one picture together, numbered
// among the pictures only: the files of one picture (a raw file and its JPEG, a sidecar) share
// the number.
struct CameraPicture {
    CameraItem item;
    std::uint32_t index = 0; // 1-based
    std::uint32_t count = 0; // the number of pictures of the camera
    bool startsPicture = true;
    bool video = false;        // the picture holds videos only
    std::string copyExtension; // the extension of the file's copy
};

struct CameraPictureList {
    CameraResult result;
    std::vector<CameraPicture> pictures; // empty unless result is ok
};

// The files to copy among the items, gathered into pictures in the order of each picture's first
// file; videos only when `withVideos`, and no sidecar without its picture. A path listed twice is
// one file, taken where it first appears, so no index exceeds the count.
std::vector<CameraPicture> CameraPicturesOf(const std::vector<CameraItem>& items,
                                            bool withVideos = false);

// Walks the whole camera and numbers its pictures. A failed walk gives no pictures at all.
CameraPictureList ListCameraPictures(CAbstractCamera& camera, bool withVideos = false);

// The extension, dot included, of the copy of a picture: ".jpg" for a JPEG (by its type, or by
// a JPEG name when the type says nothing else); otherwise the name's own extension in lower case,
// or the usual one of its type when the name has no sensible extension (nothing when the type has
// none either). A PNG or TIFF is never labelled ".jpg", whatever its name says.
std::string CameraCopyExtension(std::string_view fileName, std::string_view mimeType);

// Whether a copy may stand in for the camera's file, so that the file can be deleted: the camera
// gave the file's size, and both the bytes read from the camera and the copy's size match it.
bool CopyMatchesCameraFile(const CameraFileFacts& facts, std::uint64_t bytesRead,
                           std::uint64_t copySize);

// What the record of copies knows a camera's file by: the camera (its model and serial number, or
// its port when it tells no number) and the file's path on it, with the size and time the camera
// gives. A file whose size or time the camera does not tell gets no identity, and so is always
// copied: cameras give the same names again once their counter has gone round, and a name with a
// size alone could pass a new picture for an old one.
SourceFacts CameraSourceFacts(const CameraPort& camera, const CameraItem& item);
