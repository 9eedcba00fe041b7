// The wizard's command line: what the desktop, the camera-event service or the installer asked
// the program to do.
#pragma once

#include <span>
#include <string>
#include <string_view>

enum class WizardMode {
    Usage,      // no valid command: show the usage message
    Register,   // "/register": become the handler of cameras and memory cards
    Unregister, // "/unregister": stop being that handler
    Camera,     // copy from the camera whose device id is given
    Folder,     // copy the pictures found under the folder given
};

struct WizardCommand {
    WizardMode mode = WizardMode::Usage;
    // Camera mode: the camera's libgphoto2 port ("usb:001,005", "disk:/media/card").
    std::string deviceId;
    // Folder mode: the folder to search for pictures.
    std::string folder;
};

// Reads the arguments that follow the program path. Forms, tried in this order:
//   "/StiDevice:ID" (exact case, at the very start) and any second argument: camera mode, ID;
//   one argument "/register" or "/unregister" (any case): that mode;
//   "/upload" (any case) and a folder: folder mode;
//   "/autoplay" (any case) and the location the desktop hands over: a file: URI (file:///x,
//   file://localhost/x) or an absolute path gives folder mode, gphoto2://[PORT]/ (escaped or not)
//   camera mode with device id PORT.
// Anything else, an empty folder included, is the usage message. Arguments past the second are
// ignored.
WizardCommand ParseWizardCommandLine(std::span<const std::string> args);

// The local path a file: URI names ("file:///a%20b" gives "/a b"); empty when the URI is not a
// file: URI of this machine or cannot be decoded to a path.
std::string LocalPathOfFileUri(std::string_view uri);

// The libgphoto2 port of a gphoto2://[PORT]/ location; empty when it is not one.
std::string CameraPortOfGphotoUri(std::string_view uri);
