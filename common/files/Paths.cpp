#include "common/files/Paths.h"

std::string JoinPath(std::string_view folder, std::string_view name) {
    std::string path(folder);
    AppendSeparator(path);
    return path.append(name);
}

void AppendSeparator(std::string& folder) {
    if (!folder.empty() && !IsPathSeparator(folder.back())) {
        folder.push_back(kPathSeparator);
    }
}

std::string_view FileNameOf(std::string_view path) {
    for (size_t i = path.size(); i > 0; --i) {
        if (IsPathSeparator(path[i - 1])) {
            return path.substr(i);
        }
    }
    return path;
}

bool IsAbsolutePath(std::string_view path) {
    if (!path.empty() && IsPathSeparator(path.front())) {
        return true;
    }
#ifdef _WIN32
    const bool driveLetter = path.size() >= 3 && ((path[0] >= 'A' && path[0] <= 'Z') ||
                                                  (path[0] >= 'a' && path[0] <= 'z'));
    return driveLetter && path[1] == ':' && IsPathSeparator(path[2]);
#else
    return false;
#endif
}
