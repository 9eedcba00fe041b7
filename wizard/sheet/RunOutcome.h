// What the wizard tells the user of a copy run that failed or was cancelled, and how the program
// ends after it.
#pragma once

#include "wizard/transfer/AsyncData.h"

#include <string>

inline constexpr unsigned kRunFailedText = 181;     // the failure, and the copies removed
inline constexpr unsigned kRunFailedLeftText = 187; // the failure, and copies left on the server
inline constexpr unsigned kCopiedCountText = 139;   // "%u picture(s) were copied."
inline constexpr unsigned kCopiedVideosText = 271;  // "and %u video(s)."
inline constexpr unsigned kSkippedCountText = 186;  // pictures that stayed on the camera
inline constexpr unsigned kUnreadCountText = 243;   // pictures of a folder that could not be read
inline constexpr unsigned kSkippedWhyText = 240;    // "%s could not be copied: %s."
inline constexpr unsigned kLeftOnServerText = 241;  // "Still on the server: %s"
// A cancelled run whose copies could not all be removed again.
inline constexpr unsigned kCancelLeftText = 190;

// The cancel page's line for a run: empty when it did not fail. It names the failure in the
// user's language, and says whether the run's copies were removed or how many are still there.
// It names the picture that failed and the first file left on the server, when it knows them.
std::string RunFailureLine(const TransferFailure& failure);

// The finish page's count of a run that kept its copies: the pictures copied, and the videos
// when there were any; those passed over, with the first of them and why; a piece of a picture
// that could not be removed.
std::string RunFinishLines(uint32_t copied, uint32_t videos, uint32_t skipped,
                           const TransferFailure& firstSkipped, const TransferFailure& ending,
                           bool cameraMode);

// The line under the cancel page's "cancelled" text: empty when the rollback removed every copy,
// else how many copies stayed on the server.
std::string CancelledRunLine(const TransferFailure& failure);

// How a wizard run ended, for the program's exit status.
enum class WizardEnd {
    Done,      // the copy happened, however the wizard was closed afterwards
    Failed,    // something could not be done, and the user was told
    Cancelled, // the user left before anything was copied, or stopped the copy
};

// From the page the wizard closed on and whether the last run failed (a cancelled run that left
// copies behind counts as failed: the share is not as the user was promised).
WizardEnd WizardEndFor(int lastPage, bool runFailed);
