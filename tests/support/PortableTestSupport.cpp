#include "PortableTestSupport.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>

#ifdef _WIN32
#include "common/files/windows/WideText.h"

#include <windows.h>

#include <atomic>
#include <vector>
#else
#include <pwd.h>
#include <unistd.h>
#endif

#ifdef _WIN32

std::string MakeTemporaryFolder(const std::string& prefix) {
    wchar_t temporary[MAX_PATH + 1] = {};
    const DWORD length = ::GetTempPathW(MAX_PATH + 1, temporary);
    if (length == 0 || length > MAX_PATH) {
        return {};
    }
    static std::atomic<unsigned> counter{0};
    const std::wstring base = std::wstring(temporary, length) + WideFromUtf8(prefix) + L"-" +
                              std::to_wstring(::GetCurrentProcessId()) + L"-";
    for (int attempt = 0; attempt < 1000; ++attempt) {
        const std::wstring candidate =
            base + std::to_wstring(counter.fetch_add(1) ^ (::GetTickCount() & 0xffff));
        if (::CreateDirectoryW(candidate.c_str(), nullptr)) {
            return Utf8FromWide(candidate);
        }
        if (::GetLastError() != ERROR_ALREADY_EXISTS) {
            return {};
        }
    }
    return {};
}

void SetTestEnvironment(const std::string& name, const std::optional<std::string>& value) {
    // The C runtime keeps a copy of its own: set both, so that getenv and the system agree.
    const std::wstring wideName = WideFromUtf8(name);
    const std::wstring wideValue = value ? WideFromUtf8(*value) : std::wstring();
    ::_wputenv_s(wideName.c_str(), wideValue.c_str());
    ::SetEnvironmentVariableW(wideName.c_str(), value ? wideValue.c_str() : nullptr);
}

std::optional<std::string> TestEnvironment(const std::string& name) {
    const std::wstring wideName = WideFromUtf8(name);
    const DWORD size = ::GetEnvironmentVariableW(wideName.c_str(), nullptr, 0);
    if (size == 0) {
        return ::GetLastError() == ERROR_ENVVAR_NOT_FOUND ? std::nullopt
                                                          : std::optional<std::string>("");
    }
    std::vector<wchar_t> value(size);
    const DWORD length = ::GetEnvironmentVariableW(wideName.c_str(), value.data(), size);
    return Utf8FromWide(std::wstring_view(value.data(), length));
}

std::string UserHomeFolder() {
    return TestEnvironment("USERPROFILE").value_or(std::string());
}

#else

std::string MakeTemporaryFolder(const std::string& prefix) {
    std::string pattern = (std::filesystem::temp_directory_path() / (prefix + "-XXXXXX")).string();
    return ::mkdtemp(pattern.data()) != nullptr ? pattern : std::string();
}

void SetTestEnvironment(const std::string& name, const std::optional<std::string>& value) {
    if (value) {
        ::setenv(name.c_str(), value->c_str(), 1);
    } else {
        ::unsetenv(name.c_str());
    }
}

std::optional<std::string> TestEnvironment(const std::string& name) {
    const char* value = std::getenv(name.c_str());
    return value != nullptr ? std::optional<std::string>(value) : std::nullopt;
}

std::string UserHomeFolder() {
    const passwd* account = ::getpwuid(::getuid());
    return account != nullptr && account->pw_dir != nullptr ? account->pw_dir : std::string();
}

#endif

ScratchFolder::~ScratchFolder() {
    if (!m_path.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(PathFromUtf8(m_path), ignored);
    }
}

std::string ScratchFolder::Make(const std::string& relative) const {
    const std::string path = m_path + "/" + relative;
    std::filesystem::create_directories(PathFromUtf8(path));
    return path;
}

std::string ScratchFolder::Write(const std::string& relative, const std::string& text) const {
    const std::string path = m_path + "/" + relative;
    std::filesystem::create_directories(PathFromUtf8(path).parent_path());
    std::ofstream(PathFromUtf8(path), std::ios::binary) << text;
    return path;
}
