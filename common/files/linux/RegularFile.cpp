#include "common/files/linux/RegularFile.h"

#include "common/files/linux/FileDescriptor.h"

#include <cerrno>

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
