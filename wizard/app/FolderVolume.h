// What the wizard shows of the volume that holds an uploaded folder: a name for it, where it is,
// and whether its pictures can be deleted.
#pragma once

#include <string>

enum class FolderVolumeStatus {
    Ok,
    Missing,    // no such folder, or the path names something else than a folder
    Unreadable, // the folder is there but cannot be listed; error says why
};

struct FolderVolume {
    FolderVolumeStatus status = FolderVolumeStatus::Missing;
    int error = 0; // errno, when status is not Ok
    // The file system's label. Linux: else the last component of its mount point; on the root
    // file system, which has no such name, the folder's own name ("/" for the root folder
    // itself). Windows: else the drive.
    std::string displayName;
    // Linux: the mount point; empty when the mount table could not be read. Windows: the drive
    // letter, upper case, with its colon ("D:"), or the share's root for a network path.
    std::string driveText;
    // The file system is mounted read-only, so nothing can be deleted from it.
    bool cannotDelete = false;
};

// The volume facts of folder on this platform (relative paths are taken from the working
// directory).
FolderVolume GetFolderVolume(const std::string& folder);
