// The desktop's camera mounts through GIO: a camera that the file manager's camera monitor names
// after the camera gives its USB device file, and with it the libgphoto2 port.
#pragma once

#include "wizard/app/WizardCommandLine.h"

class CGioCameraLinks final : public CAbstractCameraLinks {
public:
    // Looks through the volumes and the mounts GIO knows; a volume offered but not mounted
    // counts as well. Empty when none is named so, or when it is no USB device.
    std::string PortOfNamedCamera(const std::string& cameraName) override;
};
