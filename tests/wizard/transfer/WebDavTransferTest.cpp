// The copy engine through a WebDAV session against a real mod_dav (velmora-sim --httpd on
// loopback, TLS from its test authority): numbering without overwriting, rollback, the read-back
// before originals go, a refused password, and a server that goes away in mid-run.
#include "TestProcess.h"
#include "TransferTestSupport.h"
#include "common/relay/CurlHttpClient.h"
#include "common/relay/CurlTrust.h"
#include "wizard/transfer/FileTransferStep.h"
#include "wizard/transfer/WebDavSession.h"
#include "wizard/transfer/WebFolderAccess.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

// "<text><number><suffix>", built by appending (GCC 12's -O3 misreads a literal joined to a
// temporary string as an overlapping copy).
std::string Numbered(std::string text, long number, const char* suffix) {
    text += std::to_string(number);
    text += suffix;
    return text;
}

constexpr const char* kUser = "velmoratest";
constexpr const char* kPassword = "Pictures-4-all";

class WebDavTransferTest : public ::testing::Test {
protected:
    void SetUp() override {
        ClearProxyEnvironment();
        ASSERT_TRUE(server.DavPort() > 0) << "velmora-sim --httpd did not start";
        setenv(kCertificateBundleVariable, server.CertificateAuthority().c_str(), 1);
        link = Numbered("https://home.localhost:", server.DavPort(), "/webdav/") + kUser + "/";
        ASSERT_TRUE(ParseWebFolderLink(link, address));
        callback->SetTarget(&poster, nullptr);
        properties.groupName = "Holiday";
        properties.location = "Pictures\\Trip";
        properties.webFolderLink = link;
        properties.pictures = &sources.Pictures();
        step.SetCleanupPatience(5s);
    }

    std::unique_ptr<CAbstractShareSession> Session(const std::string& password = kPassword) {
        return CreateWebDavSession(address, std::make_shared<CFixedCredentialSource>(
                                                ShareCredentials{kUser, password, {}, false}));
    }

    void UseTransfer() {
        auto transfer = std::make_unique<CWebDAVFileTransfer>([this] { return Session(); });
        transfer->SetCallback(callback);
        step.SetTransfer(std::move(transfer));
    }

    fs::path OnDisk(const std::string& name) const {
        return fs::path(server.WebFolders()) / kUser / "Pictures" / "Trip" / name;
    }
    std::vector<std::string> NamesOnDisk() const {
        std::vector<std::string> names;
        std::error_code error;
        for (const auto& entry : fs::directory_iterator(OnDisk("").parent_path(), error)) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    SimulatedServer server{{"--no-announce", "--relay-port", "0", "--httpd"}};
    std::string link;
    WebFolderAddress address;
    SourceFolder sources;
    RecordingPoster poster;
    std::shared_ptr<CFileTransferCallback> callback = std::make_shared<CFileTransferCallback>();
    CTransferProperties properties;
    CFileTransferStep step;
};

TEST_F(WebDavTransferTest, ContinuesTheNumberingAndNeverReplacesAFile) {
    auto session = Session();
    ASSERT_TRUE(session->MakeFolder("velmoratest/Pictures/Trip").ok());
    EXPECT_EQ(session->MakeFolder("velmoratest/Pictures/Trip").status, ShareStatus::AlreadyExists);
    std::unique_ptr<CAbstractShareFile> file;
    ASSERT_TRUE(session->CreateNew("velmoratest/Pictures/Trip/Holiday 2.JPG", file).ok());
    ASSERT_TRUE(file->Write("theirs", 6).ok());
    ASSERT_TRUE(file->Close().ok());
    EXPECT_EQ(session->CreateNew("velmoratest/Pictures/Trip/Holiday 2.JPG", file).status,
              ShareStatus::AlreadyExists);
    ASSERT_TRUE(session->CreateNew("velmoratest/Pictures/Trip/other #1.jpg", file).ok());
    ASSERT_TRUE(file->Write("x", 1).ok());
    ASSERT_TRUE(file->Close().ok());
    EXPECT_EQ(session
                  ->RenameNew("velmoratest/Pictures/Trip/other #1.jpg",
                              "velmoratest/Pictures/Trip/Holiday 2.JPG")
                  .status,
              ShareStatus::AlreadyExists);

    // Three at once: the big first picture arrives last but keeps the first number.
    sources.Add("a.jpg", 3 << 20);
    sources.Add("b.png", 1000);
    sources.Add("c.jpg", 2000);
    sources.Add("d.jpg", 3000);
    UseTransfer();
    step.Run(properties);

    EXPECT_FALSE(poster.Done().failure.Failed());
    EXPECT_EQ(NamesOnDisk(),
              (std::vector<std::string>{"Holiday 2.JPG", "Holiday 3.jpg", "Holiday 4.png",
                                        "Holiday 5.jpg", "Holiday 6.jpg", "other #1.jpg"}));
    EXPECT_EQ(fs::file_size(OnDisk("Holiday 6.jpg")), 3000u);
    std::ifstream theirs(OnDisk("Holiday 2.JPG"));
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(theirs), {}), "theirs");
    EXPECT_EQ(fs::file_size(OnDisk("Holiday 3.jpg")), 3u << 20);
    // The bar moved for every MiB of the big picture.
    EXPECT_GE(poster.All<kvFileStatusAsyncData>().size(), 4u);
}

