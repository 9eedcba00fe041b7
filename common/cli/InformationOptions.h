// The two options both programs answer without a window, as command-line programs on Linux do:
// "--help" and "--version" as the first argument, printed on standard output with status 0,
// before the window system is ever reached.
#pragma once

#include <optional>
#include <string>
#include <string_view>

// What to print for the process's arguments: `help` for "--help"; for "--version" the program's
// name, the suite's name and version, and the copyright line. Nothing when the first argument is
// anything else (a command, or none), which the program then runs as before.
std::optional<std::string> InformationOptionText(int argc, const char* const* argv,
                                                 std::string_view programName,
                                                 std::string_view help);

// Prints `text` on standard output. 0 when all of it was written; else one line on standard
// error and `failureStatus`, so that a full disk or a closed pipe is not taken for success.
int PrintInformation(const std::string& text, std::string_view programName, int failureStatus);
