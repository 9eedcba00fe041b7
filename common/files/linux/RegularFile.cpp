#include "common/files/RegularFile.h"

#include "common/files/linux/FileDescriptor.h"
#include "common/files/linux/FileWriting.h"

#include <cerrno>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

std::optional<std::string> ReadRegularFile(const std::string& path, std::size_t maxSize,
                                           int* error) {
    const auto fail = [error](int why) -> std::optional<std::string> {
        if (error != nullptr) {
            *error = why;
        }
        return std::nullopt;
    };
    // Non-blocking: opening a FIFO for reading would otherwise wait for a writer.
    CFileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (!file.IsOpen()) {
        return fail(errno);
    }
    struct stat status {};
    if (::fstat(file.Get(), &status) != 0) {
        return fail(errno);
    }
    if (!S_ISREG(status.st_mode) || status.st_size < 0) {
        return fail(EINVAL);
    }
    if (static_cast<unsigned long long>(status.st_size) > maxSize) {
        return fail(EFBIG);
    }
    std::string text;
    text.reserve(static_cast<std::size_t>(status.st_size));
    char buffer[64 * 1024];
    while (true) {
        const ssize_t count = ::read(file.Get(), buffer, sizeof buffer);
        if (count == 0) {
            return text;
        }
        if (count < 0) {
            if (errno == EINTR) {
                continue;
            }
            return fail(errno);
        }
        // The file may grow while it is read.
        if (text.size() + static_cast<std::size_t>(count) > maxSize) {
            return fail(EFBIG);
        }
        text.append(buffer, static_cast<std::size_t>(count));
    }
}

bool ReplaceRegularFile(const std::string& path, std::string_view contents) {
    // The process id keeps two writers' temporary files apart; O_EXCL keeps a stale one intact.
    const std::string temporary = path + ".tmp." + std::to_string(::getpid());
    CFileDescriptor file(
        ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666));
    if (!file.IsOpen()) {
        return false;
    }
    const bool written = WriteAll(file.Get(), contents) && ::fsync(file.Get()) == 0 && file.Close();
    if (!written || ::rename(temporary.c_str(), path.c_str()) != 0) {
        ::unlink(temporary.c_str());
        return false;
    }
    return true;
}

std::FILE* OpenRegularFileForReading(const std::string& path, std::uint64_t& size, int& error) {
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) {
        error = errno;
        return nullptr;
    }
    // Checked before the open, which would wait for a writer on a FIFO.
    if (!S_ISREG(status.st_mode)) {
        error = EISDIR;
        return nullptr;
    }
    std::FILE* file = std::fopen(path.c_str(), "rbe");
    if (file == nullptr) {
        error = errno;
        return nullptr;
    }
    size = static_cast<std::uint64_t>(status.st_size);
    return file;
}

bool RemoveLocalFile(const std::string& path, int& error) {
    if (::unlink(path.c_str()) != 0) {
        error = errno;
        return false;
    }
    return true;
}

bool RegularFileFacts(const std::string& path, std::uint64_t& size, std::int64_t& modified) {
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0 || !S_ISREG(status.st_mode)) {
        return false;
    }
    size = std::uint64_t(status.st_size);
    modified = std::int64_t(status.st_mtim.tv_sec) * 1000000000 + status.st_mtim.tv_nsec;
    return true;
}

bool LocalPathExists(const std::string& path) {
    struct stat status {};
    return ::lstat(path.c_str(), &status) == 0;
}

int FolderWriteError(const std::string& folder) {
    return ::access(folder.c_str(), W_OK) == 0 ? 0 : errno;
}
