#include "wizard/record/CopyRecord.h"

#include <sqlite3.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <mutex>
#include <system_error>

namespace {

namespace fs = std::filesystem;

constexpr int kBusyTimeoutMs = 5000;

struct DatabaseCloser {
    void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
using DatabaseHandle = std::unique_ptr<sqlite3, DatabaseCloser>;

struct StatementFinalizer {
    void operator()(sqlite3_stmt* statement) const { sqlite3_finalize(statement); }
};

// A prepared statement that is reset before each use.
class Statement {
public:
    Statement() = default;
    Statement(sqlite3* db, const char* sql) {
        sqlite3_stmt* raw = nullptr;
        m_result = sqlite3_prepare_v2(db, sql, -1, &raw, nullptr);
        m_statement.reset(raw);
    }
    explicit operator bool() const { return m_statement != nullptr; }
    int PrepareResult() const { return m_result; }
    sqlite3_stmt* get() const { return m_statement.get(); }

    void Reset() {
        sqlite3_reset(get());
        sqlite3_clear_bindings(get());
    }
    void Bind(int index, const std::string& text) {
        sqlite3_bind_text(get(), index, text.data(), int(text.size()), SQLITE_STATIC);
    }
    void Bind(int index, int64_t value) { sqlite3_bind_int64(get(), index, value); }
    std::string Text(int column) const {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(get(), column));
        return text != nullptr ? std::string(text, size_t(sqlite3_column_bytes(get(), column)))
                               : std::string();
    }
    int64_t Integer(int column) const { return sqlite3_column_int64(get(), column); }

private:
    std::unique_ptr<sqlite3_stmt, StatementFinalizer> m_statement;
    int m_result = SQLITE_MISUSE;
};

// Runs SQL without results; the SQLite result code.
int Execute(sqlite3* db, const char* sql) {
    return sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
}

// The first result of a one-value query, or the failure's code in `result`.
int64_t QueryInteger(sqlite3* db, const char* sql, int& result) {
    Statement statement(db, sql);
    if (!statement) {
        result = statement.PrepareResult();
        return 0;
    }
    result = sqlite3_step(statement.get());
    if (result == SQLITE_ROW) {
        result = SQLITE_OK;
        return statement.Integer(0);
    }
    return 0;
}

constexpr const char* kSchema = R"sql(
CREATE TABLE copies (
    source_volume TEXT NOT NULL,
    source_path TEXT NOT NULL,
    source_size INTEGER NOT NULL,
    source_modified INTEGER NOT NULL,
    server TEXT NOT NULL,
    library TEXT NOT NULL,
    destination TEXT NOT NULL,
    copied_size INTEGER NOT NULL,
    copied_at INTEGER NOT NULL,
    PRIMARY KEY (source_volume, source_path, server, library, destination)
) WITHOUT ROWID;
CREATE TABLE servers (
    name TEXT PRIMARY KEY NOT NULL,
    address TEXT NOT NULL
) WITHOUT ROWID;
)sql";

enum class Readiness { Ready, Damaged, Newer };

// Makes a freshly opened file usable: the write-ahead log, the busy timeout, the tables of a new
// record; and tells a damaged file or one of a later version from a usable one.
Readiness Prepare(sqlite3* db) {
    sqlite3_busy_timeout(db, kBusyTimeoutMs);
    int result = SQLITE_OK;
    const int64_t version = QueryInteger(db, "PRAGMA user_version", result);
    if (result != SQLITE_OK) {
        std::printf("The record of copies cannot be read: %s\n", sqlite3_errstr(result));
        return Readiness::Damaged;
    }
    if (version > CCopyRecord::kSchemaVersion) {
        // Another version's record is left as it is, for that version.
        std::printf("The record of copies has version %lld, newer than this program's %d\n",
                    static_cast<long long>(version), CCopyRecord::kSchemaVersion);
        return Readiness::Newer;
    }
    if (Execute(db, "PRAGMA journal_mode=WAL") != SQLITE_OK ||
        Execute(db, "PRAGMA synchronous=NORMAL") != SQLITE_OK) {
        return Readiness::Damaged;
    }
    if (version == 0) {
        // Created whole or not at all, so that a crash leaves no record without tables.
        if (Execute(db, "BEGIN IMMEDIATE") != SQLITE_OK) {
            return Readiness::Damaged;
        }
        if (QueryInteger(db, "PRAGMA user_version", result) == 0 && result == SQLITE_OK &&
            (Execute(db, kSchema) != SQLITE_OK ||
             Execute(db, "PRAGMA user_version=1") != SQLITE_OK)) {
            Execute(db, "ROLLBACK");
            return Readiness::Damaged;
        }
        return Execute(db, "COMMIT") == SQLITE_OK ? Readiness::Ready : Readiness::Damaged;
    }
    Statement check(db, "PRAGMA quick_check(1)");
    if (!check || sqlite3_step(check.get()) != SQLITE_ROW || check.Text(0) != "ok") {
        std::printf("The record of copies failed its check\n");
        return Readiness::Damaged;
    }
    // A file of the right version without the tables it must have is damaged too.
    Statement probe(db, "SELECT 1 FROM copies, servers LIMIT 1");
    return probe ? Readiness::Ready : Readiness::Damaged;
}

