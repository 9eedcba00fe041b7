// The record of the pictures the wizard copied: which source file went where, so that a card
// copied again puts nothing on the server twice. One SQLite file per user, written only by the
// copy worker when a run keeps its copies, read when a run is prepared. Nothing here throws, and
// a damaged file never stands in the way of a copy: it is moved aside and a new one started. Any
// thread may use a record; one at a time is let in.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// Where a picture comes from, independent of where its card happens to be mounted: the file
// system's UUID and the path below the volume's root, or for a camera its model and serial
// number (or its port) and the camera's own path. A volume without a UUID is known by an empty
// volume and the picture's absolute path.
struct SourceIdentity {
    std::string volume; // "uuid:<UUID>", "camera:<model>/<serial or port>", or empty
    std::string path;

    bool Known() const { return !path.empty(); }
    bool operator==(const SourceIdentity&) const = default;
};

// A source file as it was when it was copied; a file changed since (another size or time) is
// another picture.
struct SourceFacts {
    SourceIdentity identity;
    uint64_t size = 0;
    int64_t modified = 0; // nanoseconds since 1970
};

struct CopyEntry {
    SourceFacts source;
    std::string server;      // the server's name, as the wizard remembers it
    std::string library;     // the library share
    std::string destination; // the copy's share path, library share first
    uint64_t copiedSize = 0;
    int64_t copiedAt = 0; // seconds since 1970
};

enum class RecordOpening {
    Opened,     // the existing record, or a new one where there was none
    Replaced,   // the file was damaged: moved aside, and a new one started
    Unavailable // no record can be kept (no folder for it, a newer version's file)
};

// What the copy engine and the pages ask of a record of copies; CCopyRecord below is the SQLite
// file the wizard keeps.
class CAbstractCopyRecord {
public:
    virtual ~CAbstractCopyRecord() = default;

    // For each source, the copies recorded of exactly that file (same identity, size and time)
    // on `server` in `library`, newest first; an empty list for an unknown identity. A failed read
    // gives empty lists and a diagnostic line.
    virtual std::vector<std::vector<CopyEntry>> Find(const std::string& server,
                                                     const std::string& library,
                                                     const std::vector<SourceFacts>& sources) = 0;

    // Adds the entries, and remembers `serverAddress` as the address of their server, in one
    // transaction: all of it is stored or none. An entry for a destination already recorded for
    // the same source replaces it.
    virtual bool Add(const std::vector<CopyEntry>& entries, const std::string& serverAddress) = 0;

    // The address the server last had when copies were recorded on it; empty when unknown.
    virtual std::string LastAddress(const std::string& server) = 0;
};

class CCopyRecord final : public CAbstractCopyRecord {
public:
    // The version of the tables this program writes (PRAGMA user_version).
    static constexpr int kSchemaVersion = 1;

    ~CCopyRecord();
    CCopyRecord(const CCopyRecord&) = delete;
    CCopyRecord& operator=(const CCopyRecord&) = delete;

    // Opens or creates the record at `path`, making its folder. A file that is not a database,
    // fails its integrity check or cannot be opened is renamed "<path>.damaged-<date and time>"
    // (with its journal files) and a new record is started: `opening` then says Replaced and
    // `movedTo` where it went. Null only when Unavailable.
    static std::unique_ptr<CCopyRecord> Open(const std::string& path, RecordOpening& opening,
                                             std::string* movedTo = nullptr);

    std::vector<std::vector<CopyEntry>> Find(const std::string& server, const std::string& library,
                                             const std::vector<SourceFacts>& sources) override;
    bool Add(const std::vector<CopyEntry>& entries, const std::string& serverAddress) override;
    std::string LastAddress(const std::string& server) override;

    // How many copies are recorded (tests and the benchmark).
    int64_t Count();

private:
    struct Database;
    explicit CCopyRecord(std::unique_ptr<Database> database);
    std::unique_ptr<Database> m_db;
};

// $XDG_STATE_HOME/velmora/copies.sqlite3, or ~/.local/state/velmora/copies.sqlite3; empty when
// neither XDG_STATE_HOME nor HOME is set to an absolute path.
std::string DefaultCopyRecordPath();
