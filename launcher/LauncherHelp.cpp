#include "launcher/LauncherHelp.h"

#include "common/cli/InformationOptions.h"

namespace {

// The exit statuses are those of LauncherExitStatus (Nethood.h).
constexpr const char* kHelp =
    "Usage: doorlet COMMAND\n"
    "Opens the web interface or the shares of the Velmora home server found on the\n"
    "local network; away from home, the user's web folder found through the relay\n"
    "service.\n"
    "\n"
    "Commands (in any letter case):\n"
    "  /web         open the server's web interface in the browser\n"
    "  /folder      open the server's shares in the file manager, or the user's web\n"
    "               folder\n"
    "  --help       show this help and end\n"
    "  --version    show the version and end\n"
    "Without a command, a message box shows how to start it.\n"
    "\n"
    "Exit status:\n"
    "  0  what the command asked for was opened\n"
    "  1  something could not be opened (the user was told why), or no display\n"
    "     could be reached\n"
    "  2  no valid command: none (the usage message), or an unknown one\n"
    "  3  the user cancelled the server choice or the name dialog\n"
    "\n"
    "The files and environment variables it reads are listed in doorlet(1).\n";

} // namespace

std::optional<std::string> LauncherInformationText(int argc, const char* const* argv) {
    return InformationOptionText(argc, argv, "doorlet", kHelp);
}
