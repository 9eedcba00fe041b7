// The pictures of a camera: the walk over its folders, which files count as pictures and how they
// are numbered, the extension a copy of one gets, and the check a copy must pass before its
// original may be deleted from the camera.
#pragma once

#include "wizard/camera/Camera.h"

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

// A file counts as a picture when its media type is an image type.
bool IsPictureMediaType(std::string_view mimeType);
inline bool IsCameraPicture(const CameraItem& item) {
    return IsPictureMediaType(item.facts.mimeType);
}

// A picture in the order of the walk, numbered among the pictures only.
struct CameraPicture {
    CameraItem item;
    std::uint32_t index = 0; // 1-based
    std::uint32_t count = 0; // the number of pictures of the camera
};

struct CameraPictureList {
    CameraResult result;
    std::vector<CameraPicture> pictures; // empty unless result is ok
};

// The pictures among the items, in their order. A path listed twice is one picture, taken where
// it first appears, so the count is the number of distinct paths and no index exceeds it.
std::vector<CameraPicture> CameraPicturesOf(const std::vector<CameraItem>& items);

// Walks the whole camera and numbers its pictures. A failed walk gives no pictures at all.
CameraPictureList ListCameraPictures(CAbstractCamera& camera);

// The extension, dot included, of the copy of a picture: ".jpg" for a JPEG (by its type, or by
// a JPEG name when the type says nothing else); otherwise the name's own extension in lower case,
// or the usual one of its type when the name has no sensible extension (nothing when the type has
// none either). A PNG or TIFF is never labelled ".jpg", whatever its name says.
std::string CameraCopyExtension(std::string_view fileName, std::string_view mimeType);

// Whether a copy may stand in for the camera's file, so that the file can be deleted: the camera
// gave the file's size, and both the bytes read from the camera and the copy's size match it.
bool CopyMatchesCameraFile(const CameraFileFacts& facts, std::uint64_t bytesRead,
                           std::uint64_t copySize);
