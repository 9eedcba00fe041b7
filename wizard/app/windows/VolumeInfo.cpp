// The volume facts of a folder on Windows: the volume's root, label and flags from
// GetVolumeInformationW.
#include "wizard/app/FolderVolume.h"

#include "common/files/windows/WideText.h"

#include <windows.h>

#include <cerrno>
#include <vector>

namespace {

int ErrnoOf(DWORD error) {
    switch (error) {
    case ERROR_ACCESS_DENIED:
        return EACCES;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
        return ENOENT;
    default:
        return EIO;
    }
}

// "D:" for a drive root ("D:\"); the root itself, without its last backslash, for a share or a
// volume mounted in a folder.
std::string DriveTextOf(std::string root) {
    while (root.size() > 1 && (root.back() == '\\' || root.back() == '/')) {
        root.pop_back();
    }
    if (root.size() == 2 && root[1] == ':' && root[0] >= 'a' && root[0] <= 'z') {
        root[0] = static_cast<char>(root[0] - 'a' + 'A');
    }
    return root;
}

} // namespace

FolderVolume GetFolderVolume(const std::string& folder) {
    FolderVolume volume;
    const std::wstring path = WideFromUtf8(folder);
    const DWORD attributes =
        path.empty() ? INVALID_FILE_ATTRIBUTES : ::GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        volume.status = FolderVolumeStatus::Missing;
        volume.error = attributes == INVALID_FILE_ATTRIBUTES ? ErrnoOf(::GetLastError()) : ENOTDIR;
        return volume;
    }
    // The folder must be listable, or its pictures are out of reach whatever the volume says.
    std::wstring pattern = path;
    if (pattern.back() != L'\\' && pattern.back() != L'/') {
        pattern.push_back(L'\\');
    }
    pattern.push_back(L'*');
    WIN32_FIND_DATAW entry{};
    const HANDLE find = ::FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &entry,
                                           FindExSearchNameMatch, nullptr, 0);
    if (find == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        if (error != ERROR_FILE_NOT_FOUND) {
            volume.status = FolderVolumeStatus::Unreadable;
            volume.error = ErrnoOf(error);
            return volume;
        }
    } else {
        ::FindClose(find);
    }
    volume.status = FolderVolumeStatus::Ok;

    std::vector<wchar_t> root(path.size() + MAX_PATH + 2);
    if (!::GetVolumePathNameW(path.c_str(), root.data(), static_cast<DWORD>(root.size()))) {
        return volume;
    }
    wchar_t label[MAX_PATH + 1] = {};
    DWORD flags = 0;
    if (!::GetVolumeInformationW(root.data(), label, MAX_PATH + 1, nullptr, nullptr, &flags,
                                 nullptr, 0)) {
        volume.driveText = DriveTextOf(Utf8FromWide(root.data()));
        volume.displayName = volume.driveText;
        return volume;
    }
    volume.driveText = DriveTextOf(Utf8FromWide(root.data()));
    volume.displayName = label[0] != L'\0' ? Utf8FromWide(label) : volume.driveText;
    volume.cannotDelete = (flags & FILE_READ_ONLY_VOLUME) != 0;
    return volume;
}
