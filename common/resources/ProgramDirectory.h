// The directory that holds the running program, where settings.ini and the resource bundles lie.
#pragma once

#include <string>

// The environment variable that, when set and not empty, names the program directory instead of
// the running executable's own; tools and tests use it to run a program against a prepared
// folder.
inline constexpr const char* kProgramDirectoryVariable = "VELMORA_PROGRAM_DIR";

// The directory of the running executable (/proc/self/exe on Linux, the module's file name on
// Windows), or of the override above, ending with the platform's separator. When neither gives
// one, the current folder.
std::string ProgramDirectoryOfThisProcess();
