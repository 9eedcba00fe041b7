// The record of copies on temporary databases: what matches, what a damaged or foreign file
// becomes, and the identity of a card's pictures wherever the card is mounted.
#include "wizard/record/CopyRecord.h"
#include "PortableTestSupport.h"
#include "wizard/app/linux/SourceIdentity.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sqlite3.h>

namespace fs = std::filesystem;

namespace {

SourceFacts FactsOn(const std::string& volume, const std::string& path) {
    SourceFacts facts;
    facts.identity.volume = volume;
    facts.identity.path = path;
    facts.size = 1000;
    facts.modified = 42;
    return facts;
}

SourceFacts Facts(const std::string& path, uint64_t size = 1000, int64_t modified = 42) {
    SourceFacts facts = FactsOn("uuid:1234-ABCD", path);
    facts.size = size;
    facts.modified = modified;
    return facts;
}

CopyEntry Entry(const SourceFacts& source, const std::string& destination,
                const std::string& server = "home", const std::string& library = "FamilyLibrary") {
    return {source, server, library, destination, source.size, 1700000000};
}

std::vector<std::string> Names(const std::vector<fs::path>& paths) {
    std::vector<std::string> names;
    for (const fs::path& path : paths) {
        names.push_back(path.filename().string());
    }
    return names;
}

std::vector<fs::path> FilesIn(const std::string& folder) {
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(folder)) {
        files.push_back(entry.path());
    }
    return files;
}

class CopyRecordTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_FALSE(temp.Path().empty()); }

    std::unique_ptr<CCopyRecord> Open(RecordOpening& opening, std::string* movedTo = nullptr) {
        return CCopyRecord::Open(path, opening, movedTo);
    }

    ScratchFolder temp{"vm-record"};
    std::string path = temp.Path() + "/state/velmora/copies.sqlite3";
};

TEST_F(CopyRecordTest, FindsACopyOnlyForTheSameFileServerAndLibrary) {
    RecordOpening opening{};
    auto record = Open(opening);
    ASSERT_TRUE(record);
    EXPECT_EQ(opening, RecordOpening::Opened);
    const SourceFacts beach = Facts("/DCIM/100CANON/IMG_0001.JPG");
    ASSERT_TRUE(record->Add({Entry(beach, "FamilyLibrary/Holidays/Beach 1.JPG")}, "10.0.0.5"));

    struct Case {
        const char* what;
        SourceFacts source;
        std::string server;
        std::string library;
        bool found;
    };
    const Case cases[] = {
        {"the same file", beach, "home", "FamilyLibrary", true},
        {"changed since: another size", Facts(beach.identity.path, 1001), "home", "FamilyLibrary",
         false},
        {"changed since: another time", Facts(beach.identity.path, 1000, 43), "home",
         "FamilyLibrary", false},
        {"another card", FactsOn("uuid:9999-0000", beach.identity.path), "home", "FamilyLibrary",
         false},
        {"another picture", Facts("/DCIM/100CANON/IMG_0002.JPG"), "home", "FamilyLibrary", false},
        {"another server", beach, "office", "FamilyLibrary", false},
        {"the other library", beach, "home", "MyLibrary", false},
        {"an unknown identity", FactsOn("", ""), "home", "FamilyLibrary", false},
    };
    for (const Case& c : cases) {
        const auto found = record->Find(c.server, c.library, {c.source});
        ASSERT_EQ(found.size(), 1u) << c.what;
        EXPECT_EQ(found[0].size(), c.found ? 1u : 0u) << c.what;
        if (c.found && found[0].size() == 1) {
            EXPECT_EQ(found[0][0].destination, "FamilyLibrary/Holidays/Beach 1.JPG");
            EXPECT_EQ(found[0][0].copiedSize, 1000u);
        }
    }
    EXPECT_EQ(record->LastAddress("home"), "10.0.0.5");
    EXPECT_EQ(record->LastAddress("office"), "");

    // Copied again elsewhere: both copies are known, the newest first, and the record outlives
    // the program.
    CopyEntry again = Entry(beach, "FamilyLibrary/Later/Beach 1.JPG");
    again.copiedAt += 60;
    ASSERT_TRUE(record->Add({again}, "10.0.0.7"));
    record.reset();
    record = Open(opening);
    ASSERT_TRUE(record);
    const auto both = record->Find("home", "FamilyLibrary", {beach})[0];
    ASSERT_EQ(both.size(), 2u);
    EXPECT_EQ(both[0].destination, "FamilyLibrary/Later/Beach 1.JPG");
    EXPECT_EQ(record->LastAddress("home"), "10.0.0.7");
}

