#include "common/files/linux/RegularFile.h"

#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class CReadOnlyFile {
public:
    explicit CReadOnlyFile(const std::string& path)
        // Non-blocking: opening a FIFO for reading would otherwise wait for a writer.
        : m_fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY)) {}
    CReadOnlyFile(const CReadOnlyFile&) = delete;
    CReadOnlyFile& operator=(const CReadOnlyFile&) = delete;
    ~CReadOnlyFile() {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    int Get() const { return m_fd; }

private:
    int m_fd;
};

} // namespace

std::optional<std::string> ReadRegularFile(const std::string& path, std::size_t maxSize) {
    CReadOnlyFile file(path);
    if (file.Get() < 0) {
        return std::nullopt;
    }
    struct stat status {};
    if (::fstat(file.Get(), &status) != 0 || !S_ISREG(status.st_mode) || status.st_size < 0 ||
        static_cast<unsigned long long>(status.st_size) > maxSize) {
        return std::nullopt;
    }
    std::string text;
    text.reserve(static_cast<std::size_t>(status.st_size));
    char buffer[16 * 1024];
    while (true) {
        const ssize_t count = ::read(file.Get(), buffer, sizeof buffer);
        if (count == 0) {
            return text;
        }
        if (count < 0) {
            if (errno == EINTR) {
                continue;
            }
            return std::nullopt;
        }
        // The file may grow while it is read.
        if (text.size() + static_cast<std::size_t>(count) > maxSize) {
            return std::nullopt;
        }
        text.append(buffer, static_cast<std::size_t>(count));
    }
}