std::string DamagedName(const std::string& path) {
    char stamp[32] = {};
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    if (localtime_r(&now, &local) == nullptr ||
        std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local) == 0) {
        std::snprintf(stamp, sizeof stamp, "%lld", static_cast<long long>(now));
    }
    std::string name = path + ".damaged-" + stamp;
    // A second damage within the same second must not replace the first one's file.
    std::error_code error;
    for (int extra = 2; fs::exists(name, error); ++extra) {
        name = path + ".damaged-" + stamp + "-" + std::to_string(extra);
    }
    return name;
}

// Moves the file and its journals out of the way; false when the file stays where it was.
bool MoveAside(const std::string& path, std::string& movedTo) {
    movedTo = DamagedName(path);
    std::error_code error;
    fs::rename(path, movedTo, error);
    if (error) {
        std::printf("Cannot move the damaged record %s aside: %s\n", path.c_str(),
                    error.message().c_str());
        return false;
    }
    // A log left beside a new file would be read into it.
    for (const char* suffix : {"-wal", "-shm", "-journal"}) {
        std::error_code ignored;
        if (fs::exists(path + suffix, ignored)) {
            fs::rename(path + suffix, movedTo + suffix, ignored);
            if (ignored) {
                fs::remove(path + suffix, ignored);
            }
        }
    }
    return true;
}

DatabaseHandle OpenFile(const std::string& path, int& result) {
    sqlite3* raw = nullptr;
    result =
        sqlite3_open_v2(path.c_str(), &raw,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
    DatabaseHandle db(raw);
    if (result != SQLITE_OK) {
        db.reset();
    }
    return db;
}

} // namespace

struct CCopyRecord::Database {
    // The statements are shared: one user at a time.
    std::mutex mutex;
    DatabaseHandle handle;
    Statement find;
    Statement insert;
    Statement server;
};

CCopyRecord::CCopyRecord(std::unique_ptr<Database> database) : m_db(std::move(database)) {}

CCopyRecord::~CCopyRecord() = default;

std::unique_ptr<CCopyRecord> CCopyRecord::Open(const std::string& path, RecordOpening& opening,
                                               std::string* movedTo) {
    opening = RecordOpening::Unavailable;
    if (path.empty()) {
        return nullptr;
    }
    std::error_code error;
    fs::create_directories(fs::path(path).parent_path(), error);
    if (error) {
        std::printf("No folder for the record of copies %s: %s\n", path.c_str(),
                    error.message().c_str());
        return nullptr;
    }
    bool replaced = false;
    for (int attempt = 0; attempt < 2; ++attempt) {
        int result = SQLITE_OK;
        DatabaseHandle db = OpenFile(path, result);
        Readiness readiness = Readiness::Damaged;
        if (db) {
            readiness = Prepare(db.get());
        } else {
            std::printf("Cannot open the record of copies %s: %s\n", path.c_str(),
                        sqlite3_errstr(result));
        }
        if (readiness == Readiness::Newer) {
            return nullptr;
        }
        if (readiness == Readiness::Ready) {
            auto database = std::make_unique<Database>();
            database->handle = std::move(db);
            sqlite3* raw = database->handle.get();
            database->find =
                Statement(raw, "SELECT destination, copied_size, copied_at FROM copies "
                               "WHERE source_volume = ?1 AND source_path = ?2 AND server = ?3 AND "
                               "library = ?4 AND source_size = ?5 AND source_modified = ?6 "
                               "ORDER BY copied_at DESC");
            database->insert = Statement(
                raw, "INSERT OR REPLACE INTO copies (source_volume, source_path, source_size, "
                     "source_modified, server, library, destination, copied_size, copied_at) "
                     "VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9)");
            database->server =
                Statement(raw, "INSERT OR REPLACE INTO servers (name, address) VALUES (?1, ?2)");
            if (!database->find || !database->insert || !database->server) {
                std::printf("The record of copies cannot be used: %s\n", sqlite3_errmsg(raw));
                return nullptr;
            }
            opening = replaced ? RecordOpening::Replaced : RecordOpening::Opened;
            return std::unique_ptr<CCopyRecord>(new CCopyRecord(std::move(database)));
        }
        db.reset();
        std::string aside;
        if (attempt > 0 || !MoveAside(path, aside)) {
            return nullptr;
        }
        std::printf("The record of copies was damaged; moved to %s, a new one is started\n",
                    aside.c_str());
        if (movedTo != nullptr) {
            *movedTo = aside;
        }
        replaced = true;
    }
    return nullptr;
}

