// The share layer, the copy engine and the authenticator against a real smbd on loopback.
#include "TransferTestSupport.h"
#include "smbd_fixture.h"
#include "wizard/transfer/FileTransferFactory.h"
#include "wizard/transfer/FileTransferStep.h"
#include "wizard/transfer/SmbSession.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

class SmbTransferTest : public ::testing::Test {
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
        if (!server->IsServing()) {
            ASSERT_TRUE(server->StartServer());
        }
        location = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        callback->SetTarget(&poster, nullptr);
        properties.groupName = "Holiday";
        properties.location = location;
        properties.pictures = &sources.Pictures();
    }

    static std::unique_ptr<CAbstractShareSession> GuestSession() {
        return CreateSmbSession(server->Address(),
                                std::make_shared<CFixedCredentialSource>(ShareCredentials{}));
    }

    // The step with a guest transfer whose progress comes in 1 MiB chunks.
    void UseGuestTransfer() {
        auto transfer = std::make_unique<CSambaFileTransfer>(GuestSession(),
                                                             CSambaFileTransfer::kMinimumChunkSize);
        transfer->SetCallback(callback);
        step.SetTransfer(std::move(transfer));
    }

    std::string OnDisk(const std::string& name = {}) const {
        std::string path = server->ShareDirectory(SmbdFixture::kGuestShare) + "/" + location;
        return name.empty() ? path : path + "/" + name;
    }
    std::vector<std::string> FilesOnDisk() const {
        std::vector<std::string> names;
        std::error_code error;
        for (const auto& entry : fs::directory_iterator(OnDisk(), error)) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }
    void PutOnDisk(const std::string& name, const std::string& contents) const {
        fs::create_directories(OnDisk());
        ::chmod(OnDisk().c_str(), 0777);
        std::ofstream(OnDisk(name)) << contents;
    }

    static SmbdFixture* server;
    static std::string whyNot;

    std::string location;
    SourceFolder sources;
    RecordingPoster poster;
    std::shared_ptr<CFileTransferCallback> callback = std::make_shared<CFileTransferCallback>();
    CTransferProperties properties;
    CFileTransferStep step;
};

SmbdFixture* SmbTransferTest::server = nullptr;
std::string SmbTransferTest::whyNot;

TEST_F(SmbTransferTest, SessionsKeepAwkwardNamesAndNeverOpenAFileThatExists) {
    std::unique_ptr<CAbstractShareSession> session = GuestSession();
    const std::string folder = std::string(SmbdFixture::kGuestShare) + "/" + location;
    ASSERT_TRUE(session->MakeFolder(folder).ok());
    EXPECT_EQ(session->MakeFolder(folder).status, ShareStatus::AlreadyExists);
    const std::string name = "100% ready #1 @home;+&Ünïcode.jpg";
    std::unique_ptr<CAbstractShareFile> file;
    ASSERT_TRUE(session->CreateNew(folder + "/" + name, file).ok());
    ASSERT_TRUE(file->Write("abc", 3).ok());
    ASSERT_TRUE(file->Close().ok());
    EXPECT_EQ(ReadFile(OnDisk(name)), "abc");

    EXPECT_EQ(session->CreateNew(folder + "/" + name, file).status, ShareStatus::AlreadyExists);
    EXPECT_EQ(session->CreateNew(folder + "/100% READY #1 @HOME;+&Ünïcode.JPG", file).status,
              ShareStatus::AlreadyExists)
        << "the share compares names without letter case";
    EXPECT_EQ(ReadFile(OnDisk(name)), "abc");

    ASSERT_TRUE(session->MakeFolder(folder + "/Sub one").ok());
    ASSERT_TRUE(session->MakeFolder(folder + "/Sub two").ok());
    std::vector<std::string> folders;
    ListSubFolders("\\\\" + server->Address() + "\\" + folder, folders);
    std::sort(folders.begin(), folders.end());
    EXPECT_EQ(folders, (std::vector<std::string>{"Sub one", "Sub two"}));

    std::vector<ShareEntry> entries;
    ASSERT_TRUE(session->List(folder, entries).ok());
    EXPECT_EQ(entries.size(), 3u);

    ASSERT_TRUE(session->Remove(folder + "/" + name).ok());
    EXPECT_FALSE(fs::exists(OnDisk(name)));
    EXPECT_EQ(session->Remove(folder + "/" + name).status, ShareStatus::NotFound);

    testing::internal::CaptureStdout();
    ListSubFolders(*session, folder + "/Missing", folders);
    EXPECT_TRUE(folders.empty());
    EXPECT_NE(testing::internal::GetCapturedStdout().find("Invalid File Handle"),
              std::string::npos);
}