TEST_F(WebDavTransferTest, ACancelledRunTakesItsCopiesBackAndLeavesOthersAlone) {
    ASSERT_TRUE(Session()->MakeFolder("velmoratest/Pictures/Trip").ok());
    for (int i = 0; i < 4; ++i) {
        sources.Add(Numbered("p", i, ".jpg"), 200'000);
    }
    UseTransfer();
    poster.onPost = [this](const kvAsyncData& record) {
        if (auto* group = dynamic_cast<const kvGroupStatusAsyncData*>(&record);
            group != nullptr && group->pictureNumber == 3) {
            callback->Cancel();
        }
    };
    step.Run(properties);

    EXPECT_TRUE(poster.Done().cancelled);
    EXPECT_TRUE(NamesOnDisk().empty());
}

TEST_F(WebDavTransferTest, OriginalsGoOnlyAfterTheCopiesReadBackWhole) {
    sources.Add("a.jpg", 1 << 20);
    sources.Add("b.jpg", 5000);
    properties.deleteAfterCopy = true;
    UseTransfer();
    step.Run(properties);

    EXPECT_FALSE(poster.Done().failure.Failed());
    EXPECT_EQ(NamesOnDisk(), (std::vector<std::string>{"Holiday 1.jpg", "Holiday 2.jpg"}));
    EXPECT_FALSE(sources.Exists("a.jpg"));
    EXPECT_FALSE(sources.Exists("b.jpg"));
}

TEST_F(WebDavTransferTest, ARefusedPasswordIsAccessDenied) {
    std::vector<ShareEntry> entries;
    EXPECT_EQ(Session("wrong")->List("velmoratest", entries).status, ShareStatus::AccessDenied);
    ASSERT_TRUE(Session()->List("velmoratest", entries).ok());
    EXPECT_TRUE(std::any_of(entries.begin(), entries.end(), [](const ShareEntry& entry) {
        return entry.name == "Pictures" && entry.isFolder;
    }));
}

TEST_F(WebDavTransferTest, TheRelayNamesTheFolderAndARefusedPasswordIsAskedAgainSayingWhy) {
    CCurlHttpClient http;
    MemoryCredentialStore store;
    ScriptedPrompt prompt;
    prompt.script = {{true, {kUser, "wrong", {}, false}, true},
                     {true, {kUser, kPassword, {}, false}, true}};
    CWebFolderAccess access(Numbered("localhost:", server.RelayPort(), ""), "Home", kUser);
    access.SetHttpClient(&http);
    access.SetOwner(&prompt);
    access.SetCredentialStore(&store);
    access.SetCredentialCache(std::make_shared<CCredentialCache>());

    ASSERT_TRUE(access.Authenticate());
    EXPECT_EQ(access.Link(), link);
    ASSERT_EQ(prompt.shownFailures.size(), 2u);
    EXPECT_TRUE(prompt.shownFailures[0].empty());
    EXPECT_NE(prompt.shownFailures[1].find(kUser), std::string::npos) << prompt.shownFailures[1];
    ASSERT_EQ(store.saved.count(address.host), 1u);
    EXPECT_EQ(store.saved[address.host].password, kPassword);
    EXPECT_TRUE(prompt.failures.empty());

    // The relay's own refusal is shown and nothing is asked.
    ScriptedPrompt refused;
    CWebFolderAccess unknown(Numbered("localhost:", server.RelayPort(), ""), "home", "error3");
    unknown.SetHttpClient(&http);
    unknown.SetOwner(&refused);
    EXPECT_FALSE(unknown.Authenticate());
    EXPECT_TRUE(refused.askedShares.empty());
    ASSERT_EQ(refused.failures.size(), 1u);
    EXPECT_NE(refused.failures[0].find("3"), std::string::npos) << refused.failures[0];
}

TEST_F(WebDavTransferTest, ACertificateFromAnUnknownAuthorityIsRefusedAndTheUserToldWhy) {
    unsetenv(kCertificateBundleVariable);
    std::vector<ShareEntry> entries;
    EXPECT_EQ(Session()->List("velmoratest", entries).status, ShareStatus::UntrustedCertificate);

    // Through the relay, with a password the keyring holds: nothing is asked, the user hears why.
    CCurlHttpClient http;
    MemoryCredentialStore store;
    store.saved[address.host] = {kUser, kPassword, {}, false};
    ScriptedPrompt prompt;
    CWebFolderAccess access(Numbered("localhost:", server.RelayPort(), ""), "home", kUser);
    access.SetHttpClient(&http);
    access.SetOwner(&prompt);
    access.SetCredentialStore(&store);
    access.SetCredentialCache(std::make_shared<CCredentialCache>());
    EXPECT_FALSE(access.Authenticate());
    EXPECT_TRUE(prompt.askedShares.empty());
    ASSERT_EQ(prompt.failures.size(), 1u);
    EXPECT_NE(prompt.failures[0].find(address.host), std::string::npos) << prompt.failures[0];
}

TEST_F(WebDavTransferTest, AServerThatGoesAwayFailsTheRunWhichRemovesItsCopiesOnceItIsBack) {
    for (int i = 0; i < 3; ++i) {
        sources.Add(Numbered("p", i, ".jpg"), 8 << 20);
    }
    UseTransfer();
    std::atomic<bool> cut{false};
    std::thread restart;
    poster.onPost = [&](const kvAsyncData& record) {
        auto* group = dynamic_cast<const kvGroupStatusAsyncData*>(&record);
        if (group != nullptr && group->pictureNumber == 2 && !cut.exchange(true)) {
            server.Signal(SIGUSR1);
            // Back while the rollback still tries, as a server that restarts.
            restart = std::thread([this] {
                WaitForPort(server.DavPort(), false, 10s);
                std::this_thread::sleep_for(1s);
                server.Signal(SIGUSR2);
            });
        }
    };
    step.Run(properties);
    if (restart.joinable()) {
        restart.join();
    }

    const kvDoneCopyAsyncData& done = poster.Done();
    EXPECT_FALSE(done.cancelled);
    EXPECT_TRUE(IsConnectionFailure(done.failure.status))
        << DescribeShareStatus(done.failure.status);
    EXPECT_EQ(done.failure.leftBehind, 0);
    ASSERT_TRUE(WaitForPort(server.DavPort(), true, 10s));
    for (const std::string& name : NamesOnDisk()) {
        EXPECT_EQ(name.rfind("Holiday", 0), std::string::npos) << name;
    }
}

} // namespace