TEST_F(CopyRecordTest, UsesTheWriteAheadLogAndASchemaVersion) {
    RecordOpening opening{};
    ASSERT_TRUE(Open(opening));
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
    auto value = [db](const char* sql) {
        sqlite3_stmt* statement = nullptr;
        std::string text;
        if (sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) == SQLITE_OK &&
            sqlite3_step(statement) == SQLITE_ROW) {
            text = reinterpret_cast<const char*>(sqlite3_column_text(statement, 0));
        }
        sqlite3_finalize(statement);
        return text;
    };
    EXPECT_EQ(value("PRAGMA journal_mode"), "wal");
    EXPECT_EQ(value("PRAGMA user_version"), std::to_string(CCopyRecord::kSchemaVersion));
    sqlite3_close(db);
}

TEST_F(CopyRecordTest, ADamagedFileIsMovedAsideAndANewRecordStarted) {
    // Something that is no database, and a database cut short in the middle of its pages.
    std::string cut;
    {
        RecordOpening opening{};
        auto record = Open(opening);
        ASSERT_TRUE(record);
        std::vector<CopyEntry> many;
        for (int picture = 0; picture < 2000; ++picture) {
            many.push_back(Entry(Facts("/DCIM/" + std::to_string(picture) + ".JPG"),
                                 "FamilyLibrary/P/" + std::to_string(picture) + ".JPG"));
        }
        ASSERT_TRUE(record->Add(many, "10.0.0.5"));
    }
    {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
        sqlite3_wal_checkpoint_v2(db, nullptr, SQLITE_CHECKPOINT_TRUNCATE, nullptr, nullptr);
        sqlite3_close(db);
        std::ifstream in(path, std::ios::binary);
        cut.assign(std::istreambuf_iterator<char>(in), {});
        ASSERT_GT(cut.size(), 8192u);
        // Pages overwritten in the middle of the file, as a failing card or disk leaves them.
        for (size_t at = cut.size() / 3; at < cut.size() / 3 + 8192; ++at) {
            cut[at] = char(0xA5);
        }
    }
    struct Case {
        const char* what;
        std::string contents;
    };
    const Case cases[] = {
        {"not a database", "this was never a database, but it has enough bytes to look like one"},
        {"damaged pages", cut},
    };
    for (const Case& c : cases) {
        fs::remove_all(fs::path(path).parent_path());
        temp.Write("state/velmora/copies.sqlite3", c.contents);
        temp.Write("state/velmora/copies.sqlite3-wal", "a stale log");
        RecordOpening opening{};
        std::string movedTo;
        auto record = Open(opening, &movedTo);
        ASSERT_TRUE(record) << c.what;
        EXPECT_EQ(opening, RecordOpening::Replaced) << c.what;
        EXPECT_EQ(record->Count(), 0) << c.what;
        ASSERT_TRUE(record->Add({Entry(Facts("/a.jpg"), "FamilyLibrary/a.jpg")}, "10.0.0.5"));
        EXPECT_EQ(record->Count(), 1) << c.what;
        // Kept, whole, under a dated name; its stale log is not read into the new record.
        ASSERT_FALSE(movedTo.empty()) << c.what;
        std::ifstream aside(movedTo, std::ios::binary);
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(aside), {}), c.contents) << c.what;
        EXPECT_EQ(fs::path(movedTo).parent_path(), fs::path(path).parent_path());
        EXPECT_NE(movedTo.find(".damaged-"), std::string::npos) << movedTo;
        std::ifstream log(path + "-wal", std::ios::binary);
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(log), {}).find("a stale log"),
                  std::string::npos)
            << c.what;
    }
}

