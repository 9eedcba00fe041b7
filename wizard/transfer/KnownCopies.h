// Pictures already on the server: the copies the record names for a run's pictures, confirmed
// against the server's listings, and what a run needs to record the copies it makes.
#pragma once

#include "wizard/record/CopyRecord.h"
#include "wizard/transfer/ShareAccess.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

// A picture whose recorded copy the server still holds with the recorded size.
struct KnownCopy {
    size_t picture = 0;      // its index among the sources looked up
    std::string destination; // the copy's share path
    uint64_t size = 0;
};

// Of the recorded copies of each picture (as CCopyRecord::Find gives them), those the server
// still holds with their recorded size: one listing per destination folder, however many
// pictures it holds. A folder that cannot be listed confirms nothing.
std::vector<KnownCopy> ConfirmKnownCopies(CAbstractShareSession& session,
                                          const std::vector<std::vector<CopyEntry>>& recorded);

// The folder that holds most of the confirmed copies (a share path), for the user to open.
std::string FolderOfMostCopies(const std::vector<KnownCopy>& copies);

// What a run needs of the record: where to record its copies and what to leave out. Made by the
// sheet before the run; read by the run's worker only.
struct RecordPlan {
    std::shared_ptr<CAbstractCopyRecord> record; // null: the run records nothing
    std::string server;                          // the server's name in the record
    std::string serverAddress;
    // The facts of the run's pictures, by their full paths.
    std::map<std::string, SourceFacts> facts;
    // Pictures not to copy again, by their full paths: their copies are on the server.
    std::map<std::string, KnownCopy> alreadyThere;
    // A run whose pictures are only known once it lists them (a camera's) looks them up itself,
    // and leaves out those the server holds when this says so (the user's skip choice).
    bool leaveOutCopiesThere = false;
};
