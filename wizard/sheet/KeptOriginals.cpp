#include "wizard/sheet/KeptOriginals.h"

#include "common/branding/Branding.h"
#include "wizard/transfer/TransferTexts.h"

#include "common/files/RegularFile.h"

#include <cerrno>

namespace {

constexpr unsigned kKeptText = 202;       // "%d original(s) were kept on the device: %s."
constexpr unsigned kReadOnlyText = 203;   // "it is read-only"
constexpr unsigned kPassedOverText = 204; // "some pictures could not be copied"
constexpr unsigned kStoppedText = 205;    // "the deleting was stopped"
constexpr unsigned kNotDeletedText = 206; // "they could not be deleted"

} // namespace

KeptOriginals JudgeKeptOriginals(const RunForDeleting& run, const FoundSet* pictures,
                                 const std::function<bool(const FoundPicture&, int&)>& stillThere) {
    KeptOriginals kept;
    if (!run.deleteWanted || run.copied == 0) {
        return kept;
    }
    if (run.cannotDelete) {
        return {run.copied, KeptReason::ReadOnly, EROFS};
    }
    if (run.skipped > 0) {
        return {run.copied, KeptReason::PassedOver, 0};
    }
    if (pictures == nullptr || !stillThere) {
        if (run.notDeleted > 0) {
            return {run.notDeleted,
                    run.deleteStopped ? KeptReason::Stopped : KeptReason::NotDeleted, 0};
        }
        return run.deleteStopped ? KeptOriginals{0, KeptReason::Stopped, 0} : kept;
    }
    for (const FoundPicture& picture : *pictures) {
        int error = 0;
        if (stillThere(picture, error)) {
            ++kept.count;
            if (kept.error == 0) {
                kept.error = error;
            }
        }
    }
    if (kept.count > 0) {
        kept.reason = run.deleteStopped     ? KeptReason::Stopped
                      : kept.error == EROFS ? KeptReason::ReadOnly
                                            : KeptReason::NotDeleted;
    }
    return kept;
}

bool LocalOriginalStillThere(const FoundPicture& picture, int& error) {
    if (!LocalPathExists(picture.FullPath())) {
        return false;
    }
    error = FolderWriteError(picture.folder);
    return true;
}

std::string KeptOriginalsLine(const KeptOriginals& kept) {
    if (kept.count == 0 || kept.reason == KeptReason::None) {
        return {};
    }
    std::string why;
    switch (kept.reason) {
    case KeptReason::ReadOnly:
        why = LoadBrandedText(kReadOnlyText);
        break;
    case KeptReason::PassedOver:
        why = LoadBrandedText(kPassedOverText);
        break;
    case KeptReason::Stopped:
        why = LoadBrandedText(kStoppedText);
        break;
    case KeptReason::NotDeleted:
        why = kept.error == EACCES || kept.error == EPERM
                  ? ShareReasonText({ShareStatus::AccessDenied, kept.error})
                  : LoadBrandedText(kNotDeletedText);
        break;
    case KeptReason::None:
        break;
    }
    return FormatBrandedText(kKeptText, kept.count, why);
}