TEST_F(SmbTransferTest, NumbersCopiesAfterWhatTheFolderHoldsAndNeverOverwrites) {
    PutOnDisk("Holiday 3.jpg", "x");
    PutOnDisk("Holiday 7.JPG", "x");
    PutOnDisk("Holiday 8.png", "theirs"); // not seen by the .jpg scan
    sources.Add("a.png");
    sources.Add("b.JPG");
    sources.Add("c");
    UseGuestTransfer();
    step.Run(properties);

    EXPECT_FALSE(poster.Done().failure.Failed()) << poster.Done().failure.Describe();
    EXPECT_EQ(FilesOnDisk(),
              (std::vector<std::string>{"Holiday 10.JPG", "Holiday 11", "Holiday 3.jpg",
                                        "Holiday 7.JPG", "Holiday 8.png", "Holiday 9.png"}));
    EXPECT_EQ(ReadFile(OnDisk("Holiday 8.png")), "theirs");
    EXPECT_EQ(ReadFile(OnDisk("Holiday 10.JPG")), sources.Contents("b.JPG"));
}

TEST_F(SmbTransferTest, ANewFolderIsCreatedAndNumberedFromOne) {
    sources.Add("1.jpg");
    sources.Add("2.jpg", (5 << 20) + 123); // several chunks
    UseGuestTransfer();
    step.Run(properties);
    EXPECT_EQ(FilesOnDisk(), (std::vector<std::string>{"Holiday 1.jpg", "Holiday 2.jpg"}));
    EXPECT_EQ(ReadFile(OnDisk("Holiday 2.jpg")), sources.Contents("2.jpg"));
}

TEST_F(SmbTransferTest, AFailedThirdCopyRemovesTheFirstTwo) {
    sources.Add("1.jpg");
    sources.Add("2.jpg");
    const std::string third = sources.Add("3.jpg");
    sources.Add("4.jpg");
    fs::remove(third); // gone between the search and the copy
    properties.deleteAfterCopy = true;
    UseGuestTransfer();
    step.Run(properties);

    EXPECT_TRUE(FilesOnDisk().empty());
    EXPECT_FALSE(poster.Done().cancelled);
    EXPECT_EQ(poster.Done().failure.status, ShareStatus::SourceUnreadable);
    EXPECT_TRUE(sources.Exists("1.jpg"));
    EXPECT_TRUE(sources.Exists("4.jpg"));
}

TEST_F(SmbTransferTest, CancelDuringAFileLeavesNoPartialFile) {
    sources.Add("1.jpg", 100);
    sources.Add("2.jpg", 3 << 20);
    UseGuestTransfer();
    poster.onPost = [this](const kvAsyncData& record) {
        auto* progress = dynamic_cast<const kvFileStatusAsyncData*>(&record);
        if (progress != nullptr && progress->bytesDone == (1u << 20)) {
            callback->Cancel();
        }
    };
    step.Run(properties);
    EXPECT_TRUE(poster.Done().cancelled);
    EXPECT_TRUE(FilesOnDisk().empty());
}

