// One copy run's bookkeeping, shared by the copy step and the camera step: the destination folder
// and numbering, copies under the next free name, the list of copies this run made, their
// verification against the server, and the rollback that removes them.
#pragma once

#include "wizard/transfer/FileTransfer.h"
#include "wizard/transfer/PictureSet.h"
#include "wizard/transfer/TransferProperties.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

class CTransferRun {
public:
    // NameTaken: a further file of a picture found its name taken (see CopyPicture).
    enum class CopyOutcome { Copied, Stopped, Failed, NameTaken };

    struct Copy {
        std::string path;        // share path of the copy
        std::string source;      // where the picture came from
        uint64_t size = 0;       // bytes written
        uint64_t listedSize = 0; // the size the share listed for it, once read back
        bool readBack = false;   // the share listed it; listedSize is what it said
    };

    // Taken names skipped for one picture before its copy fails.
    static constexpr int kMaxNameTries = 10000;

    // How long the rollback keeps trying to remove copies while the server cannot be reached
    // (a server that restarts comes back within seconds).
    static constexpr std::chrono::milliseconds kDefaultCleanupPatience{10000};

    // `callback` gives the run's notices and answers from the run's own controls (a
    // CRunCallback); it is also the progress sink of every copy.
    CTransferRun(CAbstractFileTransfer& transfer, CAbstractFileTransferCallback& callback,
                 CTransferProperties& properties);

    // Creates the destination folder when it is missing (a failure shows in the copies), removes
    // the temporary files that a run killed in mid-copy left there, and sets the properties'
    // number from the pictures already there.
    void Prepare();

    // Waits at the run gate, announces the picture as number `index` and copies `source` under
    // the group's next free name with the source's extension. A taken name moves on to the next
    // number, so no file is ever overwritten, for at most kMaxNameTries names. Stopped: the
    // callback refused or the copy was cancelled. Failed: the failure says why.
    //
    // `samePicture`: the file belongs to the picture copied last and takes its number, with
    // its own extension. When that name is taken, nothing is written and the outcome is
    // NameTaken: the caller takes the picture's copies back (TakeBackLast) and copies it anew
    // under the next free number, so that its files never end up under two numbers.
    CopyOutcome CopyPicture(CAbstractPictureSource& source, uint32_t index,
                            bool samePicture = false);
    // The local file `source`, with `extension` for its copy.
    CopyOutcome CopyPicture(const std::string& source, std::string_view extension, uint32_t index);

    // Whether CopyPictures copies `set` several pictures at once: the transfer offers lanes, the
    // pictures are not a camera's (it gives one at a time), and every picture is one file (the
    // files of one picture share a number, which CopyPicture keeps, one file after the other).
    bool CopiesAtOnce(const CAbstractPictureSet& set) const;

    // Copies the pictures of `set` in order, each as CopyPicture does, and hands each outcome to
    // `onOutcome` in picture order; the pass ends when that returns false. When CopiesAtOnce,
    // up to as many copies as the transfer has lanes are under way at once: every picture gets
    // its name in picture order before its upload starts, so the numbering follows the pictures
    // (but for a name someone else takes meanwhile: that picture then takes the next free number
    // after those already given). When the pass ends early, the copies still under way are
    // cancelled and waited for; those that arrived anyway count as copies of the run. The
    // outcome is never NameTaken.
    void CopyPictures(CAbstractPictureSet& set,
                      const std::function<bool(size_t picture, CopyOutcome outcome)>& onOutcome);

    // Removes the last `count` copies of this run from the share, so that their picture can be
    // copied again under another number. A copy that cannot be removed now is removed with the
    // partial files.
    void TakeBackLast(size_t count);

    // Forgets the failure of a picture that was passed over, so that the run does not end as
    // failed for it.
    void ForgetFailure() { m_failure = {}; }
    // A failure found outside the copies (the pictures could not be got ready).
    void SetFailure(TransferFailure failure) { m_failure = std::move(failure); }

    // Reads the destination folder back and notes for every copy whether the share holds it and
    // with what size, finding names as the share does (with or without letter case). False when
    // the folder cannot be listed (nothing is noted then).
    bool ReadBackCopies();
    // Reads the copies back and checks that every one is there with the size that was written.
    // False (and the failure set) when one is missing or differs.
    bool VerifyCopies();
    // A copy that was read back with the size that was written.
    static bool PassedReadBack(const Copy& copy) {
        return copy.readBack && copy.listedSize == copy.size;
    }

    // Removes every copy of this run and any partial file left by a failed copy. While the server
    // is unreachable it retries until the patience runs out; what is left is counted in the
    // failure.
    void DeleteCopies();
    // Removes only the partial files of failed copies, for a run that keeps its copies; what is
    // left is counted in the failure, which does not make the run a failed one.
    void RemovePartials();

    const std::vector<Copy>& Copies() const { return m_copies; }
    const TransferFailure& Failure() const { return m_failure; }
    void SetCleanupPatience(std::chrono::milliseconds patience) { m_patience = patience; }

private:
    struct Upload;
    // Copies the picture under the group's next free name through `transfer`, moving on past
    // taken names (at most kMaxNameTries).
    CopyOutcome CopyPictureWith(CAbstractFileTransfer& transfer, CAbstractPictureSource& picture,
                                uint32_t index);
    // Announces the picture as number `index` and copies it under `name` through `transfer`;
    // NameTaken when the name is someone else's, and nothing was written.
    CopyOutcome CopyUnder(CAbstractFileTransfer& transfer, CAbstractPictureSource& picture,
                          const std::string& source, const std::string& name, uint32_t index);
    void CopyPicturesAtOnce(CAbstractPictureSet& set,
                            const std::vector<CAbstractFileTransfer*>& lanes,
                            const std::function<bool(size_t, CopyOutcome)>& onOutcome);
    // The outcome of an upload that was under way; a taken name is tried again under the next
    // free number when `mayRetry`.
    CopyOutcome Settle(Upload& upload, bool mayRetry);
    void RemoveLeftoverTemporaries(const std::vector<ShareEntry>& entries);
    // Removes the paths, retrying while the server cannot be reached; returns how many stay.
    int RemovePaths(std::vector<std::string> pending);

    CAbstractFileTransfer& m_transfer;
    CAbstractFileTransferCallback& m_callback;
    CTransferProperties& m_properties;
    std::string m_folder;
    std::vector<Copy> m_copies;
    std::vector<std::string> m_partials;
    TransferFailure m_failure;
    ShareResult m_readBack;
    std::chrono::milliseconds m_patience = kDefaultCleanupPatience;
};
