#include "common/files/RegularFile.h"

#include "common/files/windows/WideText.h"

#include <windows.h>

#include <cerrno>
#include <memory>

#include <io.h>
#include <sys/stat.h>

namespace {

struct HandleCloser {
    void operator()(HANDLE handle) const { ::CloseHandle(handle); }
};
using UniqueHandle = std::unique_ptr<void, HandleCloser>;

UniqueHandle Own(HANDLE handle) {
    return UniqueHandle(handle == INVALID_HANDLE_VALUE ? nullptr : handle);
}

int ErrnoOf(DWORD error) {
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
        return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
        return EACCES;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
        return ENOMEM;
    default:
        return EIO;
    }
}

bool WriteAll(HANDLE file, std::string_view data) {
    while (!data.empty()) {
        const DWORD chunk =
            data.size() > 0x40000000u ? 0x40000000u : static_cast<DWORD>(data.size());
        DWORD written = 0;
        if (!::WriteFile(file, data.data(), chunk, &written, nullptr) || written == 0) {
            return false;
        }
        data.remove_prefix(written);
    }
    return true;
}

} // namespace

std::optional<std::string> ReadRegularFile(const std::string& path, std::size_t maxSize,
                                           int* error) {
    const auto fail = [error](int why) -> std::optional<std::string> {
        if (error != nullptr) {
            *error = why;
        }
        return std::nullopt;
    };
    const std::wstring widePath = WideFromUtf8(path);
    // A folder opens only with backup semantics, so it fails here as access denied: tell it apart.
    const DWORD attributes = ::GetFileAttributesW(widePath.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return fail(EINVAL);
    }
    const UniqueHandle file = Own(::CreateFileW(
        widePath.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        return fail(ErrnoOf(::GetLastError()));
    }
    // Pipes and devices are not configuration files; reading one could block.
    if (::GetFileType(file.get()) != FILE_TYPE_DISK) {
        return fail(EINVAL);
    }
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file.get(), &size) || size.QuadPart < 0) {
        return fail(EIO);
    }
    if (static_cast<unsigned long long>(size.QuadPart) > maxSize) {
        return fail(EFBIG);
    }
    std::string text;
    text.reserve(static_cast<std::size_t>(size.QuadPart));
    char buffer[64 * 1024];
    while (true) {
        DWORD count = 0;
        if (!::ReadFile(file.get(), buffer, sizeof buffer, &count, nullptr)) {
            return fail(ErrnoOf(::GetLastError()));
        }
        if (count == 0) {
            return text;
        }
        // The file may grow while it is read.
        if (text.size() + count > maxSize) {
            return fail(EFBIG);
        }
        text.append(buffer, count);
    }
}

bool ReplaceRegularFile(const std::string& path, std::string_view contents) {
    const std::wstring target = WideFromUtf8(path);
    const std::wstring temporary = target + L".tmp." + std::to_wstring(::GetCurrentProcessId());
    {
        // CREATE_NEW keeps a stale temporary file of another writer intact.
        const UniqueHandle file = Own(::CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr,
                                                    CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) {
            return false;
        }
        if (!WriteAll(file.get(), contents) || !::FlushFileBuffers(file.get())) {
            ::DeleteFileW(temporary.c_str());
            return false;
        }
    }
    if (!::MoveFileExW(temporary.c_str(), target.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        ::DeleteFileW(temporary.c_str());
        return false;
    }
    return true;
}

std::FILE* OpenRegularFileForReading(const std::string& path, std::uint64_t& size, int& error) {
    const std::wstring widePath = WideFromUtf8(path);
    struct _stat64 status {};
    if (::_wstat64(widePath.c_str(), &status) != 0) {
        error = errno;
        return nullptr;
    }
    if ((status.st_mode & _S_IFMT) != _S_IFREG) {
        error = EISDIR;
        return nullptr;
    }
    std::FILE* file = ::_wfopen(widePath.c_str(), L"rb");
    if (file == nullptr) {
        error = errno;
        return nullptr;
    }
    size = static_cast<std::uint64_t>(status.st_size);
    return file;
}

bool RemoveLocalFile(const std::string& path, int& error) {
    if (!::DeleteFileW(WideFromUtf8(path).c_str())) {
        error = ErrnoOf(::GetLastError());
        return false;
    }
    return true;
}

bool RegularFileFacts(const std::string& path, std::uint64_t& size, std::int64_t& modified) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExW(WideFromUtf8(path).c_str(), GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) != 0) {
        return false;
    }
    size = (std::uint64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    // FILETIME counts 100 ns steps since 1601.
    constexpr std::int64_t kFrom1601To1970 = 116444736000000000;
    const std::int64_t ticks =
        std::int64_t((std::uint64_t(data.ftLastWriteTime.dwHighDateTime) << 32) |
                     data.ftLastWriteTime.dwLowDateTime);
    modified = (ticks - kFrom1601To1970) * 100;
    return true;
}

bool LocalPathExists(const std::string& path) {
    return ::GetFileAttributesW(WideFromUtf8(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

int FolderWriteError(const std::string& folder) {
    const std::wstring path = WideFromUtf8(folder);
    std::wstring root(path.size() + MAX_PATH + 2, L'\0');
    DWORD flags = 0;
    if (::GetVolumePathNameW(path.c_str(), root.data(), static_cast<DWORD>(root.size())) &&
        ::GetVolumeInformationW(root.c_str(), nullptr, 0, nullptr, nullptr, &flags, nullptr, 0) &&
        (flags & FILE_READ_ONLY_VOLUME) != 0) {
        return EROFS;
    }
    // For a folder the system answers from its read-only attribute; its access list is the
    // delete's own to judge.
    return ::_waccess(path.c_str(), 2) == 0 ? 0 : errno;
}
