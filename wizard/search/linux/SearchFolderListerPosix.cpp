// Lists local folders with openat/readdir. The entry's type comes from the directory itself
// where the file system records it, so that a plain file costs no stat call.
#include "wizard/search/SearchFolderLister.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

namespace {

class DirStream {
public:
    explicit DirStream(DIR* dir) : m_dir(dir) {}
    ~DirStream() {
        if (m_dir != nullptr) {
            closedir(m_dir);
        }
    }
    DirStream(const DirStream&) = delete;
    DirStream& operator=(const DirStream&) = delete;

    DIR* Get() const { return m_dir; }

private:
    DIR* m_dir;
};

FolderEntryKind KindOfStat(const struct stat& info) {
    if (S_ISREG(info.st_mode)) {
        return FolderEntryKind::File;
    }
    if (S_ISDIR(info.st_mode)) {
        return FolderEntryKind::Folder;
    }
    return FolderEntryKind::Other;
}

// A link counts as a file when it leads to a regular file; a link to a folder is never walked,
// so that a link back up the tree cannot make the walk go round for ever.
FolderEntryKind KindOfLink(int dirFd, const char* name) {
    struct stat target;
    if (fstatat(dirFd, name, &target, 0) != 0 || !S_ISREG(target.st_mode)) {
        return FolderEntryKind::Other;
    }
    return FolderEntryKind::File;
}

FolderEntryKind KindOfEntry(int dirFd, const dirent& entry) {
    switch (entry.d_type) {
    case DT_REG:
        return FolderEntryKind::File;
    case DT_DIR:
        return FolderEntryKind::Folder;
    case DT_LNK:
        return KindOfLink(dirFd, entry.d_name);
    case DT_UNKNOWN: {
        struct stat info;
        if (fstatat(dirFd, entry.d_name, &info, AT_SYMLINK_NOFOLLOW) != 0) {
            return FolderEntryKind::Other;
        }
        if (S_ISLNK(info.st_mode)) {
            return KindOfLink(dirFd, entry.d_name);
        }
        return KindOfStat(info);
    }
    default:
        return FolderEntryKind::Other;
    }
}

class CPosixFolderLister final : public CAbstractFolderLister {
public:
    bool List(const std::string& folder, bool followLink, const std::atomic<int>& stop,
              CFolderListing& listing) override {
        listing.Clear();
        // Without its final '/', so that a folder that has turned into a link since its parent
        // was listed is refused rather than followed.
        std::string path = folder;
        while (path.size() > 1 && path.back() == '/') {
            path.pop_back();
        }
        const int fd =
            open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | (followLink ? 0 : O_NOFOLLOW));
        if (fd < 0) {
            return false;
        }
        DirStream dir(fdopendir(fd));
        if (dir.Get() == nullptr) {
            close(fd);
            return false;
        }
        while (stop.load(std::memory_order_relaxed) != 1) {
            const dirent* entry = readdir(dir.Get());
            if (entry == nullptr) {
                break;
            }
            listing.Add(entry->d_name, KindOfEntry(fd, *entry));
        }
        return true;
    }
};

} // namespace

std::unique_ptr<CAbstractFolderLister> CreateFolderLister() {
    return std::make_unique<CPosixFolderLister>();
}
