#include "launcher/LauncherCommand.h"

namespace {

bool EqualsIgnoringAsciiCase(std::string_view text, std::string_view lowerCaseWord) {
    if (text.size() != lowerCaseWord.size()) {
        return false;
    }
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
        if (c != lowerCaseWord[i]) {
            return false;
        }
    }
    return true;
}

} // namespace

LauncherCommand CommandFromArgument(std::string_view argument) {
    if (argument.empty()) {
        return LauncherCommand::None;
    }
    if (argument.size() > kMaxCommandArgumentLength) {
        return LauncherCommand::Unknown;
    }
    if (EqualsIgnoringAsciiCase(argument, "/web")) {
        return LauncherCommand::Web;
    }
    if (EqualsIgnoringAsciiCase(argument, "/folder")) {
        return LauncherCommand::Folder;
    }
    return LauncherCommand::Unknown;
}

LauncherCommand ParseLauncherCommand(int argc, const char* const* argv) {
    if (argc < 2 || argv == nullptr || argv[1] == nullptr) {
        return LauncherCommand::None;
    }
    return CommandFromArgument(argv[1]);
}
