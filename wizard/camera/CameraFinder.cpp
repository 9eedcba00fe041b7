#include "wizard/camera/CameraFinder.h"

#include "common/branding/Branding.h"
#include "wizard/camera/CameraPictures.h"

#include <optional>
#include <vector>

namespace {

constexpr unsigned kCameraKeptText = 199;        // another program kept the camera
constexpr unsigned kCameraNotReleasedText = 200; // the desktop could not be asked to let it go

} // namespace

CameraOpenResult OpenReleasingClaim(CAbstractCameraSystem& system,
                                    CAbstractCameraClaimRelease& release, const std::string& port) {
    CameraOpenResult opened = system.Open(port);
    if (opened.result.status != CameraStatus::Claimed) {
        return opened;
    }
    // The desktop's camera monitor claims a camera as soon as it is plugged in; asked, it lets
    // go. Whatever it answers, one more try tells whether the camera is free now.
    const bool released = release.Release(port);
    opened = system.Open(port);
    if (opened.result.status == CameraStatus::Claimed) {
        // In the user's language: the start-up shows it as it is.
        opened.result.reason =
            FormatBrandedText(released ? kCameraKeptText : kCameraNotReleasedText, port);
    }
    return opened;
}

CameraFind FindCamera(const std::string& deviceId, CAbstractCameraSystem& system,
                      CAbstractCameraClaimRelease& release) {
    CameraFind find;
    std::vector<CameraPort> cameras;
    if (!system.Detect(cameras).ok() || cameras.empty() || cameras.size() > kMaxCameras) {
        return find;
    }
    const CameraPort* match = nullptr;
    for (const CameraPort& camera : cameras) {
        if (camera.port == deviceId) {
            match = &camera;
            break;
        }
    }
    if (match == nullptr) {
        return find;
    }
    find.status = CameraFindStatus::Found;
    find.deviceId = match->port;
    find.displayName = match->model;
    find.driveText.assign(1, ' '); // one space: a camera has no drive

    CameraOpenResult opened = OpenReleasingClaim(system, release, match->port);
    if (opened.result.status == CameraStatus::Claimed) {
        find.status = CameraFindStatus::Unavailable;
        find.reason = opened.result.reason;
        return find;
    }
    if (!opened.result.ok()) {
        return find; // shown as a camera without pictures
    }
    // Only the first picture matters here (the first video on a camera of videos alone); the copy
    // walks them all.
    std::optional<CameraFileFacts> firstPicture;
    std::optional<CameraFileFacts> firstVideo;
    const CameraResult walked = WalkCamera(*opened.camera, [&](const CameraItem& item) {
        const MediaKind kind = CameraMediaKind(item);
        if (kind == MediaKind::Video && !firstVideo) {
            firstVideo = item.facts;
        }
        if (kind != MediaKind::Picture) {
            return CameraWalkAction::Continue;
        }
        firstPicture = item.facts;
        return CameraWalkAction::Stop;
    });
    const std::optional<CameraFileFacts>& first = firstPicture ? firstPicture : firstVideo;
    if (!walked.ok() || !first) {
        return find;
    }
    find.noPictures = false;
    find.cannotDelete = !(first->permissionsKnown && first->canDelete);
    return find;
}
