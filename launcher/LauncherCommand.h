// The launcher's command line: only the first argument counts.
#pragma once

#include <cstddef>
#include <string_view>

enum class LauncherCommand {
    None,    // started without an argument (or with an empty one): the usage message
    Web,     // "/web", any letter case
    Folder,  // "/folder", any letter case
    Unknown, // anything else; the server is still chosen, then nothing is opened
};

// The first argument is held in 255 characters; a longer one is no valid command.
inline constexpr std::size_t kMaxCommandArgumentLength = 255;

LauncherCommand CommandFromArgument(std::string_view argument);

// The command of a process's argument vector (argv[0] is the program); further arguments are
// ignored.
LauncherCommand ParseLauncherCommand(int argc, const char* const* argv);
