#include "wizard/app/linux/VolumeInfo.h"

#include "common/text/HexDigits.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>

#include <dirent.h>
#include <sys/stat.h>
#include <sys/statvfs.h>

namespace {

struct DirCloser {
    void operator()(DIR* dir) const { closedir(dir); }
};
using DirHandle = std::unique_ptr<DIR, DirCloser>;

struct FreeDeleter {
    void operator()(char* text) const { std::free(text); }
};

bool IsOctal(char c) {
    return c >= '0' && c <= '7';
}

std::vector<std::string_view> SplitFields(std::string_view line) {
    std::vector<std::string_view> fields;
    size_t start = 0;
    while (start < line.size()) {
        const size_t end = std::min(line.find(' ', start), line.size());
        if (end > start) {
            fields.push_back(line.substr(start, end - start));
        }
        start = end + 1;
    }
    return fields;
}

// True when prefix is path itself or one of the folders above it.
bool IsComponentPrefix(std::string_view prefix, std::string_view path) {
    if (prefix == "/") {
        return !path.empty() && path.front() == '/';
    }
    if (path.substr(0, prefix.size()) != prefix) {
        return false;
    }
    return path.size() == prefix.size() || path[prefix.size()] == '/';
}

std::string LastComponent(std::string_view path) {
    while (path.size() > 1 && path.back() == '/') {
        path.remove_suffix(1);
    }
    if (path == "/") {
        return "/";
    }
    const size_t slash = path.rfind('/');
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

bool ReadWhole(const std::string& path, std::string& text) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return false;
    }
    // Files under /proc report no size, so they are read to their end rather than by length.
    std::ostringstream contents;
    contents << in.rdbuf();
    text = std::move(contents).str();
    return true;
}

} // namespace

std::string DecodeMountInfoField(std::string_view field) {
    std::string decoded;
    decoded.reserve(field.size());
    for (size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size() && IsOctal(field[i + 1]) &&
            IsOctal(field[i + 2]) && IsOctal(field[i + 3])) {
            const int value =
                (field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 + (field[i + 3] - '0');
            decoded += static_cast<char>(value & 0xFF);
            i += 3;
        } else {
            decoded += field[i];
        }
    }
    return decoded;
}

std::string DecodeDiskLabel(std::string_view name) {
    std::string decoded;
    decoded.reserve(name.size());
    for (size_t i = 0; i < name.size(); ++i) {
        if (name[i] == '\\' && i + 3 < name.size() && name[i + 1] == 'x' &&
            HexDigitValue(name[i + 2]) >= 0 && HexDigitValue(name[i + 3]) >= 0) {
            decoded +=
                static_cast<char>(HexDigitValue(name[i + 2]) * 16 + HexDigitValue(name[i + 3]));
            i += 3;
        } else {
            decoded += name[i];
        }
    }
    return decoded;
}

std::vector<MountEntry> ParseMountInfo(std::string_view text) {
    std::vector<MountEntry> mounts;
    while (!text.empty()) {
        const size_t end = std::min(text.find('\n'), text.size());
        const std::vector<std::string_view> fields = SplitFields(text.substr(0, end));
        text.remove_prefix(std::min(end + 1, text.size()));

        // id, parent, major:minor, root, mount point, options, optional fields, "-", file
        // system, source, super options.
        const auto separator = std::find(fields.begin() + std::min<size_t>(fields.size(), 6),
                                         fields.end(), std::string_view{"-"});
        if (fields.size() < 6 || separator == fields.end() || fields.end() - separator < 3) {
            continue;
        }
        MountEntry entry;
        entry.root = DecodeMountInfoField(fields[3]);
        entry.mountPoint = DecodeMountInfoField(fields[4]);
        entry.fileSystem = DecodeMountInfoField(separator[1]);
        entry.source = DecodeMountInfoField(separator[2]);
        if (entry.mountPoint.empty() || entry.mountPoint.front() != '/') {
            continue;
        }
        mounts.push_back(std::move(entry));
    }
    return mounts;
}

