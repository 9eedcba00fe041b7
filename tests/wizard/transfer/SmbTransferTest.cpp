// The share layer, the copy engine and the authenticator against a real smbd on loopback, with
// the server settings home servers really use: the stock share settings, mandatory signing,
// required encryption (no guests: the tests copy to the personal library), SMB 3.1.1 only, names
// that differ by letter case, and the guest share settings people add (open masks, a forced
// user, inherited permissions, vetoed and hidden dot files); and a server that only speaks SMB1,
// which is never used.
#include "TransferTestSupport.h"
#include "smbd_fixture.h"
#include "wizard/transfer/FileTransferFactory.h"
#include "wizard/transfer/FileTransferStep.h"
#include "wizard/transfer/SmbSession.h"
#include "wizard/transfer/TransferNaming.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <map>
#include <ostream>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

struct ServerSettings {
    const char* name;
    std::vector<std::string> globalLines;
    bool guestSessions; // the server lets guests in
    std::vector<std::string> guestShareLines = {};
    // A guest can write into a folder it just made. With a forced user and the stock modes
    // nobody can (smbclient -N neither): the new folder belongs to the forced user, whose
    // identity the session does not carry. Tests then copy into folders made beforehand, as the
    // server's owner makes a library's folders.
    bool newFoldersWritable = true;
};

// The settings' name stands for them in the test names ctest shows.
void PrintTo(const ServerSettings& settings, std::ostream* out) {
    *out << settings.name;
}

const ServerSettings kServerSettings[] = {
    {"Default", {}, true},
    {"MandatorySigning", {"server signing = mandatory"}, true},
    {"RequiredEncryption", {"server smb encrypt = required"}, false},
    {"Smb3_11Only", {"server min protocol = SMB3_11"}, true},
    {"CaseSensitiveNames", {"case sensitive = yes"}, true},
    {"OpenMasks", {}, true, {"directory mask = 0777", "create mask = 0666"}},
    {"ForcedUser", {}, true, {"force user = nobody"}, false},
    {"InheritedPermissions", {}, true, {"inherit permissions = yes"}},
    {"VetoedDotFiles", {}, true, {"veto files = /._*/.DS_Store/", "delete veto files = yes"}},
    {"HiddenDotFiles", {}, true, {"hide dot files = yes"}},
};

const std::vector<std::string> kSmb1Only = {"server min protocol = NT1",
                                            "server max protocol = NT1"};

const char* const kNeedsCredentials = "This library needs your name and password.";

class SmbTransferTest : public ::testing::TestWithParam<ServerSettings> {
protected:
    static void TearDownTestSuite() { servers.clear(); }

    void SetUp() override {
        const ServerSettings& settings = GetParam();
        std::unique_ptr<SmbdFixture>& started = servers[settings.name];
        if (!started && whyNot.count(settings.name) == 0) {
            started = std::make_unique<SmbdFixture>(settings.globalLines, settings.guestShareLines);
            std::string why;
            if (!started->Start(why)) {
                started.reset();
                whyNot[settings.name] = why;
            }
        }
        if (!started) {
            GTEST_SKIP() << "no smbd: " << whyNot[settings.name];
        }
        server = started.get();
        if (!server->IsServing()) {
            ASSERT_TRUE(server->StartServer());
        }
        location = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        location = location.substr(0, location.find('/'));
        if (!settings.newFoldersWritable) {
            fs::create_directories(OnDisk());
            ::chmod(OnDisk().c_str(), 0777);
        }
        callback->SetTarget(&poster, nullptr);
        properties.groupName = "Holiday";
        properties.location = location;
        properties.library = settings.guestSessions ? 0 : 1;
        properties.pictures = &sources.Pictures();
        // For the listing helper that works with the process' own credentials.
        ProcessCredentialCache()->Store(server->Address(), Share(), Credentials());
    }
    void TearDown() override { ProcessCredentialCache()->Clear(); }

    // Guests where the server lets them in, the test user where it does not.
    static ShareCredentials Credentials() {
        if (GetParam().guestSessions) {
            return ShareCredentials::NamedGuest();
        }
        return {SmbdFixture::kUser, SmbdFixture::kPassword, ""};
    }
    static std::string Share() {
        return GetParam().guestSessions ? SmbdFixture::kGuestShare : SmbdFixture::kUserShare;
    }

    std::unique_ptr<CAbstractShareSession> Session() const {
        return CreateSmbSession(server->Address(),
                                std::make_shared<CFixedCredentialSource>(Credentials()));
    }