TEST_F(SmbTransferTest, CancelAfterTheLastCopyOrDuringTheDeletePass) {
    sources.Add("1.jpg");
    sources.Add("2.jpg");
    sources.Add("3.jpg");
    properties.deleteAfterCopy = true;
    UseGuestTransfer();

    // Confirmed while the last copy finishes: copies go, every source stays.
    poster.onPost = [this](const kvAsyncData& record) {
        auto* progress = dynamic_cast<const kvFileStatusAsyncData*>(&record);
        if (progress != nullptr && progress->bytesDone == 1000 &&
            poster.All<kvGroupStatusAsyncData>().size() == 3) {
            callback->Cancel();
        }
    };
    step.Run(properties);
    EXPECT_TRUE(FilesOnDisk().empty());
    EXPECT_TRUE(sources.Exists("1.jpg") && sources.Exists("2.jpg") && sources.Exists("3.jpg"));

    // Noticed during the delete pass: deletion stops, copies stay.
    RecordingPoster second;
    callback->ResetCancel();
    callback->SetTarget(&second, nullptr);
    second.onPost = [this](const kvAsyncData& record) {
        auto* deleting = dynamic_cast<const kvDeleteStatusAsyncData*>(&record);
        if (deleting != nullptr && deleting->pictureNumber == 2) {
            callback->Cancel();
        }
    };
    step.Run(properties);
    EXPECT_TRUE(second.Done().cancelled);
    EXPECT_EQ(FilesOnDisk().size(), 3u);
    EXPECT_FALSE(sources.Exists("1.jpg"));
    EXPECT_TRUE(sources.Exists("2.jpg"));
}

TEST_F(SmbTransferTest, AServerThatRestartsInTheMiddleOfACopyLeavesNothingBehind) {
    sources.Add("1.jpg", 1 << 20);
    sources.Add("2.jpg", 3 << 20);
    sources.Add("3.jpg", 1 << 20);
    properties.deleteAfterCopy = true;
    UseGuestTransfer();
    std::atomic<bool> stopped = false;
    poster.onPost = [&](const kvAsyncData& record) {
        auto* progress = dynamic_cast<const kvFileStatusAsyncData*>(&record);
        if (progress != nullptr && progress->totalBytes == (3u << 20) && progress->bytesDone > 0 &&
            !stopped) {
            stopped = true;
            server->StopServer();
            server->StartServer();
        }
    };
    step.Run(properties);

    ASSERT_TRUE(stopped);
    EXPECT_TRUE(FilesOnDisk().empty());
    EXPECT_FALSE(poster.Done().cancelled);
    EXPECT_TRUE(IsConnectionFailure(poster.Done().failure.status))
        << poster.Done().failure.Describe();
    EXPECT_EQ(poster.Done().failure.leftBehind, 0);
    EXPECT_TRUE(sources.Exists("1.jpg") && sources.Exists("2.jpg") && sources.Exists("3.jpg"));
}

TEST_F(SmbTransferTest, AServerThatStopsForGoodIsReportedWithWhatWasLeftBehind) {
    sources.Add("1.jpg", 1 << 20);
    sources.Add("2.jpg", 3 << 20);
    properties.deleteAfterCopy = true;
    UseGuestTransfer();
    step.SetCleanupPatience(500ms);
    poster.onPost = [&](const kvAsyncData& record) {
        auto* progress = dynamic_cast<const kvFileStatusAsyncData*>(&record);
        if (progress != nullptr && progress->totalBytes == (3u << 20) && progress->bytesDone > 0 &&
            server->IsServing()) {
            server->StopServer();
        }
    };
    step.Run(properties);

    const TransferFailure& failure = poster.Done().failure;
    EXPECT_TRUE(IsConnectionFailure(failure.status)) << failure.Describe();
    EXPECT_EQ(failure.leftBehind, 2) << "the first copy and the partial second";
    EXPECT_TRUE(sources.Exists("1.jpg") && sources.Exists("2.jpg"));
    ASSERT_TRUE(server->StartServer());
}

TEST_F(SmbTransferTest, AFullDiskFailsTheRunAndRemovesEverything) {
    std::string why;
    if (!server->MountSmallDisk(OnDisk(), 2 << 20, why)) {
        GTEST_SKIP() << why;
    }
    sources.Add("1.jpg", 900 << 10);
    sources.Add("2.jpg", 900 << 10);
    sources.Add("3.jpg", 900 << 10);
    properties.deleteAfterCopy = true;
    UseGuestTransfer();
    step.Run(properties);

    EXPECT_EQ(poster.Done().failure.status, ShareStatus::DiskFull)
        << poster.Done().failure.Describe();
    EXPECT_TRUE(FilesOnDisk().empty());
    EXPECT_TRUE(sources.Exists("1.jpg") && sources.Exists("2.jpg") && sources.Exists("3.jpg"));
}

