// Files that make one picture: in one folder, the files whose names differ only in their
// extension (a raw file and its JPEG, a phone picture and its short video, a sidecar) are copied
// under one number, each with its own extension.
#pragma once

#include "wizard/search/FoundPicture.h"
#include "wizard/search/MediaKinds.h"

#include <cstddef>
#include <string_view>
#include <vector>

struct MediaFile {
    std::string_view folder;
    std::string_view name;
    MediaKind kind = MediaKind::None;
    // What follows the group's base name in the copy's name (".JPG", ".CR2.xmp"). Two files of
    // one group never share one, letter case ignored, or their copies would take one name.
    std::string_view copySuffix;
};

struct MediaGroup {
    std::vector<size_t> files;           // indexes of the input; sidecars after the others
    MediaKind kind = MediaKind::Picture; // Picture when any file is one, else Video
};

// The part of a name that its group shares: the name without its extension, and for a sidecar
// also without a picture's or video's extension before its own ("IMG_1.CR2.xmp" belongs with
// "IMG_1.CR2"). The whole name when it has no extension.
std::string_view MediaBaseName(std::string_view name, MediaKind kind);

// What follows the base name: the copy's own extension, exactly as written (".JPG", ".CR2.xmp").
// For a name that is all extension (".jpg"), the whole name.
std::string_view MediaCopySuffix(std::string_view name, MediaKind kind);

// The groups of the files, in the order of each group's first file. Files of kind None, and
// videos unless `withVideos`, are left out; so is a group left with sidecars only. Base names and
// folders are compared with ASCII letter case ignored; a file whose copy suffix its group already
// holds starts a group of its own.
std::vector<MediaGroup> GroupMediaFiles(const std::vector<MediaFile>& files, bool withVideos);

struct FoundGroup {
    std::vector<const FoundPicture*> files; // into the found set, which must outlive the group
    MediaKind kind = MediaKind::Picture;
};

// The found pictures grouped as above, by their names' extensions, in the found set's order. A
// file whose extension the list does not know was found all the same, and counts as a picture.
std::vector<FoundGroup> GroupFoundPictures(const FoundSet& found, bool withVideos);

// The found files that such groups copy.
FoundSet FilesToCopy(const FoundSet& found, bool withVideos);
