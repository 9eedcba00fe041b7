// Filling the folder page's lists from a library share of a private smbd.
#include "smbd_fixture.h"
#include "wizard/sheet/DestinationEntries.h"
#include "wizard/transfer/SmbSession.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace {

class SheetSmbTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        server = new SmbdFixture;
        if (!server->Start(whyNot)) {
            delete server;
            server = nullptr;
        }
    }
    static void TearDownTestSuite() {
        delete server;
        server = nullptr;
    }
    void SetUp() override {
        if (server == nullptr) {
            GTEST_SKIP() << "no smbd: " << whyNot;
        }
        ::setenv("VELMORA_PROGRAM_DIR", "/nonexistent-velmora-program", 1); // no settings.ini
    }

    static SmbdFixture* server;
    static std::string whyNot;
};

SmbdFixture* SheetSmbTest::server = nullptr;
std::string SheetSmbTest::whyNot;

TEST_F(SheetSmbTest, TheLibrarysSubFoldersInListingOrderMakeTheEntries) {
    const fs::path share = server->ShareDirectory(SmbdFixture::kGuestShare);
    for (const char* folder : {"Trips", "FamilyPhotos", "Art #1", "Pets"}) {
        fs::create_directories(share / folder);
        ::chmod((share / folder).c_str(), 0777);
    }
    std::ofstream(share / "loose.jpg") << "not a folder";

    std::vector<std::string> names;
    ListSubFolders(LibraryNetworkFolder(server->Address(), false), names);

    // The listing order is the server's; the session's own listing tells what it is.
    std::unique_ptr<CAbstractShareSession> session = CreateSmbSession(server->Address());
    ASSERT_NE(session, nullptr);
    std::vector<ShareEntry> entries;
    ASSERT_TRUE(session->List(SmbdFixture::kGuestShare, entries).ok());
    std::vector<std::string> folders;
    for (const ShareEntry& entry : entries) {
        if (entry.isFolder) {
            folders.push_back(entry.name);
        }
    }
    EXPECT_EQ(names, folders);
    for (const char* folder : {"Trips", "FamilyPhotos", "Art #1", "Pets"}) {
        EXPECT_NE(std::find(names.begin(), names.end(), folder), names.end()) << folder;
    }
    EXPECT_EQ(std::find(names.begin(), names.end(), "loose.jpg"), names.end());

    WizardSettings settings;
    const std::vector<DestinationEntry> list =
        FillDestinationEntries(settings, names, "2024-05-01");
    ASSERT_EQ(list.size(), 4 * names.size());
    EXPECT_EQ(list[0].text, "FamilyPhotos/Photo");
    EXPECT_EQ(list[3].text, "FamilyPhotos");
}

TEST_F(SheetSmbTest, AnUnreachableServerGivesNoFolders) {
    std::vector<std::string> names = {"left over"};
    testing::internal::CaptureStdout();
    ListSubFolders(LibraryNetworkFolder("127.0.0.1:1", false), names);
    const std::string output = testing::internal::GetCapturedStdout();
    EXPECT_TRUE(names.empty());
    EXPECT_FALSE(output.empty());

    ListSubFolders(LibraryNetworkFolder(server->Address(), false) + "/No such folder", names);
    EXPECT_TRUE(names.empty());
}

} // namespace
