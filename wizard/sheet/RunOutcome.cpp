#include "wizard/sheet/RunOutcome.h"

#include "common/branding/Branding.h"
#include "wizard/sheet/PageFlow.h"
#include "wizard/transfer/TransferTexts.h"

std::string RunFailureLine(const TransferFailure& failure) {
    if (!failure.Failed()) {
        return {};
    }
    const std::string reason = ShareReasonText({failure.status, failure.error});
    // Claiming a clean share while copies are still on it would send the user away misinformed.
    return failure.leftBehind > 0
               ? FormatBrandedText(kRunFailedLeftText, reason, failure.leftBehind)
               : FormatBrandedText(kRunFailedText, reason);
}

std::string CancelledRunLine(const TransferFailure& failure) {
    if (failure.leftBehind <= 0) {
        return {};
    }
    // No reason: a rollback that could not remove a copy is all the user needs to know, and the
    // run's status may stand for the cancel rather than for why the removal failed.
    return FormatBrandedText(kCancelLeftText, failure.leftBehind);
}

WizardEnd WizardEndFor(int lastPage, bool runFailed) {
    if (runFailed) {
        return WizardEnd::Failed;
    }
    return lastPage == kFinishPage ? WizardEnd::Done : WizardEnd::Cancelled;
}
