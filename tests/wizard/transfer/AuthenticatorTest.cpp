// The authenticator with a scripted prompt and sessions whose answers depend on the credentials.
#include "wizard/transfer/Authenticator.h"
#include "TransferTestSupport.h"

#include <gtest/gtest.h>

namespace {

const ShareCredentials kRight{"anna", "right", ""};

// A server whose library share opens for `accepted` (and for guests when guestOk), and which
// otherwise answers `otherwise`.
class AuthenticatorTest : public ::testing::Test {
protected:
    void SetUp() override {
        authenticator.SetOwner(&prompt);
        authenticator.SetCredentialStore(&store);
        authenticator.SetCredentialCache(cache);
        authenticator.SetSessionMaker(
            [this](const std::string& server, std::shared_ptr<CAbstractCredentialSource> source)
                -> std::unique_ptr<CAbstractShareSession> {
                EXPECT_EQ(server, "10.0.0.5");
                const ShareCredentials credentials = source->Lookup(server, "FamilyLibrary");
                tried.push_back(credentials);
                auto session = std::make_unique<FakeShare>();
                if (unreachable) {
                    session->state->listFailure = ShareStatus::ConnectionRefused;
                } else if (!(credentials == kRight) && !(guestOk && credentials.IsAnonymous())) {
                    session->state->listFailure = ShareStatus::AccessDenied;
                }
                return session;
            });
    }

    ScriptedPrompt prompt;
    MemoryCredentialStore store;
    std::shared_ptr<CCredentialCache> cache = std::make_shared<CCredentialCache>();
    CDialogAuthenticator authenticator{"10.0.0.5", 0};
    std::vector<ShareCredentials> tried;
    bool guestOk = false;
    bool unreachable = false;
};

TEST_F(AuthenticatorTest, AShareOpenToGuestsNeedsNoPrompt) {
    guestOk = true;
    EXPECT_TRUE(authenticator.Authenticate());
    EXPECT_TRUE(prompt.askedShares.empty());
    EXPECT_EQ(authenticator.ShareDisplayName(), "\\\\10.0.0.5\\FamilyLibrary");
}

TEST_F(AuthenticatorTest, CachedAndRememberedCredentialsAreTriedBeforeAsking) {
    store.saved["10.0.0.5"] = kRight;
    EXPECT_TRUE(authenticator.Authenticate());
    EXPECT_TRUE(prompt.askedShares.empty());
    ASSERT_EQ(tried.size(), 1u);
    EXPECT_EQ(cache->Find("10.0.0.5", "FamilyLibrary"), kRight);

    // Next time the cache answers, and the other library gets the same account.
    store.saved.clear();
    tried.clear();
    EXPECT_TRUE(authenticator.Authenticate());
    EXPECT_EQ(tried.front(), kRight);
    EXPECT_EQ(cache->Lookup("10.0.0.5", "MyLibrary"), kRight);
}

TEST_F(AuthenticatorTest, WrongThenRightCredentialsAskAgainAndRememberWhenAsked) {
    prompt.script = {{true, {"anna", "wrong", "HOME"}, true}, {true, kRight, true}};
    EXPECT_TRUE(authenticator.Authenticate());
    ASSERT_EQ(prompt.askedShares.size(), 2u);
    EXPECT_EQ(prompt.shownFailures[0], "");
    EXPECT_EQ(prompt.shownFailures[1], "The user name or password was not accepted.");
    EXPECT_EQ(cache->Find("10.0.0.5", "FamilyLibrary"), kRight);
    EXPECT_EQ(store.saved["10.0.0.5"], kRight);
    EXPECT_TRUE(prompt.failures.empty());
}

TEST_F(AuthenticatorTest, CredentialsAreRememberedOnlyWhenTheUserAsks) {
    prompt.script = {{true, kRight, false}};
    EXPECT_TRUE(authenticator.Authenticate());
    EXPECT_TRUE(store.saved.empty());
}

TEST_F(AuthenticatorTest, CancelEndsWithoutAConnection) {
    prompt.script = {{false, {}, false}};
    EXPECT_FALSE(authenticator.Authenticate());
    EXPECT_EQ(prompt.askedShares.size(), 1u);
    EXPECT_FALSE(cache->Find("10.0.0.5", "FamilyLibrary").has_value());
    EXPECT_TRUE(prompt.failures.empty()) << "a cancel shows no message";
}

TEST_F(AuthenticatorTest, AServerThatIsGoneEndsAtOnceWithTheShareAndTheReason) {
    unreachable = true;
    prompt.script = {{true, kRight, false}};
    EXPECT_FALSE(authenticator.Authenticate());
    EXPECT_TRUE(prompt.askedShares.empty());
    ASSERT_EQ(prompt.failures.size(), 1u);
    EXPECT_NE(prompt.failures[0].find("\\\\10.0.0.5\\FamilyLibrary"), std::string::npos);
    EXPECT_NE(prompt.failures[0].find("refused the connection"), std::string::npos);
}

TEST_F(AuthenticatorTest, RememberedCredentialsThatNoLongerWorkAreNamedInThePrompt) {
    store.saved["10.0.0.5"] = {"anna", "old", ""};
    prompt.script = {{true, kRight, false}};
    EXPECT_TRUE(authenticator.Authenticate());
    ASSERT_EQ(prompt.shownFailures.size(), 1u);
    EXPECT_EQ(prompt.shownFailures[0], "The user name or password was not accepted.");
}

} // namespace
