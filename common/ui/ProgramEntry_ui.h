// The process entry of both programs, in place of wxIMPLEMENT_APP's main.
//
// The toolkit's own entry ends with status 255 and a log line or two when GTK cannot start (no
// display to connect to), which tells a caller nothing it can rely on. This one ends with the
// program's documented failure status and one line on standard error instead.
//
// A program declares its application class with wxIMPLEMENT_APP_NO_MAIN(App) and has
//     int main(int argc, char** argv) { return RunWxProgram(argc, argv, kFailureStatus); }
#pragma once

#include <string>

// Starts the toolkit (which creates the application object), runs OnInit and OnRun as the
// toolkit's entry does, and returns OnRun's status. `failureStatus` when the toolkit cannot start
// or OnInit refuses.
int RunWxProgram(int argc, char** argv, int failureStatus);

// The line (without its line end) that tells why the toolkit could not start, for the program
// named by `argv0`, from the display variables of the environment.
std::string ToolkitStartFailureLine(const char* argv0);