    // The step with a transfer whose progress comes in 1 MiB chunks.
    void UseTransfer() {
        auto transfer =
            std::make_unique<CSambaFileTransfer>(Session(), CSambaFileTransfer::kMinimumChunkSize);
        transfer->SetCallback(callback);
        step.SetTransfer(std::move(transfer));
    }

    std::string OnDisk(const std::string& name = {}) const {
        std::string path = server->ShareDirectory(Share()) + "/" + location;
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

    // One server per setting, started when its first test runs.
    static std::map<std::string, std::unique_ptr<SmbdFixture>> servers;
    static std::map<std::string, std::string> whyNot;

    SmbdFixture* server = nullptr;
    std::string location;
    SourceFolder sources;
    RecordingPoster poster;
    std::shared_ptr<CFileTransferCallback> callback = std::make_shared<CFileTransferCallback>();
    CTransferProperties properties;
    CFileTransferStep step;
};

std::map<std::string, std::unique_ptr<SmbdFixture>> SmbTransferTest::servers;
std::map<std::string, std::string> SmbTransferTest::whyNot;

TEST_P(SmbTransferTest, SessionsKeepAwkwardNamesAndNeverOpenAFileThatExists) {
    std::unique_ptr<CAbstractShareSession> session = Session();
    const std::string folder = Share() + "/" + location;
    const ShareResult made = session->MakeFolder(folder);
    ASSERT_TRUE(made.ok() || !GetParam().newFoldersWritable) << made.Message();
    EXPECT_EQ(session->MakeFolder(folder).status, ShareStatus::AlreadyExists);
    const std::string name = "100% ready #1 @home;+&Ünïcode.jpg";
    std::unique_ptr<CAbstractShareFile> file;
    ASSERT_TRUE(session->CreateNew(folder + "/" + name, file).ok());
    ASSERT_TRUE(file->Write("abc", 3).ok());
    ASSERT_TRUE(file->Close().ok());
    EXPECT_EQ(ReadFile(OnDisk(name)), "abc");

    EXPECT_EQ(session->CreateNew(folder + "/" + name, file).status, ShareStatus::AlreadyExists);
    // Whether another letter case names the same file is the server's choice.
    const std::string otherCase = "100% READY #1 @HOME;+&Ünïcode.JPG";
    size_t files = 1;
    if (server->CaseSensitiveNames()) {
        ASSERT_TRUE(session->CreateNew(folder + "/" + otherCase, file).ok());
        ASSERT_TRUE(file->Close().ok());
        EXPECT_EQ(ReadFile(OnDisk(otherCase)), "");
        files = 2;
    } else {
        EXPECT_EQ(session->CreateNew(folder + "/" + otherCase, file).status,
                  ShareStatus::AlreadyExists);
    }
    EXPECT_EQ(ReadFile(OnDisk(name)), "abc");

    ASSERT_TRUE(session->MakeFolder(folder + "/Sub one").ok());
    ASSERT_TRUE(session->MakeFolder(folder + "/Sub two").ok());
    std::vector<std::string> folders;
    ListSubFolders("\\\\" + server->Address() + "\\" + folder, folders);
    std::sort(folders.begin(), folders.end());
    EXPECT_EQ(folders, (std::vector<std::string>{"Sub one", "Sub two"}));

    std::vector<ShareEntry> entries;
    ASSERT_TRUE(session->List(folder, entries).ok());
    EXPECT_EQ(entries.size(), files + 2);

    ASSERT_TRUE(session->Remove(folder + "/" + name).ok());
    EXPECT_FALSE(fs::exists(OnDisk(name)));
    EXPECT_EQ(session->Remove(folder + "/" + name).status, ShareStatus::NotFound);

    testing::internal::CaptureStdout();
    ListSubFolders(*session, folder + "/Missing", folders);
    EXPECT_TRUE(folders.empty());
    EXPECT_NE(testing::internal::GetCapturedStdout().find("Invalid File Handle"),
              std::string::npos);
}

TEST_P(SmbTransferTest, NumbersCopiesAfterWhatTheFolderHoldsAndNeverOverwrites) {
    PutOnDisk("Holiday 3.jpg", "x");
    PutOnDisk("Holiday 7.JPG", "x");
    PutOnDisk("Holiday 8.png", "theirs"); // a number names one picture of whatever kind
    sources.Add("a.png");
    sources.Add("b.JPG");
    sources.Add("c");
    UseTransfer();
    step.Run(properties);

    EXPECT_FALSE(poster.Done().failure.Failed()) << poster.Done().failure.Describe();
    EXPECT_EQ(FilesOnDisk(),
              (std::vector<std::string>{"Holiday 10.JPG", "Holiday 11", "Holiday 3.jpg",
                                        "Holiday 7.JPG", "Holiday 8.png", "Holiday 9.png"}));
    EXPECT_EQ(ReadFile(OnDisk("Holiday 8.png")), "theirs");
    EXPECT_TRUE(ReadFile(OnDisk("Holiday 10.JPG")) == sources.Contents("b.JPG"));
}

TEST_P(SmbTransferTest, ANewFolderIsCreatedAndNumberedFromOne) {
    sources.Add("1.jpg");
    sources.Add("2.jpg", (5 << 20) + 123); // several chunks
    UseTransfer();
    step.Run(properties);
    EXPECT_EQ(FilesOnDisk(), (std::vector<std::string>{"Holiday 1.jpg", "Holiday 2.jpg"}));
    EXPECT_TRUE(ReadFile(OnDisk("Holiday 2.jpg")) == sources.Contents("2.jpg"));
}

TEST_P(SmbTransferTest, APictureGoneSinceTheSearchIsPassedOverAndNamed) {
    sources.Add("1.jpg");
    sources.Add("2.jpg");
    const std::string third = sources.Add("3.jpg");
    sources.Add("4.jpg");
    fs::remove(third); // gone between the search and the copy
    properties.deleteAfterCopy = true;
    UseTransfer();
    step.Run(properties);

    EXPECT_EQ(FilesOnDisk(),
              (std::vector<std::string>{"Holiday 1.jpg", "Holiday 2.jpg", "Holiday 3.jpg"}));
    EXPECT_TRUE(ReadFile(OnDisk("Holiday 3.jpg")) == sources.Contents("4.jpg"));
    const kvDoneCopyAsyncData& done = poster.Done();
    EXPECT_FALSE(done.cancelled);
    EXPECT_FALSE(done.failure.Failed()) << done.failure.Describe();
    EXPECT_EQ(done.skipped, 1u);
    EXPECT_EQ(done.firstSkipped.status, ShareStatus::SourceUnreadable);
    EXPECT_EQ(done.firstSkipped.source, third);
    EXPECT_TRUE(sources.Exists("1.jpg") && sources.Exists("4.jpg"))
        << "a run that passed over a picture deletes no original";
}

TEST_P(SmbTransferTest, CancelDuringAFileLeavesNoPartialFile) {
    sources.Add("1.jpg", 100);
    sources.Add("2.jpg", 3 << 20);
    UseTransfer();
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

TEST_P(SmbTransferTest, CancelAfterTheLastCopyOrDuringTheDeletePass) {
    sources.Add("1.jpg");
    sources.Add("2.jpg");
    sources.Add("3.jpg");
    properties.deleteAfterCopy = true;
    UseTransfer();

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

TEST_P(SmbTransferTest, AServerThatRestartsInTheMiddleOfACopyLeavesNothingBehind) {
    sources.Add("1.jpg", 1 << 20);
    sources.Add("2.jpg", 3 << 20);
    sources.Add("3.jpg", 1 << 20);
    properties.deleteAfterCopy = true;
    UseTransfer();
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

TEST_P(SmbTransferTest, AServerThatStopsForGoodIsReportedWithWhatWasLeftBehind) {
    sources.Add("1.jpg", 1 << 20);
    sources.Add("2.jpg", 3 << 20);
    properties.deleteAfterCopy = true;
    UseTransfer();
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

TEST_P(SmbTransferTest, AFullDiskFailsTheRunAndRemovesEverything) {
    std::string why;
    if (!server->MountSmallDisk(OnDisk(), 2 << 20, why)) {
        GTEST_SKIP() << why;
    }
    sources.Add("1.jpg", 900 << 10);
    sources.Add("2.jpg", 900 << 10);
    sources.Add("3.jpg", 900 << 10);
    properties.deleteAfterCopy = true;
    UseTransfer();
    step.Run(properties);

    EXPECT_EQ(poster.Done().failure.status, ShareStatus::DiskFull)
        << poster.Done().failure.Describe();
    EXPECT_TRUE(FilesOnDisk().empty());
    EXPECT_TRUE(sources.Exists("1.jpg") && sources.Exists("2.jpg") && sources.Exists("3.jpg"));
}

TEST_P(SmbTransferTest, AFolderThatMayNotBeWrittenFailsTheRun) {
    fs::create_directories(OnDisk());
    ::chmod(OnDisk().c_str(), 0755); // owned by root; the guest account may not write
    sources.Add("1.jpg");
    properties.deleteAfterCopy = true;
    UseTransfer();
    step.Run(properties);
    EXPECT_EQ(poster.Done().failure.status, ShareStatus::AccessDenied);
    EXPECT_TRUE(FilesOnDisk().empty());
    EXPECT_TRUE(sources.Exists("1.jpg"));
}

TEST_P(SmbTransferTest, CopiesTakeTheirNamesWholeAndALeftoverOfAKilledRunGoes) {
    // What a run killed in mid-copy leaves: a temporary file, never a final name.
    PutOnDisk(TemporaryCopyName("Holiday 1.jpg"), "cut off");
    sources.Add("1.jpg", (2 << 20) + 17);
    sources.Add("2.jpg");
    UseTransfer();
    step.Run(properties);
    EXPECT_FALSE(poster.Done().failure.Failed()) << poster.Done().failure.Describe();
    EXPECT_EQ(FilesOnDisk(), (std::vector<std::string>{"Holiday 1.jpg", "Holiday 2.jpg"}));
    EXPECT_TRUE(ReadFile(OnDisk("Holiday 1.jpg")) == sources.Contents("1.jpg"));

    // A rename never replaces what is there.
    std::unique_ptr<CAbstractShareSession> session = Session();
    const std::string folder = Share() + "/" + location;
    EXPECT_EQ(session->RenameNew(folder + "/Holiday 1.jpg", folder + "/Holiday 2.jpg").status,
              ShareStatus::AlreadyExists);
    EXPECT_TRUE(ReadFile(OnDisk("Holiday 1.jpg")) == sources.Contents("1.jpg"));
    EXPECT_TRUE(ReadFile(OnDisk("Holiday 2.jpg")) == sources.Contents("2.jpg"));
}

TEST_P(SmbTransferTest, TwoWizardsCopyingIntoOneGroupNeverShareANumber) {
    // The other wizard is writing the group's first picture: it holds the temporary name.
    std::unique_ptr<CAbstractShareSession> other = Session();
    const std::string folder = Share() + "/" + location;
    fs::create_directories(OnDisk());
    ::chmod(OnDisk().c_str(), 0777);
    const std::string theirs = folder + "/Holiday 1.jpg";
    std::unique_ptr<CAbstractShareFile> file;
    ASSERT_TRUE(other->CreateNew(TemporaryCopyPath(theirs), file).ok());
    ASSERT_TRUE(file->Write("their", 5).ok());

    sources.Add("1.jpg");
    sources.Add("2.jpg");
    UseTransfer();
    step.Run(properties);
    EXPECT_FALSE(poster.Done().failure.Failed()) << poster.Done().failure.Describe();
    EXPECT_TRUE(ReadFile(OnDisk("Holiday 2.jpg")) == sources.Contents("1.jpg"));
    EXPECT_TRUE(ReadFile(OnDisk("Holiday 3.jpg")) == sources.Contents("2.jpg"));

    ASSERT_TRUE(file->Write(" picture", 8).ok());
    ASSERT_TRUE(file->Close().ok());
    ASSERT_TRUE(other->RenameNew(TemporaryCopyPath(theirs), theirs).ok());
    EXPECT_EQ(ReadFile(OnDisk("Holiday 1.jpg")), "their picture");
    EXPECT_EQ(FilesOnDisk().size(), 3u);
}

// What takes its time, or a process of its own, runs on the stock settings only.
class SmbStockServerTest : public SmbTransferTest {};

TEST_P(SmbStockServerTest, AServerThatStopsAnsweringFailsTheRunWithinHalfAMinute) {
    sources.Add("1.jpg", 1 << 20);
    sources.Add("2.jpg", 4 << 20);
    UseTransfer();
    step.SetCleanupPatience(2s);
    std::atomic<bool> frozen = false;
    std::chrono::steady_clock::time_point frozenAt;
    poster.onPost = [&](const kvAsyncData& record) {
        auto* progress = dynamic_cast<const kvFileStatusAsyncData*>(&record);
        if (progress != nullptr && progress->totalBytes == (4u << 20) && progress->bytesDone > 0 &&
            !frozen) {
            frozen = true;
            frozenAt = std::chrono::steady_clock::now();
            server->SignalServer(SIGSTOP);
        }
    };
    step.Run(properties);
    const auto noticed = std::chrono::steady_clock::now() - frozenAt;
    server->SignalServer(SIGCONT);

    ASSERT_TRUE(frozen);
    EXPECT_LT(noticed, 30s);
    EXPECT_FALSE(poster.Done().cancelled);
    EXPECT_TRUE(IsConnectionFailure(poster.Done().failure.status))
        << poster.Done().failure.Describe();
    for (const std::string& name : FilesOnDisk()) {
        EXPECT_TRUE(IsTemporaryCopyName(name) ||
                    ReadFile(OnDisk(name)) == sources.Contents("1.jpg"))
            << name << " holds something else than its picture";
    }
}

// A copy run in a child process that is killed in the middle of its second picture, as a logout
// (SIGTERM) or the user (SIGKILL) ends it.
TEST_P(SmbStockServerTest, AWizardKilledInMidCopyLeavesNoCutOffPictureUnderARealName) {
    sources.Add("1.jpg", 1 << 20);
    sources.Add("2.jpg", 4 << 20);
    for (const int signal : {SIGKILL, SIGTERM}) {
        int ready[2];
        ASSERT_EQ(::pipe(ready), 0);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ::close(ready[0]);
            poster.onPost = [&](const kvAsyncData& record) {
                auto* progress = dynamic_cast<const kvFileStatusAsyncData*>(&record);
                if (progress != nullptr && progress->totalBytes == (4u << 20) &&
                    progress->bytesDone >= (2u << 20)) {
                    const char byte = 1;
                    (void)!::write(ready[1], &byte, 1);
                    ::pause(); // half of the picture is on the server when the signal comes
                }
            };
            UseTransfer();
            step.Run(properties);
            ::_exit(0);
        }
        ::close(ready[1]);
        pollfd waiting{ready[0], POLLIN, 0};
        const bool reached = ::poll(&waiting, 1, 20000) == 1;
        ::close(ready[0]);
        ::kill(child, signal);
        int status = 0;
        ::waitpid(child, &status, 0);
        ASSERT_TRUE(reached) << "the child never reached its second picture";

        const std::vector<std::string> left = FilesOnDisk();
        EXPECT_EQ(left,
                  (std::vector<std::string>{TemporaryCopyName("Holiday 2.jpg"), "Holiday 1.jpg"}));
        EXPECT_TRUE(ReadFile(OnDisk("Holiday 1.jpg")) == sources.Contents("1.jpg"));

        // The next run clears the leftover and numbers on.
        RecordingPoster next;
        callback->SetTarget(&next, nullptr);
        UseTransfer();
        step.Run(properties);
        EXPECT_FALSE(next.Done().failure.Failed()) << next.Done().failure.Describe();
        EXPECT_EQ(FilesOnDisk(),
                  (std::vector<std::string>{"Holiday 1.jpg", "Holiday 2.jpg", "Holiday 3.jpg"}));
        EXPECT_TRUE(ReadFile(OnDisk("Holiday 3.jpg")) == sources.Contents("2.jpg"));
        callback->SetTarget(&poster, nullptr);
        fs::remove_all(OnDisk());
    }
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

TEST_P(SmbAuthenticationTest, TheFamilyLibraryOpensForGuestsUnlessTheServerRefusesThem) {
    const ShareCredentials user{SmbdFixture::kUser, SmbdFixture::kPassword, ""};
    prompt.script = {{true, user, false}};
    EXPECT_NE(Create(server->Address(), 0), nullptr)
        << (prompt.failures.empty() ? "" : prompt.failures.front());
    if (GetParam().guestSessions) {
        EXPECT_TRUE(prompt.askedShares.empty());
    } else {
        // Encryption required: no guest session, so the user is asked, with the reason.
        ASSERT_EQ(prompt.askedShares.size(), 1u);
        EXPECT_EQ(prompt.shownFailures[0], kNeedsCredentials);
        EXPECT_EQ(cache->Find(server->Address(), SmbdFixture::kGuestShare), user);
    }
    for (const auto& entry :
         fs::directory_iterator(server->ShareDirectory(SmbdFixture::kGuestShare))) {
        EXPECT_EQ(entry.path().filename().string().find("write-check"), std::string::npos)
            << "the write check leaves nothing behind";
    }
}

TEST_P(SmbAuthenticationTest, AGuestWritesIntoTheNewGroupFolderItMade) {
    properties.library = 0;
    properties.location = location + "/FamilyPhotos/Photo";
    const ShareCredentials user{SmbdFixture::kUser, SmbdFixture::kPassword, ""};
    prompt.script = {{true, user, false}};
    std::unique_ptr<CAbstractFileTransfer> transfer = Create(server->Address(), 0);
    ASSERT_NE(transfer, nullptr);
    if (GetParam().guestSessions) {
        EXPECT_TRUE(cache->Find(server->Address(), SmbdFixture::kGuestShare)->IsGuest());
        // The server took the session for its guest account, not for an anonymous one.
        EXPECT_NE(server->LogText().find("No such user snapferry-guest"), std::string::npos);
    }
    // The folders the run makes belong to the session that made them, with the server's
    // default modes: only a session that owns them can write the pictures in.
    ::mkdir((server->ShareDirectory(SmbdFixture::kGuestShare) + "/" + location).c_str(), 0777);
    ::chmod((server->ShareDirectory(SmbdFixture::kGuestShare) + "/" + location).c_str(), 0777);
    const std::string folder =
        server->ShareDirectory(SmbdFixture::kGuestShare) + "/" + location + "/FamilyPhotos";
    sources.Add("1.jpg");
    sources.Add("2.jpg");
    ::mkdir(folder.c_str(), 0777);
    ::chmod(folder.c_str(), 0777);
    transfer->SetCallback(callback);
    step.SetTransfer(std::move(transfer));
    step.Run(properties);
    if (!GetParam().newFoldersWritable) {
        // Refused, said so, and nothing is left but the empty folder.
        EXPECT_EQ(poster.Done().failure.status, ShareStatus::AccessDenied);
        EXPECT_TRUE(fs::is_empty(folder + "/Photo"));
        return;
    }
    EXPECT_FALSE(poster.Done().failure.Failed()) << poster.Done().failure.Describe();
    EXPECT_TRUE(ReadFile(folder + "/Photo/Holiday 1.jpg") == sources.Contents("1.jpg"));
    EXPECT_TRUE(ReadFile(folder + "/Photo/Holiday 2.jpg") == sources.Contents("2.jpg"));
}

TEST_P(SmbAuthenticationTest, TheWriteCheckGoesWhereThePicturesGo) {
    if (!GetParam().guestSessions) {
        GTEST_SKIP() << "guests only";
    }
    // Guests may list the library and write only in one folder of it.
    const std::string library = server->ShareDirectory(SmbdFixture::kGuestShare);
    fs::create_directories(library + "/Open");
    ::chmod((library + "/Open").c_str(), 0777);
    ::chmod(library.c_str(), 0755);
    CDialogAuthenticator authenticator(server->Address(), 0);
    authenticator.SetOwner(&prompt);
    authenticator.SetCredentialCache(cache);
    authenticator.SetDestination("Open/Trip/Day 1");
    EXPECT_TRUE(authenticator.Authenticate());
    EXPECT_TRUE(prompt.askedShares.empty());
    EXPECT_TRUE(fs::is_empty(library + "/Open"));
    ::chmod(library.c_str(), 0777);
    fs::remove_all(library + "/Open");
}

TEST_P(SmbAuthenticationTest, AFamilyLibraryGuestsMayOnlyReadAsksForCredentials) {
    const std::string library = server->ShareDirectory(SmbdFixture::kGuestShare);
    ::chmod(library.c_str(), 0755); // owned by root: guests list it, nobody writes it
    prompt.script = {{false, {}, false}};
    EXPECT_EQ(Create(server->Address(), 0), nullptr);
    ::chmod(library.c_str(), 0777);
    ASSERT_EQ(prompt.askedShares.size(), 1u);
    EXPECT_EQ(prompt.shownFailures[0], kNeedsCredentials);
    EXPECT_TRUE(prompt.failures.empty());
}

TEST_P(SmbAuthenticationTest, WrongThenRightCredentialsOpenThePersonalLibrary) {
    prompt.script = {{true, {SmbdFixture::kUser, "wrong", ""}, false},
                     {true, {SmbdFixture::kUser, SmbdFixture::kPassword, ""}, true}};
    std::unique_ptr<CAbstractFileTransfer> transfer = Create(server->Address(), 1);
    ASSERT_NE(transfer, nullptr);
    ASSERT_EQ(prompt.askedShares.size(), 2u);
    EXPECT_EQ(prompt.askedShares[0], "\\\\" + server->Address() + "\\MyLibrary");
    EXPECT_EQ(prompt.shownFailures[0], kNeedsCredentials);
    EXPECT_EQ(prompt.shownFailures[1], "The user name or password was not accepted.");
    EXPECT_EQ(store->saved[server->Address()].user, SmbdFixture::kUser);

    // The transfer copies with the credentials that worked.
    const std::string source = sources.Add("1.jpg");
    transfer->SetCallback(callback);
    ASSERT_TRUE(transfer->Transfer(source, "MyLibrary/" + location + ".jpg").ok());
    EXPECT_EQ(ReadFile(server->ShareDirectory(SmbdFixture::kUserShare) + "/" + location + ".jpg"),
              sources.Contents("1.jpg"));
}

TEST_P(SmbAuthenticationTest, CancelGivesNoTransfer) {
    prompt.script = {{false, {}, false}};
    EXPECT_EQ(Create(server->Address(), 1), nullptr);
    EXPECT_EQ(prompt.askedShares.size(), 1u);
    EXPECT_TRUE(prompt.failures.empty());
}

TEST_P(SmbAuthenticationTest, TheServerIsNotTakenForAnSmb1Server) {
    SmbEndpoint endpoint;
    ASSERT_TRUE(ParseServerAddress(server->Address(), endpoint));
    EXPECT_EQ(ProbeSmbDialects(endpoint, 2s), SmbDialectOffer::Smb2OrLater);
}

std::string SettingsName(const ::testing::TestParamInfo<ServerSettings>& info) {
    return info.param.name;
}

INSTANTIATE_TEST_SUITE_P(Servers, SmbStockServerTest, ::testing::Values(kServerSettings[0]),
                         SettingsName);
INSTANTIATE_TEST_SUITE_P(Servers, SmbTransferTest, ::testing::ValuesIn(kServerSettings),
                         SettingsName);
INSTANTIATE_TEST_SUITE_P(Servers, SmbAuthenticationTest, ::testing::ValuesIn(kServerSettings),
                         SettingsName);

// A copy run of `sources` into "Trip" on the guest library of the server at `address`, with
// delete after copy, on the calling thread.
struct StandaloneRun {
    void Run(const std::string& address, SourceFolder& sources, const ShareCredentials& who) {
        callback->SetTarget(&poster, nullptr);
        properties.groupName = "Holiday";
        properties.location = "Trip";
        properties.pictures = &sources.Pictures();
        properties.deleteAfterCopy = true;
        auto transfer = std::make_unique<CSambaFileTransfer>(
            CreateSmbSession(address, std::make_shared<CFixedCredentialSource>(who)));
        transfer->SetCallback(callback);
        step.SetTransfer(std::move(transfer));
        step.Run(properties);
    }

    RecordingPoster poster;
    std::shared_ptr<CFileTransferCallback> callback = std::make_shared<CFileTransferCallback>();
    CTransferProperties properties;
    CFileTransferStep step;
};

// A server that keeps no letter case stores every name in lower case: the copies are found as
// the share finds them, and the originals go after a copy with delete.
TEST(SmbNamesWithoutCase, TheReadBackFindsTheCopiesAndTheOriginalsGo) {
    SmbdFixture server({"case sensitive = no", "preserve case = no", "default case = lower"});
    std::string why;
    if (!server.Start(why)) {
        GTEST_SKIP() << "no smbd: " << why;
    }
    SourceFolder sources;
    sources.Add("1.JPG");
    sources.Add("2.jpg");
    const std::string first = sources.Contents("1.JPG");
    const std::string second = sources.Contents("2.jpg");
    StandaloneRun run;
    run.Run(server.Address(), sources, ShareCredentials::NamedGuest());

    EXPECT_FALSE(run.poster.Done().failure.Failed()) << run.poster.Done().failure.Describe();
    const std::string folder = server.ShareDirectory(SmbdFixture::kGuestShare) + "/trip";
    EXPECT_TRUE(ReadFile(folder + "/holiday 1.jpg") == first);
    EXPECT_TRUE(ReadFile(folder + "/holiday 2.jpg") == second);
    EXPECT_FALSE(sources.Exists("1.JPG") || sources.Exists("2.jpg"));
}

TEST(SmbAuthentication, AServerThatIsGoneIsReportedWithoutAPrompt) {
    const std::string address = "127.0.0.1:1"; // nothing listens there
    ScriptedPrompt prompt;
    prompt.script = {{true, {SmbdFixture::kUser, SmbdFixture::kPassword, ""}, false}};
    CFileTransferFactory factory(address, LocalDevice, 0);
    factory.SetOwner(&prompt);
    factory.SetCredentialCache(std::make_shared<CCredentialCache>());
    EXPECT_EQ(factory.Create(), nullptr);
    EXPECT_TRUE(prompt.askedShares.empty());
    ASSERT_EQ(prompt.failures.size(), 1u);
    EXPECT_NE(prompt.failures[0].find("\\\\" + address + "\\FamilyLibrary"), std::string::npos);
    EXPECT_NE(prompt.failures[0].find("refused"), std::string::npos) << prompt.failures[0];

    SmbEndpoint endpoint;
    ASSERT_TRUE(ParseServerAddress(address, endpoint));
    EXPECT_EQ(ProbeSmbDialects(endpoint, 2s), SmbDialectOffer::Unknown);
}

// A server that only offers SMB1: nothing is copied, and the user is told what to change.
class SmbOldProtocolTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        server = new SmbdFixture(kSmb1Only);
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
    }

    static bool NamesTheOldProtocol(const std::string& text) {
        return text.find("only offers the old SMB1 protocol") != std::string::npos &&
               text.find("SMB2 or later") != std::string::npos;
    }

    static SmbdFixture* server;
    static std::string whyNot;
};

SmbdFixture* SmbOldProtocolTest::server = nullptr;
std::string SmbOldProtocolTest::whyNot;

TEST_F(SmbOldProtocolTest, SessionsFailWithTheOldProtocolForGuestsAndUsers) {
    for (const ShareCredentials& credentials :
         {ShareCredentials{}, ShareCredentials{SmbdFixture::kUser, SmbdFixture::kPassword, ""}}) {
        auto session = CreateSmbSession(server->Address(),
                                        std::make_shared<CFixedCredentialSource>(credentials));
        std::vector<ShareEntry> entries;
        const ShareResult listed = session->List(SmbdFixture::kGuestShare, entries);
        EXPECT_EQ(listed.status, ShareStatus::OldProtocolOnly) << listed.Message();
        EXPECT_TRUE(NamesTheOldProtocol(listed.Message())) << listed.Message();
        std::unique_ptr<CAbstractShareFile> file;
        EXPECT_EQ(session->CreateNew(std::string(SmbdFixture::kGuestShare) + "/a.jpg", file).status,
                  ShareStatus::OldProtocolOnly);
    }
    SmbEndpoint endpoint;
    ASSERT_TRUE(ParseServerAddress(server->Address(), endpoint));
    EXPECT_EQ(ProbeSmbDialects(endpoint, 2s), SmbDialectOffer::Smb1Only);
    EXPECT_TRUE(fs::is_empty(server->ShareDirectory(SmbdFixture::kGuestShare)));
}

TEST_F(SmbOldProtocolTest, AuthenticationShowsTheReasonAndAsksNothing) {
    ScriptedPrompt prompt;
    prompt.script = {{true, {SmbdFixture::kUser, SmbdFixture::kPassword, ""}, false}};
    CFileTransferFactory factory(server->Address(), LocalDevice, 1);
    factory.SetOwner(&prompt);
    factory.SetCredentialCache(std::make_shared<CCredentialCache>());
    EXPECT_EQ(factory.Create(), nullptr);
    EXPECT_TRUE(prompt.askedShares.empty()) << "credentials cannot mend this";
    ASSERT_EQ(prompt.failures.size(), 1u);
    EXPECT_TRUE(NamesTheOldProtocol(prompt.failures[0])) << prompt.failures[0];
}

TEST_F(SmbOldProtocolTest, ACopyRunFailsWithTheReasonAndKeepsTheSources) {
    SourceFolder sources;
    sources.Add("1.jpg");
    StandaloneRun run;
    run.Run(server->Address(), sources, ShareCredentials{});
    const TransferFailure& failure = run.poster.Done().failure;
    EXPECT_EQ(failure.status, ShareStatus::OldProtocolOnly) << failure.Describe();
    EXPECT_TRUE(NamesTheOldProtocol(failure.Describe()));
    EXPECT_TRUE(sources.Exists("1.jpg"));
}

} // namespace