TEST_F(CopyRecordTest, ALaterVersionsRecordIsLeftAlone) {
    {
        RecordOpening opening{};
        ASSERT_TRUE(Open(opening));
    }
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, "PRAGMA user_version=7", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);

    RecordOpening opening{};
    EXPECT_FALSE(Open(opening));
    EXPECT_EQ(opening, RecordOpening::Unavailable);
    for (const std::string& name : Names(FilesIn(fs::path(path).parent_path().string()))) {
        EXPECT_EQ(name.find("damaged"), std::string::npos) << name;
    }
}

TEST(CopyRecordPath, FollowsTheStateFolderOfTheUser) {
    const char* state = std::getenv("XDG_STATE_HOME");
    const std::string savedState = state != nullptr ? state : "";
    const char* home = std::getenv("HOME");
    const std::string savedHome = home != nullptr ? home : "";
    setenv("XDG_STATE_HOME", "/tmp/state", 1);
    EXPECT_EQ(DefaultCopyRecordPath(), "/tmp/state/velmora/copies.sqlite3");
    setenv("XDG_STATE_HOME", "relative", 1); // not absolute: ignored
    setenv("HOME", "/home/ann", 1);
    EXPECT_EQ(DefaultCopyRecordPath(), "/home/ann/.local/state/velmora/copies.sqlite3");
    unsetenv("XDG_STATE_HOME");
    unsetenv("HOME");
    EXPECT_EQ(DefaultCopyRecordPath(), "");
    state != nullptr ? setenv("XDG_STATE_HOME", savedState.c_str(), 1) : unsetenv("XDG_STATE_HOME");
    home != nullptr ? setenv("HOME", savedHome.c_str(), 1) : unsetenv("HOME");
}

// A card (a plain file standing for its device, linked from a by-uuid folder) mounted at one
// point, then at another and through another device node: its pictures keep their identity.
TEST(SourceIdentityTest, ACardMountedElsewhereOrInAnotherReaderIsTheSameSource) {
    ScratchFolder temp{"vm-record"};
    ASSERT_FALSE(temp.Path().empty());
    const std::string device = temp.Write("dev/sdb1", "");
    const std::string otherReader = temp.Path() + "/dev/sdc1";
    fs::create_symlink("sdb1", otherReader);
    temp.Write("dev/sda1", "");
    fs::create_directories(temp.Path() + "/by-uuid");
    fs::create_symlink("../dev/sdb1", temp.Path() + "/by-uuid/6F1A-22C3");
    for (const char* mount : {"media/CARD", "run/media/ann/CARD1"}) {
        temp.Write(std::string(mount) + "/DCIM/100CANON/IMG_0001.JPG", "picture");
    }
    temp.Write("plain/IMG_0001.JPG", "picture");
    VolumeSources sources;
    sources.byUuid = temp.Path() + "/by-uuid";
    const std::string root = fs::canonical(temp.Path()).string();
    auto identityAt = [&](const std::string& mount, const std::string& source) {
        sources.mountInfo =
            temp.Write("mountinfo", "1 0 8:1 / / rw - ext4 " + root + "/dev/sda1 rw\n2 1 8:17 / " +
                                        root + "/" + mount + " rw - vfat " + source + " rw\n");
        CVolumeIdentifier volumes(sources);
        return volumes.IdentityOf(temp.Path() + "/" + mount + "/DCIM/100CANON/", "IMG_0001.JPG");
    };
    const SourceIdentity first = identityAt("media/CARD", device);
    EXPECT_EQ(first.volume, "uuid:6F1A-22C3");
    EXPECT_EQ(first.path, "/DCIM/100CANON/IMG_0001.JPG");
    EXPECT_EQ(identityAt("run/media/ann/CARD1", device), first);
    EXPECT_EQ(identityAt("run/media/ann/CARD1", otherReader), first);

    // A folder on a volume without a UUID is known by its own path; a missing one not at all.
    CVolumeIdentifier volumes(sources);
    const SourceIdentity plain = volumes.IdentityOf(temp.Path() + "/plain", "IMG_0001.JPG");
    EXPECT_EQ(plain.volume, "");
    EXPECT_EQ(plain.path, root + "/plain/IMG_0001.JPG");
    EXPECT_FALSE(volumes.IdentityOf(temp.Path() + "/gone", "IMG_0001.JPG").Known());
}

} // namespace