const MountEntry* FindMountOf(const std::vector<MountEntry>& mounts, std::string_view realPath) {
    const MountEntry* best = nullptr;
    for (const MountEntry& mount : mounts) {
        if (IsComponentPrefix(mount.mountPoint, realPath) &&
            (best == nullptr || mount.mountPoint.size() >= best->mountPoint.size())) {
            best = &mount;
        }
    }
    return best;
}

std::string FindDiskLabel(const std::string& byLabelDir, const std::string& source) {
    struct stat device {};
    // A source such as "tmpfs" names no file, and must not be looked up in the working directory.
    if (source.empty() || source.front() != '/' || stat(source.c_str(), &device) != 0) {
        return {};
    }
    const DirHandle dir(opendir(byLabelDir.c_str()));
    if (!dir) {
        return {};
    }
    std::vector<std::string> names;
    while (const dirent* entry = readdir(dir.get())) {
        const std::string_view name = entry->d_name;
        if (name != "." && name != "..") {
            names.emplace_back(name);
        }
    }
    // The listing's order is the file system's; sorted, the same label wins on every run.
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) {
        struct stat target {};
        const std::string link = byLabelDir + "/" + name;
        if (stat(link.c_str(), &target) == 0 && target.st_dev == device.st_dev &&
            target.st_ino == device.st_ino) {
            return DecodeDiskLabel(name);
        }
    }
    return {};
}

FolderVolume GetFolderVolume(const std::string& folder, const VolumeSources& sources) {
    FolderVolume volume;
    const std::unique_ptr<char, FreeDeleter> resolved(realpath(folder.c_str(), nullptr));
    if (!resolved) {
        volume.error = errno;
        volume.status = volume.error == ENOENT || volume.error == ENOTDIR
                            ? FolderVolumeStatus::Missing
                            : FolderVolumeStatus::Unreadable;
        return volume;
    }
    const std::string realPath = resolved.get();
    struct stat info {};
    if (stat(realPath.c_str(), &info) != 0) {
        volume.error = errno;
        volume.status = FolderVolumeStatus::Unreadable;
        return volume;
    }
    if (!S_ISDIR(info.st_mode)) {
        volume.error = ENOTDIR;
        volume.status = FolderVolumeStatus::Missing;
        return volume;
    }
    if (!DirHandle(opendir(realPath.c_str()))) {
        volume.error = errno;
        volume.status = FolderVolumeStatus::Unreadable;
        return volume;
    }
    volume.status = FolderVolumeStatus::Ok;

    struct statvfs fileSystem {};
    // When the flags cannot be read the box stays usable: a delete that fails is reported then.
    volume.cannotDelete =
        statvfs(realPath.c_str(), &fileSystem) == 0 && (fileSystem.f_flag & ST_RDONLY) != 0;

    std::string mountInfo;
    std::vector<MountEntry> mounts;
    if (ReadWhole(sources.mountInfo, mountInfo)) {
        mounts = ParseMountInfo(mountInfo);
    }
    const MountEntry* mount = FindMountOf(mounts, realPath);
    if (mount == nullptr) {
        // Without the mount table there is no volume to name; the folder stands in for it.
        volume.displayName = LastComponent(realPath);
        return volume;
    }
    volume.driveText = mount->mountPoint;
    volume.displayName = FindDiskLabel(sources.byLabel, mount->source);
    if (volume.displayName.empty()) {
        // The root file system has no name of its own: "/ (/)" tells the user nothing, the
        // folder's own name does.
        volume.displayName =
            mount->mountPoint == "/" ? LastComponent(realPath) : LastComponent(mount->mountPoint);
    }
    return volume;
}

FolderVolume GetFolderVolume(const std::string& folder) {
    return GetFolderVolume(folder, VolumeSources{});
}
