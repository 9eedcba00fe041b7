// The originals a run was asked to delete and kept, and why: the finish page says so, since a
// user who asked for a clean card must not find it full without a word.
#pragma once

#include "wizard/search/FoundPicture.h"

#include <cstdint>
#include <functional>
#include <string>

enum class KeptReason {
    None,
    ReadOnly,   // the card or folder cannot be written: nothing was tried
    PassedOver, // the run passed over pictures, and then deletes none
    Stopped,    // the user stopped the deleting
    NotDeleted, // deleting failed; `error` says why when it is known
};

struct KeptOriginals {
    uint32_t count = 0;
    KeptReason reason = KeptReason::None;
    int error = 0; // errno of a failed delete, 0 when not known
};

struct RunForDeleting {
    bool deleteWanted = false; // the user asked for the originals to go
    bool cannotDelete = false; // the source is read-only
    bool deleteStopped = false;
    uint32_t copied = 0;
    uint32_t skipped = 0;
    uint32_t notDeleted = 0; // originals the delete pass itself could not delete (a camera's)
};

// Why the originals of a finished run are still there. `stillThere` answers, for the folder
// mode's pictures, whether an original is still there and, if so, the errno that keeps it (0 when
// none is known); null in camera mode, where the run's own count of originals it could not delete
// tells.
KeptOriginals JudgeKeptOriginals(const RunForDeleting& run, const FoundSet* pictures,
                                 const std::function<bool(const FoundPicture&, int&)>& stillThere);

// Whether a local original is still there, and what keeps it: the folder's own answer to a write
// (EROFS on a read-only card, EACCES without the right to change the folder).
bool LocalOriginalStillThere(const FoundPicture& picture, int& error);

// The finish page's line, in the user's language; empty when nothing was kept.
std::string KeptOriginalsLine(const KeptOriginals& kept);
