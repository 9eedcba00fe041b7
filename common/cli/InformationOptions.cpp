#include "common/cli/InformationOptions.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

std::optional<std::string> InformationOptionText(int argc, const char* const* argv,
                                                 std::string_view programName,
                                                 std::string_view help) {
    if (argc < 2 || argv == nullptr || argv[1] == nullptr) {
        return std::nullopt;
    }
    const std::string_view option = argv[1];
    if (option == "--help") {
        return std::string(help);
    }
    if (option == "--version") {
        return std::string(programName) + " (Velmora desktop suite) " VELMORA_VERSION "\n" +
               "Copyright (C) " VELMORA_COPYRIGHT "\n";
    }
    return std::nullopt;
}

int PrintInformation(const std::string& text, std::string_view programName, int failureStatus) {
    const bool written = std::fwrite(text.data(), 1, text.size(), stdout) == text.size();
    if (std::fflush(stdout) == 0 && written) {
        return 0;
    }
    const int error = errno;
    std::fprintf(stderr, "%.*s: cannot write to standard output: %s\n",
                 static_cast<int>(programName.size()), programName.data(), std::strerror(error));
    return failureStatus;
}
