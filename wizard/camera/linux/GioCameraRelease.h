// Asks the desktop's gvfs camera monitor to let a camera go, with "gio mount -u".
#pragma once

#include "wizard/camera/Camera.h"

#include <chrono>
#include <string>

class CGioCameraRelease : public CAbstractCameraClaimRelease {
public:
    static constexpr std::chrono::milliseconds kDefaultLimit{5000};

    // program: the gio program, looked up in PATH when it holds no slash. limit: how long the
    // wizard waits for it; a program still running then is killed.
    explicit CGioCameraRelease(std::string program = "gio",
                               std::chrono::milliseconds limit = kDefaultLimit);

    // Runs "PROGRAM mount -u gphoto2://[PORT]/" (an argument vector, never a shell) with its
    // output discarded. True when it ended with status 0 within the limit.
    bool Release(const std::string& port) override;

private:
    std::string m_program;
    std::chrono::milliseconds m_limit;
};
