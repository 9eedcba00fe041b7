// The link lookup over real HTTP against the simulated relay on loopback.
#include "TestProcess.h"

#include "common/relay/CurlHttpClient.h"
#include "common/relay/RemoteLinkLookup.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <thread>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;

class LookupTest : public ::testing::Test {
protected:
    void SetUp() override {
        ClearProxyEnvironment();
        ASSERT_TRUE(sim.Ready());
        domain = "localhost:" + std::to_string(sim.RelayPort());
    }

    RemoteLinkResult Lookup(const std::string& user, std::string& link,
                            HttpLimits limits = HttpLimits{}) {
        CCurlHttpClient http(limits);
        return LookupRemoteLink(http, domain, "smith", user, link);
    }

    TemporaryFolder folder;
    SimulatedServer sim{{"--no-announce", "--relay-port", "0", "--slow-seconds", "20", "--log",
                         (folder.Path() / "requests.log").string()}};
    std::string domain;
};

// A loopback port nobody listens on.
int ClosedPort() {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t length = sizeof address;
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    close(fd);
    return ntohs(address.sin_port);
}

} // namespace

TEST_F(LookupTest, TheRelaysLinkIsFoundWithAnHttp10Request) {
    std::string link;
    EXPECT_EQ(Lookup("alice", link), kLinkFound);
    EXPECT_EQ(link, "http://smith.localhost:" + std::to_string(sim.RelayPort()) + "/webdav/alice/");
    EXPECT_NE(ReadTextFile(folder.Path() / "requests.log")
                  .find("request GET /getmydisk?d=smith&u=alice HTTP/1.0"),
              std::string::npos);
}

TEST_F(LookupTest, NamesReachTheRelayAsOneQueryValueEach) {
    std::string link;
    EXPECT_EQ(Lookup("a b&u=error1", link), kLinkFound);
    EXPECT_NE(ReadTextFile(folder.Path() / "requests.log")
                  .find("/getmydisk?d=smith&u=a%20b%26u%3Derror1 HTTP/1.0"),
              std::string::npos);
}

TEST_F(LookupTest, EveryRelayAnswerGivesItsResult) {
    const std::pair<const char*, RemoteLinkResult> cases[] = {
        {"error1", 1},
        {"error2", 2},
        {"error3", 3},
        {"error4", 4},
        {"error7", 7},
        {"notfound", kRelayNotFound},
        {"notfound200", kRelayNotFound},
        {"httpstatus500", kRelayNoReply},
        {"malformed", kRelayUnusable},
        {"noerror", kRelayUnusable},
        {"huge", kRelayUnusable},
        {"big", kLinkFound},
    };
    for (const auto& [user, expected] : cases) {
        std::string link = "untouched";
        EXPECT_EQ(Lookup(user, link), expected) << user;
        if (expected != kLinkFound) {
            EXPECT_EQ(link, "untouched") << user;
        }
    }
}

TEST_F(LookupTest, NobodyListeningIsNoReply) {
    std::string link;
    CCurlHttpClient http;
    EXPECT_EQ(
        LookupRemoteLink(http, "localhost:" + std::to_string(ClosedPort()), "smith", "alice", link),
        kRelayNoReply);
}

TEST_F(LookupTest, ASilentRelayEndsAtTheTimeLimit) {
    std::string link;
    HttpLimits limits;
    limits.totalTimeout = 1s;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Lookup("slow", link, limits), kRelayNoReply);
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_GE(took, 900ms);
    EXPECT_LT(took, 5s);
}

TEST_F(LookupTest, ARelayThatNeverAcceptsEndsAtTheConnectLimit) {
    // A listener with a full queue leaves further connections unanswered.
    const int listener = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(listen(listener, 0), 0);
    socklen_t length = sizeof address;
    getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
    std::vector<int> fillers;
    for (int i = 0; i < 4; ++i) {
        const int filler = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
        connect(filler, reinterpret_cast<sockaddr*>(&address), sizeof address);
        fillers.push_back(filler);
    }
    std::this_thread::sleep_for(100ms);

    HttpLimits limits;
    limits.connectTimeout = 1s;
    CCurlHttpClient http(limits);
    std::string link;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(LookupRemoteLink(http, "localhost:" + std::to_string(ntohs(address.sin_port)),
                               "smith", "alice", link),
              kRelayNoReply);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
    for (int filler : fillers) {
        close(filler);
    }
    close(listener);
}
