#include "common/files/linux/FileWriting.h"

#include <cerrno>
#include <climits>
#include <filesystem>

#include <sys/stat.h>
#include <unistd.h>

namespace {

// As many as the kernel follows itself.
constexpr int kMaxSymlinkHops = 40;

} // namespace

std::optional<std::string> ResolveSymbolicLinks(std::string path) {
    for (int hop = 0; hop < kMaxSymlinkHops; ++hop) {
        struct stat status {};
        if (::lstat(path.c_str(), &status) != 0 || !S_ISLNK(status.st_mode)) {
            return path;
        }
        char target[PATH_MAX];
        const ssize_t length = ::readlink(path.c_str(), target, sizeof target);
        if (length <= 0 || static_cast<std::size_t>(length) >= sizeof target) {
            return std::nullopt;
        }
        const std::filesystem::path next(std::string(target, static_cast<std::size_t>(length)));
        path = next.is_absolute() ? next.string()
                                  : (std::filesystem::path(path).parent_path() / next).string();
    }
    return std::nullopt;
}

bool WriteAll(int fd, std::string_view data) {
    while (!data.empty()) {
        const ssize_t written = ::write(fd, data.data(), data.size());
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        data.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}
