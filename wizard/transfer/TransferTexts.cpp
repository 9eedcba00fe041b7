#include "wizard/transfer/TransferTexts.h"

#include "common/branding/Branding.h"

namespace {

unsigned ReasonId(ShareStatus status) {
    using namespace transfer_text;
    switch (status) {
    case ShareStatus::AccessDenied:
        return kReasonAccessDenied;
    case ShareStatus::NotFound:
    case ShareStatus::NotAFolder:
        return kReasonNotFound;
    case ShareStatus::ConnectionRefused:
    case ShareStatus::Unreachable:
        return kReasonUnreachable;
    case ShareStatus::ConnectionLost:
        return kReasonConnectionLost;
    case ShareStatus::DiskFull:
        return kReasonDiskFull;
    case ShareStatus::AlreadyExists:
        return kReasonExists;
    case ShareStatus::NameTooLong:
    case ShareStatus::InvalidName:
        return kReasonInvalidName;
    case ShareStatus::SourceUnreadable:
        return kReasonSourceUnreadable;
    case ShareStatus::SizeMismatch:
        return kReasonMismatch;
    case ShareStatus::NotSupported:
        return kReasonNotSupported;
    case ShareStatus::OldProtocolOnly:
        return kReasonOldProtocol;
    case ShareStatus::UntrustedCertificate:
        return kReasonUntrustedCertificate;
    case ShareStatus::Ok:
    case ShareStatus::Cancelled:
    case ShareStatus::Failed:
        break;
    }
    return kReasonOther;
}

} // namespace

std::string ShareReasonText(const ShareResult& result) {
    const unsigned id = ReasonId(result.status);
    std::string text = id == transfer_text::kReasonOther ? FormatBrandedText(id, result.error)
                                                         : LoadBrandedText(id);
    return text.empty() ? result.Message() : text;
}
