#include "common/resources/ProgramDirectory.h"

#include "common/files/Paths.h"
#include "common/files/windows/WideText.h"

#include <windows.h>

#include <cstdlib>
#include <vector>

namespace {

// The environment as the system keeps it, in UTF-16: getenv would give the ANSI code page's text.
std::string EnvironmentValue(const wchar_t* name) {
    const DWORD size = ::GetEnvironmentVariableW(name, nullptr, 0);
    if (size <= 1) {
        return {};
    }
    std::vector<wchar_t> value(size);
    const DWORD length = ::GetEnvironmentVariableW(name, value.data(), size);
    return length > 0 && length < size ? Utf8FromWide(std::wstring_view(value.data(), length))
                                       : std::string();
}

std::string ModuleFileName() {
    // Paths may be longer than MAX_PATH; the call cuts them and says so by filling the buffer.
    std::vector<wchar_t> buffer(MAX_PATH);
    while (buffer.size() <= 32768) {
        const DWORD length =
            ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) {
            return {};
        }
        if (length < buffer.size()) {
            return Utf8FromWide(std::wstring_view(buffer.data(), length));
        }
        buffer.resize(buffer.size() * 2);
    }
    return {};
}

} // namespace

std::string ProgramDirectoryOfThisProcess() {
    std::wstring variable(kProgramDirectoryVariable,
                          kProgramDirectoryVariable +
                              std::char_traits<char>::length(kProgramDirectoryVariable));
    std::string directory = EnvironmentValue(variable.c_str());
    if (directory.empty()) {
        const std::string program = ModuleFileName();
        directory = program.substr(0, program.size() - FileNameOf(program).size());
    }
    if (directory.empty()) {
        return std::string(".") + kPathSeparator;
    }
    AppendSeparator(directory);
    return directory;
}
