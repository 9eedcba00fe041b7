#include "wizard/sheet/RunOutcome.h"

#include "common/branding/Branding.h"
#include "common/files/Paths.h"
#include "wizard/sheet/PageFlow.h"
#include "wizard/transfer/TransferTexts.h"

namespace {

// The file left on the server, on a line of its own, when there is one.
std::string LeftOnServerLine(const TransferFailure& failure) {
    if (failure.leftBehind == 0 || failure.leftBehindPath.empty()) {
        return {};
    }
    return std::string("\n").append(FormatBrandedText(kLeftOnServerText, failure.leftBehindPath));
}

} // namespace

std::string RunFailureLine(const TransferFailure& failure) {
    if (!failure.Failed()) {
        return {};
    }
    std::string reason = ShareReasonText({failure.status, failure.error});
    if (!failure.source.empty()) {
        reason = std::string(FileNameOf(failure.source)).append(": ").append(reason);
    }
    // Claiming a clean share while copies are still on it would send the user away misinformed.
    return failure.leftBehind > 0
               ? FormatBrandedText(kRunFailedLeftText, reason, failure.leftBehind)
                     .append(LeftOnServerLine(failure))
               : FormatBrandedText(kRunFailedText, reason);
}

std::string RunFinishLines(uint32_t copied, uint32_t videos, uint32_t skipped,
                           const TransferFailure& firstSkipped, const TransferFailure& ending,
                           bool cameraMode) {
    std::string text = FormatBrandedText(kCopiedCountText, copied);
    if (videos > 0) {
        text.append("\n").append(FormatBrandedText(kCopiedVideosText, videos));
    }
    if (skipped > 0) {
        text.append("\n").append(
            FormatBrandedText(cameraMode ? kSkippedCountText : kUnreadCountText, skipped));
        if (firstSkipped.Failed()) {
            text.append("\n").append(
                FormatBrandedText(kSkippedWhyText, FileNameOf(firstSkipped.source),
                                  ShareReasonText({firstSkipped.status, firstSkipped.error})));
        }
    }
    return text.append(LeftOnServerLine(ending));
}

std::string CancelledRunLine(const TransferFailure& failure) {
    if (failure.leftBehind <= 0) {
        return {};
    }
    // No reason: a rollback that could not remove a copy is all the user needs to know, and the
    // run's status may stand for the cancel rather than for why the removal failed.
    return FormatBrandedText(kCancelLeftText, failure.leftBehind).append(LeftOnServerLine(failure));
}

WizardEnd WizardEndFor(int lastPage, bool runFailed) {
    if (runFailed) {
        return WizardEnd::Failed;
    }
    return lastPage == kFinishPage ? WizardEnd::Done : WizardEnd::Cancelled;
}
