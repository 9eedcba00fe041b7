// Finding the camera the wizard was started for, and opening a camera the desktop may be holding.
#pragma once

#include "wizard/camera/Camera.h"

#include <cstddef>
#include <cstdint>
#include <string>

// The most cameras the wizard looks through; with more attached it does not start.
inline constexpr std::size_t kMaxCameras = 20;

enum class CameraFindStatus : std::uint8_t {
    Found,       // the fields below describe the camera
    EndSilently, // no camera to work with: the wizard ends without a word
    Unavailable, // the camera is there but cannot be used; reason says why
};

struct CameraFind {
    CameraFindStatus status = CameraFindStatus::EndSilently;
    std::string deviceId;    // the matched camera's port
    std::string displayName; // its model name, for the welcome page
    std::string driveText;   // one space: a camera has no drive
    // It cannot be opened or listed, or holds neither a picture nor a video (a sidecar alone is
    // not copied).
    bool noPictures = true;
    // Its first picture (its first video, without pictures) may not be deleted, or there is none.
    bool cannotDelete = true;
    std::string reason; // Unavailable: a sentence for the user
};

// Opens the camera on port. When the desktop holds it, asks the desktop once to let it go and
// tries once more; a camera still held then stays Claimed.
CameraOpenResult OpenReleasingClaim(CAbstractCameraSystem& system,
                                    CAbstractCameraClaimRelease& release, const std::string& port);

// The camera whose port is exactly deviceId. Ends silently when detection fails, finds no camera
// or more than kMaxCameras, or none on that port.
CameraFind FindCamera(const std::string& deviceId, CAbstractCameraSystem& system,
                      CAbstractCameraClaimRelease& release);
