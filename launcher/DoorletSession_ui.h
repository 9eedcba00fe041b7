// One run of the launcher between the toolkit's start and its end: resources, registry, the
// server choice and the dispatch, with every service released on every path.
#pragma once

#include "launcher/LauncherCommand.h"
#include "launcher/Nethood.h"

#include <string>

// Runs `command` as the program does and returns the exit status (LauncherExitStatus). The
// resource manager is made first (so that even the usage message is translated), the registry
// only when there is a command; both are gone when it returns.
int RunDoorletSession(LauncherCommand command, const std::string& programPath,
                      CAbstractServerChooser& chooser, CAbstractOpener& opener);
