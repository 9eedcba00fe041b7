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
    // The desktop named the camera rather than its port (gphoto2://NAME/): the port is looked up
    // before the camera can be opened.
    NamedCamera,
    // The desktop handed over a location the wizard cannot copy from; the user is told which.
    UnusableLocation,
};

struct WizardCommand {
    WizardMode mode = WizardMode::Usage;
    // Camera mode: the camera's libgphoto2 port ("usb:001,005", "disk:/media/card").
    std::string deviceId;
    // Folder mode: the folder to search for pictures.
    std::string folder;
    // NamedCamera: the camera's name as the link gives it, unescaped.
    std::string cameraName;
    // NamedCamera and UnusableLocation: the location exactly as it was handed over.
    std::string location;
};

// Reads the arguments that follow the program path. Forms, tried in this order:
//   "/StiDevice:ID" (exact case, at the very start) and any second argument: camera mode, ID;
//   one argument "/register" or "/unregister" (any case): that mode;
//   "/upload" (any case) and a folder: folder mode;
//   "/autoplay" (any case) and the location the desktop hands over: a file: URI (file:///x,
//   file://localhost/x) or an absolute path gives folder mode, gphoto2://[PORT]/ (escaped or not)
//   camera mode with device id PORT, gphoto2://NAME/ or gphoto2://NAME/STORE/ (the desktop's
//   mount of a camera named after it) the named camera NAME; any other location is unusable.
// Anything else, an empty folder or location included, is the usage message. Arguments past the
// second are ignored.
WizardCommand ParseWizardCommandLine(std::span<const std::string> args);

// The local path a file: URI names ("file:///a%20b" gives "/a b"); empty when the URI is not a
// file: URI of this machine or cannot be decoded to a path.
std::string LocalPathOfFileUri(std::string_view uri);

// The libgphoto2 port of a gphoto2://[PORT]/ location; empty when it is not one.
std::string CameraPortOfGphotoUri(std::string_view uri);

// The camera's name, unescaped, of a location the desktop names after the camera:
// gphoto2://NAME, then at most one folder (the camera's storage, when it has several) and a
// closing slash. Empty when it is not one (a port in brackets included).
std::string CameraNameOfGphotoUri(std::string_view uri);

// The libgphoto2 port "usb:BBB,DDD" of a USB device file "/dev/bus/usb/BBB/DDD"; empty for
// anything else.
std::string UsbPortOfDevicePath(std::string_view devicePath);

// Finds the port of a camera the desktop names after the camera.
class CAbstractCameraLinks {
public:
    virtual ~CAbstractCameraLinks() = default;
    // The libgphoto2 port of the camera mounted or offered under that name; empty when the
    // desktop knows no such camera.
    virtual std::string PortOfNamedCamera(const std::string& cameraName) = 0;
};

// A NamedCamera command whose camera `links` finds becomes the camera command of its port; any
// other command is given back as it is.
WizardCommand ResolveNamedCamera(WizardCommand command, CAbstractCameraLinks& links);
