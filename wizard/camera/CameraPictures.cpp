#include "wizard/camera/CameraPictures.h"

#include "wizard/search/MediaGroups.h"

#include <algorithm>
#include <cctype>
#include <unordered_set>

namespace {

// Deeper than any camera or card lays out its folders; a tree this deep is a loop (a link to a
// folder above) and would never end.
constexpr int kMaxFolderDepth = 32;

// Longer than any real extension; a name from the camera is not trusted to be sensible.
constexpr size_t kMaxExtensionLength = 16;

char Lower(char c) {
    return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

std::string Lowered(std::string_view text) {
    std::string lowered(text);
    std::transform(lowered.begin(), lowered.end(), lowered.begin(), Lower);
    return lowered;
}

std::string MediaTypeOnly(std::string_view mimeType) {
    // "image/jpeg; charset=x" names the same type.
    const size_t end = mimeType.find_first_of("; \t");
    return Lowered(mimeType.substr(0, end));
}

std::string Child(const std::string& folder, const std::string& name) {
    return folder == "/" ? "/" + name : folder + "/" + name;
}

CameraResult WalkFolder(CAbstractCamera& camera, const std::string& folder, int depth,
                        const std::function<CameraWalkAction(const CameraItem&)>& visit,
                        bool& stopped) {
    if (depth > kMaxFolderDepth) {
        return {CameraStatus::Failed, 0, "the camera's folders are nested too deeply: " + folder};
    }
    std::vector<std::string> names;
    if (CameraResult listed = camera.ListFiles(folder, names); !listed.ok()) {
        return listed;
    }
    for (const std::string& name : names) {
        CameraItem item{folder, name, {}};
        if (CameraResult facts = camera.GetFileFacts(folder, name, item.facts); !facts.ok()) {
            return facts;
        }
        if (visit(item) == CameraWalkAction::Stop) {
            stopped = true;
            return {};
        }
    }
    names.clear();
    if (CameraResult listed = camera.ListFolders(folder, names); !listed.ok()) {
        return listed;
    }
    for (const std::string& name : names) {
        CameraResult walked = WalkFolder(camera, Child(folder, name), depth + 1, visit, stopped);
        if (!walked.ok() || stopped) {
            return walked;
        }
    }
    return {};
}

// The extension of a name without its dot, when it has a sensible one: letters and digits after
// a last dot that neither begins nor ends the name.
std::string_view PlainExtension(std::string_view fileName) {
    const size_t dot = fileName.rfind('.');
    if (dot == std::string_view::npos || dot == 0 || dot + 1 == fileName.size()) {
        return {};
    }
    const std::string_view extension = fileName.substr(dot + 1);
    if (extension.size() > kMaxExtensionLength) {
        return {};
    }
    for (const char c : extension) {
        if (std::isalnum(static_cast<unsigned char>(c)) == 0 ||
            static_cast<unsigned char>(c) >= 0x80) {
            return {};
        }
    }
    return extension;
}

bool IsJpegType(std::string_view mimeType) {
    const std::string type = MediaTypeOnly(mimeType);
    return type == "image/jpeg" || type == "image/jpg" || type == "image/pjpeg";
}

bool IsJpegExtension(std::string_view lowered) {
    return lowered == "jpg" || lowered == "jpeg" || lowered == "jpe";
}

std::string UsualExtensionOf(std::string_view mimeType) {
    const std::string type = MediaTypeOnly(mimeType);
    if (type == "image/png") {
        return ".png";
    }
    if (type == "image/gif") {
        return ".gif";
    }
    if (type == "image/bmp" || type == "image/x-ms-bmp") {
        return ".bmp";
    }
    if (type == "image/tiff") {
        return ".tif";
    }
    return {};
}

} // namespace

std::string CameraItem::FullPath() const {
    return Child(folder, name);
}

CameraResult WalkCamera(CAbstractCamera& camera,
                        const std::function<CameraWalkAction(const CameraItem&)>& visit) {
    bool stopped = false;
    return WalkFolder(camera, "/", 0, visit, stopped);
}

bool IsPictureMediaType(std::string_view mimeType) {
    const std::string type = MediaTypeOnly(mimeType);
    return type.size() > 6 && type.starts_with("image/");
}

std::vector<CameraPicture> CameraPicturesOf(const std::vector<CameraItem>& items, bool withVideos) {
    std::vector<const CameraItem*> distinct;
    std::vector<std::string> suffixes;
    std::unordered_set<std::string> seen;
    for (const CameraItem& item : items) {
        const MediaKind kind = CameraMediaKind(item);
        if (kind != MediaKind::None && seen.insert(item.FullPath()).second) {
            distinct.push_back(&item);
            suffixes.push_back(kind == MediaKind::Sidecar
                                   ? Lowered(MediaCopySuffix(item.name, kind))
                                   : CameraCopyExtension(item.name, item.facts.mimeType));
        }
    }
    std::vector<MediaFile> files;
    files.reserve(distinct.size());
    for (size_t i = 0; i < distinct.size(); ++i) {
        files.push_back(
            {distinct[i]->folder, distinct[i]->name, CameraMediaKind(*distinct[i]), suffixes[i]});
    }
    const std::vector<MediaGroup> groups = GroupMediaFiles(files, withVideos);
    std::vector<CameraPicture> pictures;
    for (size_t number = 0; number < groups.size(); ++number) {
        for (const size_t file : groups[number].files) {
            CameraPicture& picture = pictures.emplace_back();
            picture.item = *distinct[file];
            picture.index = static_cast<std::uint32_t>(number + 1);
            picture.startsPicture = file == groups[number].files.front();
            picture.video = groups[number].kind == MediaKind::Video;
            picture.copyExtension = suffixes[file];
        }
    }
    for (CameraPicture& picture : pictures) {
        picture.count = static_cast<std::uint32_t>(groups.size());
    }
    return pictures;
}

CameraPictureList ListCameraPictures(CAbstractCamera& camera, bool withVideos) {
    std::vector<CameraItem> items;
    CameraPictureList list;
    list.result = WalkCamera(camera, [&](const CameraItem& item) {
        if (CameraMediaKind(item) != MediaKind::None) {
            items.push_back(item);
        }
        return CameraWalkAction::Continue;
    });
    if (list.result.ok()) {
        list.pictures = CameraPicturesOf(items, withVideos);
    }
    return list;
}

std::string CameraCopyExtension(std::string_view fileName, std::string_view mimeType) {
    if (IsJpegType(mimeType)) {
        return ".jpg";
    }
    const std::string extension = Lowered(PlainExtension(fileName));
    const std::string usual = UsualExtensionOf(mimeType);
    if (IsJpegExtension(extension)) {
        // The type, when the camera names one we know, wins over a name that says JPEG.
        return usual.empty() ? ".jpg" : usual;
    }
    if (!extension.empty()) {
        return "." + extension;
    }
    return usual;
}

bool CopyMatchesCameraFile(const CameraFileFacts& facts, std::uint64_t bytesRead,
                           std::uint64_t copySize) {
    return facts.sizeKnown && bytesRead == facts.size && copySize == facts.size;
}

SourceFacts CameraSourceFacts(const CameraPort& camera, const CameraItem& item) {
    SourceFacts facts;
    if (!item.facts.sizeKnown || !item.facts.modifiedKnown) {
        return facts;
    }
    facts.identity.volume =
        "camera:" + camera.model + "/" + (camera.serial.empty() ? camera.port : camera.serial);
    facts.identity.path = item.FullPath();
    facts.size = item.facts.size;
    facts.modified = item.facts.modified;
    return facts;
}
