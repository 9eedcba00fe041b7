// The authenticator with a scripted prompt and sessions whose answers depend on the credentials.
#include "wizard/transfer/Authenticator.h"
#include "TransferTestSupport.h"

#include <gtest/gtest.h>

namespace {

const ShareCredentials kRight{"anna", "right", ""};
const ShareCredentials kReader{"rita", "reads", ""}; // may list the library, not write it

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
                states.push_back(session->state);
                const bool guest = credentials.IsAnonymous();
                if (unreachable) {
                    session->state->listFailure = ShareStatus::ConnectionRefused;
                } else if (!(credentials == kRight) && !(credentials == kReader) &&
                           !(guestOk && guest)) {
                    session->state->listFailure = ShareStatus::AccessDenied;
                } else if (credentials == kReader || (guest && guestReadOnly)) {
                    session->state->failCreateNumber = 1;
                    session->state->createFailure = ShareStatus::AccessDenied;
                }
                return session;
            });
    }

    ScriptedPrompt prompt;
    MemoryCredentialStore store;
    std::shared_ptr<CCredentialCache> cache = std::make_shared<CCredentialCache>();
    CDialogAuthenticator authenticator{"10.0.0.5", 0};
    std::vector<ShareCredentials> tried;
    std::vector<std::shared_ptr<FakeShare::State>> states;
    bool guestOk = false;
    bool guestReadOnly = false;
    bool unreachable = false;

    // Files the write checks left on any of the sessions' shares.
    size_t FilesLeft() const {
        size_t left = 0;
        for (const auto& state : states) {
            std::lock_guard lock(state->mutex);
            left += state->files.size();
        }
        return left;
    }
};

TEST_F(AuthenticatorTest, AShareOpenToGuestsNeedsNoPrompt) {
    guestOk = true;
    EXPECT_TRUE(authenticator.Authenticate());
    EXPECT_TRUE(prompt.askedShares.empty());
    EXPECT_EQ(authenticator.ShareDisplayName(), "\\\\10.0.0.5\\FamilyLibrary");
    EXPECT_EQ(FilesLeft(), 0u) << "the write check removes its file";
}

TEST_F(AuthenticatorTest, AShareGuestsMayOnlyReadAsksForCredentialsWithAReason) {
    guestOk = true;
    guestReadOnly = true;
    prompt.script = {{true, kRight, false}};
    EXPECT_TRUE(authenticator.Authenticate());
    ASSERT_EQ(prompt.shownFailures.size(), 1u);
    EXPECT_EQ(prompt.shownFailures[0], "This library needs your name and password.");
    EXPECT_EQ(cache->Find("10.0.0.5", "FamilyLibrary"), kRight) << "not the guest";
    EXPECT_EQ(FilesLeft(), 0u);
}

TEST_F(AuthenticatorTest, AnAccountThatMayOnlyReadIsNotAcceptedAndTheUserHearsWhy) {
    // Remembered, then typed: both open the library but may not add files to it.
    store.saved["10.0.0.5"] = kReader;
    prompt.script = {{true, kReader, false}, {true, kRight, true}};
    EXPECT_TRUE(authenticator.Authenticate());
    ASSERT_EQ(prompt.shownFailures.size(), 2u);
    EXPECT_EQ(prompt.shownFailures[0], "This account may not add files to the library.");
    EXPECT_EQ(prompt.shownFailures[1], "This account may not add files to the library.");
    EXPECT_EQ(store.saved["10.0.0.5"], kRight);
    EXPECT_EQ(cache->Find("10.0.0.5", "FamilyLibrary"), kRight);
}

TEST_F(AuthenticatorTest, AGuestAnswerToThePromptOfAClosedShareKeepsAsking) {
    prompt.script = {{true, {}, false}, {false, {}, false}};
    EXPECT_FALSE(authenticator.Authenticate());
    ASSERT_EQ(prompt.shownFailures.size(), 2u);
    EXPECT_EQ(prompt.shownFailures[1], "This library needs your name and password.");
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
    EXPECT_EQ(prompt.shownFailures[0], "This library needs your name and password.")
        << "a prompt never opens without a reason";
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
