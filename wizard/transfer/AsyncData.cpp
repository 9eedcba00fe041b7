#include "wizard/transfer/AsyncData.h"

#include <cmath>

int ProgressPercent(double done, double total) {
    if (!(total > 0) || !(done > 0)) {
        return 0;
    }
    const double percent = std::trunc(done / total * 100.0);
    return percent >= 100.0 ? 100 : static_cast<int>(percent);
}

void kvFileStatusAsyncData::Apply() {
    if (sheet != nullptr) {
        sheet->ApplyFileStatus(*this);
    }
}

void kvGroupStatusAsyncData::Apply() {
    if (sheet != nullptr) {
        sheet->ApplyGroupStatus(*this);
    }
}

void kvDeleteStatusAsyncData::Apply() {
    if (sheet != nullptr) {
        sheet->ApplyDeleteStatus(*this);
    }
}

void kvDoneCopyAsyncData::Apply() {
    if (sheet != nullptr) {
        sheet->ApplyDoneCopy(*this);
    }
}

void kvSwitchDeletePageAsyncData::Apply() {
    if (sheet != nullptr) {
        sheet->ApplySwitchDeletePage(*this);
    }
}

std::string TransferFailure::Describe() const {
    if (!Failed()) {
        return {};
    }
    std::string text;
    if (!source.empty()) {
        text = source;
        if (!destination.empty()) {
            text += " -> " + destination;
        }
        text += ": ";
    }
    text += ShareResult{status, error}.Message();
    if (leftBehind > 0) {
        text += "; " + std::to_string(leftBehind) +
                " copied file(s) could not be removed from the server";
    }
    return text;
}
