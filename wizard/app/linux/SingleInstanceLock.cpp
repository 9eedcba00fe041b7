#include "wizard/app/linux/SingleInstanceLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>

#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {

// How often a lock file that vanishes or appears between two opens is retried; only a very busy
// race could use more than one.
constexpr int kOpenAttempts = 5;

bool IsSharedStickyDirectory(const char* path) {
    struct stat status {};
    return ::stat(path, &status) == 0 && S_ISDIR(status.st_mode) &&
           (status.st_mode & S_IWOTH) != 0 && (status.st_mode & S_IXOTH) != 0 &&
           (status.st_mode & S_ISVTX) != 0;
}

SingleInstanceResult CouldNotCheck(const std::string& path, const char* what, int error) {
    return {SingleInstanceStatus::CouldNotCheck, "single-instance check skipped: cannot " +
                                                     std::string(what) + " " + path + ": " +
                                                     std::strerror(error)};
}

// Makes the missing lock file `path`, mode 0666 whatever the umask, and opens it; EEXIST in
// `error` when another start made it first. Others open the file read-only, so a file they could
// see before its mode is widened would turn them away unchecked while its maker runs: it is made
// under a name of its own and linked into place only once every user may open it.
CFileDescriptor CreateOpenToAll(const std::string& path, int& error) {
    std::string staged = path + ".XXXXXX";
    CFileDescriptor file(::mkostemp(staged.data(), O_CLOEXEC));
    if (file.IsOpen()) {
        // A failure leaves our own claim good; the others then find out for themselves.
        (void)::fchmod(file.Get(), 0666);
        const int linked = ::link(staged.c_str(), path.c_str());
        error = errno;
        ::unlink(staged.c_str());
        if (linked == 0) {
            return file;
        }
        if (error == EEXIST) {
            return CFileDescriptor();
        }
        // A file system without links: the file is made in place, and widened at once.
    }
    file = CFileDescriptor(
        ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
    error = errno;
    if (file.IsOpen()) {
        (void)::fchmod(file.Get(), 0666);
    }
    return file;
}

} // namespace

CSingleInstanceLock::CSingleInstanceLock(const std::string& directory, const std::string& fileName)
    : path_(directory.empty() || directory.back() == '/' ? directory + fileName
                                                         : directory + "/" + fileName) {}

std::string CSingleInstanceLock::DefaultLockDirectory() {
    if (const char* chosen = std::getenv(kLockDirectoryVariable); chosen != nullptr && *chosen) {
        return chosen;
    }
    // Every user must reach the same file, so a directory only some users may write is no use.
    return IsSharedStickyDirectory("/run/lock") ? "/run/lock" : "/tmp";
}

SingleInstanceResult CSingleInstanceLock::Acquire() {
    if (lock_.IsOpen()) {
        return {SingleInstanceStatus::Acquired, {}};
    }
    for (int attempt = 0; attempt < kOpenAttempts; ++attempt) {
        // O_NONBLOCK keeps a FIFO planted under the lock file's name from stopping the start.
        CFileDescriptor file(
            ::open(path_.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
        if (!file.IsOpen()) {
            if (errno != ENOENT) {
                return CouldNotCheck(path_, "open", errno);
            }
            int error = 0;
            file = CreateOpenToAll(path_, error);
            if (!file.IsOpen()) {
                if (error == EEXIST) {
                    continue; // another start made it in between: open that one
                }
                return CouldNotCheck(path_, "create", error);
            }
        }
        struct stat status {};
        if (::fstat(file.Get(), &status) != 0) {
            return CouldNotCheck(path_, "examine", errno);
        }
        if (!S_ISREG(status.st_mode)) {
            return CouldNotCheck(path_, "lock (not a regular file)", EINVAL);
        }
        int locked;
        do {
            locked = ::flock(file.Get(), LOCK_EX | LOCK_NB);
        } while (locked != 0 && errno == EINTR);
        if (locked == 0) {
            lock_ = std::move(file);
            return {SingleInstanceStatus::Acquired, {}};
        }
        if (errno == EWOULDBLOCK) {
            return {SingleInstanceStatus::AlreadyRunning, {}};
        }
        return CouldNotCheck(path_, "lock", errno);
    }
    return CouldNotCheck(path_, "open", EAGAIN);
}

std::unique_ptr<CAbstractSingleInstance> CreateWizardSingleInstance() {
    return std::make_unique<CSingleInstanceLock>(CSingleInstanceLock::DefaultLockDirectory(),
                                                 kWizardLockFileName);
}
