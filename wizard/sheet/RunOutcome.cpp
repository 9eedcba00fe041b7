#include "wizard/sheet/RunOutcome.h"

#include "common/branding/Branding.h"
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
