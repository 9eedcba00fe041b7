// What the wizard tells the user of a copy run that failed.
#pragma once

#include "wizard/transfer/AsyncData.h"

#include <string>

inline constexpr unsigned kRunFailedText = 181;     // the failure, and the copies removed
inline constexpr unsigned kRunFailedLeftText = 187; // the failure, and copies left on the server

// The cancel page's line for a run: empty when it did not fail. It names the failure in the
// user's language, and says whether the run's copies were removed or how many are still there.
std::string RunFailureLine(const TransferFailure& failure);
