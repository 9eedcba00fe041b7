#include "common/resources/ProgramDirectory.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

std::string ProgramDirectoryOfThisProcess() {
    std::string directory;
    if (const char* override = std::getenv(kProgramDirectoryVariable);
        override != nullptr && *override != '\0') {
        directory = override;
    } else {
        std::error_code error;
        const auto executable = std::filesystem::read_symlink("/proc/self/exe", error);
        if (!error) {
            directory = executable.parent_path().string();
        }
    }
    if (directory.empty()) {
        return "./";
    }
    if (directory.back() != '/') {
        directory.push_back('/');
    }
    return directory;
}
