#include "wizard/search/MediaGroups.h"

#include <algorithm>
#include <string>
#include <unordered_map>

namespace {

char FoldAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string FoldedKey(std::string_view folder, std::string_view base) {
    std::string key;
    key.reserve(folder.size() + base.size() + 1);
    for (const char c : folder) {
        key += FoldAscii(c);
    }
    key += '\0';
    for (const char c : base) {
        key += FoldAscii(c);
    }
    return key;
}

bool SameFolded(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return FoldAscii(x) == FoldAscii(y);
           });
}

} // namespace

std::string_view MediaBaseName(std::string_view name, MediaKind kind) {
    size_t dot = name.rfind('.');
    if (dot == std::string_view::npos || dot == 0) {
        return name;
    }
    std::string_view base = name.substr(0, dot);
    if (kind == MediaKind::Sidecar) {
        dot = base.rfind('.');
        if (dot != std::string_view::npos && dot > 0) {
            const MediaKind inner = MediaKindOfExtension(base.substr(dot));
            if (inner == MediaKind::Picture || inner == MediaKind::Video) {
                base = base.substr(0, dot);
            }
        }
    }
    return base;
}

std::string_view MediaCopySuffix(std::string_view name, MediaKind kind) {
    const std::string_view base = MediaBaseName(name, kind);
    if (base.size() < name.size()) {
        return name.substr(base.size());
    }
    const size_t dot = name.rfind('.');
    return dot == std::string_view::npos ? std::string_view{} : name.substr(dot);
}

std::vector<MediaGroup> GroupMediaFiles(const std::vector<MediaFile>& files, bool withVideos) {
    struct Gathering {
        std::vector<size_t> members;
        std::vector<size_t> sidecars;
        bool hasPicture = false;
        bool hasVideo = false;
    };
    std::vector<Gathering> gatherings;
    // The group that files of a base name join; a clash moves it to the newer group.
    std::unordered_map<std::string, size_t> groupOfKey;
    auto holdsSuffix = [&files](const Gathering& gathering, std::string_view suffix) {
        auto same = [&](size_t index) { return SameFolded(files[index].copySuffix, suffix); };
        return std::any_of(gathering.members.begin(), gathering.members.end(), same) ||
               std::any_of(gathering.sidecars.begin(), gathering.sidecars.end(), same);
    };
    for (size_t index = 0; index < files.size(); ++index) {
        const MediaFile& file = files[index];
        if (file.kind == MediaKind::None || (file.kind == MediaKind::Video && !withVideos)) {
            continue;
        }
        const std::string key = FoldedKey(file.folder, MediaBaseName(file.name, file.kind));
        auto found = groupOfKey.find(key);
        if (found == groupOfKey.end() || holdsSuffix(gatherings[found->second], file.copySuffix)) {
            gatherings.emplace_back();
            groupOfKey[key] = gatherings.size() - 1;
            found = groupOfKey.find(key);
        }
        Gathering& gathering = gatherings[found->second];
        if (file.kind == MediaKind::Sidecar) {
            gathering.sidecars.push_back(index);
        } else {
            gathering.members.push_back(index);
            gathering.hasPicture = gathering.hasPicture || file.kind == MediaKind::Picture;
            gathering.hasVideo = gathering.hasVideo || file.kind == MediaKind::Video;
        }
    }
    std::vector<MediaGroup> groups;
    for (Gathering& gathering : gatherings) {
        if (gathering.members.empty()) {
            continue; // a sidecar without its picture is not copied
        }
        MediaGroup group;
        group.kind = gathering.hasPicture ? MediaKind::Picture : MediaKind::Video;
        group.files = std::move(gathering.members);
        group.files.insert(group.files.end(), gathering.sidecars.begin(), gathering.sidecars.end());
        groups.push_back(std::move(group));
    }
    return groups;
}

std::vector<FoundGroup> GroupFoundPictures(const FoundSet& found, bool withVideos) {
    std::vector<const FoundPicture*> pictures;
    std::vector<MediaFile> files;
    pictures.reserve(found.size());
    files.reserve(found.size());
    for (const FoundPicture& picture : found) {
        // The search decides what is found: a file the list does not know (a search for every
        // file) is a picture of its own.
        const MediaKind known = MediaKindOfName(picture.name);
        const MediaKind kind = known == MediaKind::None ? MediaKind::Picture : known;
        pictures.push_back(&picture);
        files.push_back({picture.folder, picture.name, kind, MediaCopySuffix(picture.name, kind)});
    }
    std::vector<FoundGroup> groups;
    for (const MediaGroup& group : GroupMediaFiles(files, withVideos)) {
        FoundGroup& made = groups.emplace_back();
        made.kind = group.kind;
        for (const size_t index : group.files) {
            made.files.push_back(pictures[index]);
        }
    }
    return groups;
}

FoundSet FilesToCopy(const FoundSet& found, bool withVideos) {
    FoundSet files;
    for (const FoundGroup& group : GroupFoundPictures(found, withVideos)) {
        for (const FoundPicture* picture : group.files) {
            files.insert(*picture);
        }
    }
    return files;
}