std::vector<std::vector<CopyEntry>> CCopyRecord::Find(const std::string& server,
                                                      const std::string& library,
                                                      const std::vector<SourceFacts>& sources) {
    std::vector<std::vector<CopyEntry>> found(sources.size());
    std::lock_guard lock(m_db->mutex);
    sqlite3* db = m_db->handle.get();
    // One read transaction for all lookups: one snapshot, and no lock taken per lookup.
    if (Execute(db, "BEGIN") != SQLITE_OK) {
        std::printf("The record of copies cannot be read: %s\n", sqlite3_errmsg(db));
        return found;
    }
    Statement& find = m_db->find;
    for (size_t index = 0; index < sources.size(); ++index) {
        const SourceFacts& source = sources[index];
        if (!source.identity.Known()) {
            continue;
        }
        find.Reset();
        find.Bind(1, source.identity.volume);
        find.Bind(2, source.identity.path);
        find.Bind(3, server);
        find.Bind(4, library);
        find.Bind(5, int64_t(source.size));
        find.Bind(6, source.modified);
        int step = SQLITE_ROW;
        while ((step = sqlite3_step(find.get())) == SQLITE_ROW) {
            found[index].push_back({source, server, library, find.Text(0),
                                    uint64_t(find.Integer(1)), find.Integer(2)});
        }
        if (step != SQLITE_DONE) {
            std::printf("The record of copies cannot be read: %s\n", sqlite3_errstr(step));
            find.Reset();
            Execute(db, "ROLLBACK");
            return std::vector<std::vector<CopyEntry>>(sources.size());
        }
    }
    find.Reset();
    Execute(db, "COMMIT");
    return found;
}

bool CCopyRecord::Add(const std::vector<CopyEntry>& entries, const std::string& serverAddress) {
    if (entries.empty()) {
        return true;
    }
    std::lock_guard lock(m_db->mutex);
    sqlite3* db = m_db->handle.get();
    if (Execute(db, "BEGIN IMMEDIATE") != SQLITE_OK) {
        std::printf("Cannot write the record of copies: %s\n", sqlite3_errmsg(db));
        return false;
    }
    Statement& insert = m_db->insert;
    for (const CopyEntry& entry : entries) {
        insert.Reset();
        insert.Bind(1, entry.source.identity.volume);
        insert.Bind(2, entry.source.identity.path);
        insert.Bind(3, int64_t(entry.source.size));
        insert.Bind(4, entry.source.modified);
        insert.Bind(5, entry.server);
        insert.Bind(6, entry.library);
        insert.Bind(7, entry.destination);
        insert.Bind(8, int64_t(entry.copiedSize));
        insert.Bind(9, entry.copiedAt);
        if (sqlite3_step(insert.get()) != SQLITE_DONE) {
            std::printf("Cannot write the record of copies: %s\n", sqlite3_errmsg(db));
            insert.Reset();
            Execute(db, "ROLLBACK");
            return false;
        }
    }
    insert.Reset();
    Statement& server = m_db->server;
    if (!serverAddress.empty()) {
        server.Reset();
        server.Bind(1, entries.front().server);
        server.Bind(2, serverAddress);
        const int step = sqlite3_step(server.get());
        server.Reset();
        if (step != SQLITE_DONE) {
            std::printf("Cannot write the record of copies: %s\n", sqlite3_errmsg(db));
            Execute(db, "ROLLBACK");
            return false;
        }
    }
    if (Execute(db, "COMMIT") != SQLITE_OK) {
        std::printf("Cannot write the record of copies: %s\n", sqlite3_errmsg(db));
        Execute(db, "ROLLBACK");
        return false;
    }
    return true;
}

std::string CCopyRecord::LastAddress(const std::string& server) {
    std::lock_guard lock(m_db->mutex);
    Statement query(m_db->handle.get(), "SELECT address FROM servers WHERE name = ?1");
    if (!query) {
        return {};
    }
    query.Bind(1, server);
    return sqlite3_step(query.get()) == SQLITE_ROW ? query.Text(0) : std::string();
}

int64_t CCopyRecord::Count() {
    std::lock_guard lock(m_db->mutex);
    int result = SQLITE_OK;
    return QueryInteger(m_db->handle.get(), "SELECT count(*) FROM copies", result);
}

std::string DefaultCopyRecordPath() {
    const char* state = std::getenv("XDG_STATE_HOME");
    std::string folder;
    if (state != nullptr && state[0] == '/') {
        folder = state;
    } else if (const char* home = std::getenv("HOME"); home != nullptr && home[0] == '/') {
        folder = std::string(home) + "/.local/state";
    } else {
        return {};
    }
    return folder + "/velmora/copies.sqlite3";
}
