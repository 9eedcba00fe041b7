// The volume facts of a folder on Linux: the mount table, the disk labels and statvfs.
#pragma once

#include "wizard/app/FolderVolume.h"

#include <string>
#include <string_view>
#include <vector>

// Where the facts are read from; tests point these at prepared files.
struct VolumeSources {
    std::string mountInfo = "/proc/self/mountinfo";
    std::string byLabel = "/dev/disk/by-label";
    std::string byUuid = "/dev/disk/by-uuid";
};

// One line of a mountinfo file, with its escapes decoded.
struct MountEntry {
    std::string root; // the folder of the file system that is mounted there ("/" for all of it)
    std::string mountPoint;
    std::string fileSystem;
    std::string source; // the device, or whatever the file system was mounted from
};

// The volume facts of folder read from `sources` (relative paths are taken from the working
// directory).
FolderVolume GetFolderVolume(const std::string& folder, const VolumeSources& sources);

// The mounts of a mountinfo text in the order listed; lines that are not understood are left out.
std::vector<MountEntry> ParseMountInfo(std::string_view text);

// The mount that holds realPath (an absolute path without symbolic links, "." or ".."): the one
// with the longest mount point that is a prefix of realPath component by component, the last
// listed among equals, since that one was mounted over the others. Null when none is.
const MountEntry* FindMountOf(const std::vector<MountEntry>& mounts, std::string_view realPath);

// The label whose link in byLabelDir leads to the same file as source, decoded; empty when none
// does or source is not an absolute path.
std::string FindDiskLabel(const std::string& byLabelDir, const std::string& source);

// A mountinfo field with its octal escapes ("\040" for a space) decoded.
std::string DecodeMountInfoField(std::string_view field);

// A by-label link name with its hexadecimal escapes ("\x20" for a space) decoded.
std::string DecodeDiskLabel(std::string_view name);
