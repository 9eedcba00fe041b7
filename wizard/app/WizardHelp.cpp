#include "wizard/app/WizardHelp.h"

#include "common/cli/InformationOptions.h"

namespace {

// The commands are those ParseWizardCommandLine reads; the exit statuses those of
// SnapferryExitStatus (SnapferryApp_ui.h).
constexpr const char* kHelp =
    "Usage: snapferry COMMAND\n"
    "Copies the pictures of a camera, a memory card or a folder to a library share\n"
    "of the Velmora home server, under a numbered group name, and opens the copies\n"
    "at the end.\n"
    "\n"
    "Commands (the words in any letter case):\n"
    "  /upload FOLDER      search FOLDER for pictures and copy them\n"
    "  /autoplay LOCATION  what the desktop starts for a memory card (a file: URI\n"
    "                      or an absolute path) or a camera (gphoto2://[PORT]/, or\n"
    "                      gphoto2://NAME/ for a camera the desktop names)\n"
    "  /StiDevice:PORT X   copy from the camera on libgphoto2 port PORT (the camera\n"
    "                      event service's form; X is any second argument)\n"
    "  /register           make the wizard the desktop's handler for cameras and\n"
    "                      memory cards with pictures: for the user, or for the\n"
    "                      machine when run as root\n"
    "  /unregister         undo /register and give the earlier handler back\n"
    "  --help              show this help and end\n"
    "  --version           show the version and end\n"
    "Without a valid command, a message box shows how to start it. /register and\n"
    "/unregister need no display.\n"
    "\n"
    "Exit status:\n"
    "  0  the wizard ran to its end, or the registration was made\n"
    "  1  something could not be done (the user was told why), or no display could\n"
    "     be reached\n"
    "  2  no valid command (the usage message)\n"
    "  3  the user cancelled the search or the wizard\n"
    "  4  nothing to do: no picture in the folder, or no such camera\n"
    "  5  another run was already under way, for any user\n"
    "\n"
    "The files and environment variables it uses are listed in snapferry(1).\n";

} // namespace

std::optional<std::string> WizardInformationText(int argc, const char* const* argv) {
    return InformationOptionText(argc, argv, "snapferry", kHelp);
}