TEST_F(SmbTransferTest, AFolderThatMayNotBeWrittenFailsTheRun) {
    fs::create_directories(OnDisk());
    ::chmod(OnDisk().c_str(), 0755); // owned by root; the guest account may not write
    sources.Add("1.jpg");
    properties.deleteAfterCopy = true;
    UseGuestTransfer();
    step.Run(properties);
    EXPECT_EQ(poster.Done().failure.status, ShareStatus::AccessDenied);
    EXPECT_TRUE(FilesOnDisk().empty());
    EXPECT_TRUE(sources.Exists("1.jpg"));
}

class SmbAuthenticationTest : public SmbTransferTest {
protected:
    std::unique_ptr<CAbstractFileTransfer> Create(const std::string& address, uint8_t library) {
        CFileTransferFactory factory(address, LocalDevice, library);
        factory.SetOwner(&prompt);
        factory.SetCredentialStore(store);
        factory.SetCredentialCache(cache);
        return factory.Create();
    }

    ScriptedPrompt prompt;
    std::shared_ptr<MemoryCredentialStore> store = std::make_shared<MemoryCredentialStore>();
    std::shared_ptr<CCredentialCache> cache = std::make_shared<CCredentialCache>();
};

TEST_F(SmbAuthenticationTest, TheGuestLibraryIsReachableAtOnce) {
    EXPECT_NE(Create(server->Address(), 0), nullptr);
    EXPECT_TRUE(prompt.askedShares.empty());
}

TEST_F(SmbAuthenticationTest, WrongThenRightCredentialsOpenThePersonalLibrary) {
    prompt.script = {{true, {SmbdFixture::kUser, "wrong", ""}, false},
                     {true, {SmbdFixture::kUser, SmbdFixture::kPassword, ""}, true}};
    std::unique_ptr<CAbstractFileTransfer> transfer = Create(server->Address(), 1);
    ASSERT_NE(transfer, nullptr);
    ASSERT_EQ(prompt.askedShares.size(), 2u);
    EXPECT_EQ(prompt.askedShares[0], "\\\\" + server->Address() + "\\MyLibrary");
    EXPECT_EQ(prompt.shownFailures[1], "The user name or password was not accepted.");
    EXPECT_EQ(store->saved[server->Address()].user, SmbdFixture::kUser);

    // The transfer copies with the credentials that worked.
    const std::string source = sources.Add("1.jpg");
    transfer->SetCallback(callback);
    ASSERT_TRUE(transfer->Transfer(source, "MyLibrary/" + location + ".jpg").ok());
    EXPECT_EQ(ReadFile(server->ShareDirectory(SmbdFixture::kUserShare) + "/" + location + ".jpg"),
              sources.Contents("1.jpg"));
}

TEST_F(SmbAuthenticationTest, CancelGivesNoTransfer) {
    prompt.script = {{false, {}, false}};
    EXPECT_EQ(Create(server->Address(), 1), nullptr);
    EXPECT_EQ(prompt.askedShares.size(), 1u);
    EXPECT_TRUE(prompt.failures.empty());
}

TEST_F(SmbAuthenticationTest, AServerThatIsGoneIsReportedWithoutAPrompt) {
    const std::string address = "127.0.0.1:1"; // nothing listens there
    prompt.script = {{true, {SmbdFixture::kUser, SmbdFixture::kPassword, ""}, false}};
    EXPECT_EQ(Create(address, 0), nullptr);
    EXPECT_TRUE(prompt.askedShares.empty());
    ASSERT_EQ(prompt.failures.size(), 1u);
    EXPECT_NE(prompt.failures[0].find("\\\\" + address + "\\FamilyLibrary"), std::string::npos);
    EXPECT_NE(prompt.failures[0].find("refused"), std::string::npos) << prompt.failures[0];
}

} // namespace
