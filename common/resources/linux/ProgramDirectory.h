// The directory that holds the running program, where settings.ini and the resource bundles lie.
#pragma once

#include <string>

// The environment variable that, when set and not empty, names the program directory instead of
// the running executable's own; tools and tests use it to run a program against a prepared
// folder.
inline constexpr const char* kProgramDirectoryVariable = "VELMORA_PROGRAM_DIR";

// The directory of /proc/self/exe (or of the override above), ending with '/'. When neither
// gives one, "./".
std::string ProgramDirectoryOfThisProcess();
