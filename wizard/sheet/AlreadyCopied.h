// Which of the pictures to copy are already on the chosen server: the record's copies of them,
// confirmed on the server, and what the pages say about them and do with them.
#pragma once

#include "wizard/record/CopyRecord.h"
#include "wizard/search/FoundPicture.h"
#include "wizard/transfer/KnownCopies.h"
#include "wizard/transfer/ShareAccess.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

inline constexpr unsigned kAlreadyThereText = 250;      // "%u of these %u pictures are already..."
inline constexpr unsigned kSkipThemText = 251;          // the check box
inline constexpr unsigned kAllThereText = 252;          // every picture is already there
inline constexpr unsigned kAlreadyThereCountText = 253; // the finish page's count
inline constexpr unsigned kRecordReplacedText = 254;    // the record was damaged and started anew

struct AlreadyCopied {
    bool checked = false; // the server was asked
    std::string server;   // the server's name the check was made for
    std::string library;  // and its library share
    std::string serverAddress;
    size_t pictureCount = 0;
    std::vector<KnownCopy> copies; // confirmed, by the pictures' indexes in the found set
    // What the pages count: pictures with all their files together (a RAW+JPEG pair is one), and
    // those whose every file is there (CountWholePictures).
    size_t wholePictures = 0;
    size_t wholePicturesThere = 0;

    bool Any() const { return !copies.empty(); }
    bool All() const { return pictureCount > 0 && copies.size() == pictureCount; }
    bool IsFor(const std::string& serverName, const std::string& libraryShare) const {
        return checked && server == serverName && library == libraryShare;
    }
};

// Looks the pictures up in the record for the server and library and confirms the copies found
// on the server through `session`. Without a record, a session or a server name nothing is
// checked and nothing counts as there.
AlreadyCopied CheckAlreadyCopied(CAbstractCopyRecord* record, CAbstractShareSession* session,
                                 const std::string& server, const std::string& serverAddress,
                                 const std::string& library, const std::vector<SourceFacts>& facts);

// Counts the found pictures as the pages show them, a picture's files together, and those whose
// every file the check found on the server.
void CountWholePictures(AlreadyCopied& check, const FoundSet& pictures);

// Whether the record holds any copy of these pictures for the server and library, without asking
// the server (so that the server is reached only when there is something to confirm).
bool RecordKnowsAny(CAbstractCopyRecord& record, const std::string& server,
                    const std::string& library, const std::vector<SourceFacts>& facts);

// What a run needs of the record: the facts of every picture, and, when the user skips them,
// the pictures already there: only pictures whose every file is there, so that the files of a
// picture never end up under two numbers. Null without a record.
std::shared_ptr<const RecordPlan>
MakeRecordPlan(std::shared_ptr<CAbstractCopyRecord> record, const std::string& server,
               const std::string& serverAddress, const FoundSet& pictures,
               const std::vector<SourceFacts>& facts, const AlreadyCopied* skipped);

// What a camera run needs of the record: the run lists the camera, looks its pictures up and
// records their copies itself; it leaves out those already there when `skip`. Null without a
// record.
std::shared_ptr<const RecordPlan> MakeCameraRecordPlan(std::shared_ptr<CAbstractCopyRecord> record,
                                                       const std::string& server,
                                                       const std::string& serverAddress, bool skip);

// The destination text of a folder given as a share path: the folders below the library share, as
// the folder page writes them ("FamilyLibrary/Holidays/Beach" gives "Holidays/Beach").
std::string LocationOfShareFolder(const std::string& folder);

// The welcome and folder pages' line: how many of the pictures are already there, or that all
// are. Empty when none is.
std::string AlreadyCopiedLine(const AlreadyCopied& check);
