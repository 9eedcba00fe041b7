#include "LauncherFakes.h"

#include "common/relay/WebDavLink.h"
#include "launcher/LauncherTexts.h"

#include <gtest/gtest.h>

namespace {

const char* const kLinkReply = R"(<mydisk><error number="0" text="OK"/>)"
                               R"(<link href="https://smith.relay.example/dav/alice/"/></mydisk>)";

class NethoodTest : public ::testing::Test {
protected:
    NethoodTest() { http.reply = FakeHttpClient::Body(kLinkReply); }

    int Run(LauncherCommand command) {
        return RunLauncher(command, "/opt/velmora/doorlet", chooser, ui, nethood);
    }

    FakeLauncherUi ui;
    FakeLauncherStore store;
    FakeOpener opener;
    FakeHttpClient http;
    FakeChooser chooser;
    CNethood nethood{ui, store, opener, http};
};

void ExpectMessage(const std::vector<LauncherMessage>& messages, unsigned textId, int number,
                   MessageIcon icon) {
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].textId, textId);
    EXPECT_EQ(messages[0].number, number);
    EXPECT_EQ(messages[0].icon, icon);
}

} // namespace

TEST_F(NethoodTest, WithoutACommandOnlyTheUsageIsShown) {
    EXPECT_EQ(Run(LauncherCommand::None), kExitUsage);
    EXPECT_EQ(ui.usages, std::vector<std::string>{"/opt/velmora/doorlet"});
    EXPECT_EQ(chooser.calls, 0);
    EXPECT_TRUE(opener.opened.empty());
}

TEST_F(NethoodTest, AnUnknownCommandChoosesTheServerAndOpensNothing) {
    chooser.choice = ServerChoice::LocalDevice;
    chooser.localAddress = "192.168.0.10";
    EXPECT_EQ(Run(LauncherCommand::Unknown), kExitUsage);
    EXPECT_EQ(chooser.calls, 1);
    EXPECT_TRUE(opener.opened.empty());
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_TRUE(ui.usages.empty());
}

TEST_F(NethoodTest, WebOpensTheAddressOfEachChoice) {
    store.serverName = "Smith";
    chooser.choice = ServerChoice::LocalDevice;
    chooser.localAddress = "192.168.0.10";
    EXPECT_EQ(Run(LauncherCommand::Web), kExitDone);
    chooser.choice = ServerChoice::RemoteHome;
    EXPECT_EQ(Run(LauncherCommand::Web), kExitDone);
    chooser.choice = ServerChoice::RelaySite;
    EXPECT_EQ(Run(LauncherCommand::Web), kExitDone);
    store.serverName.clear();
    chooser.choice = ServerChoice::RemoteHome;
    EXPECT_EQ(Run(LauncherCommand::Web), kExitDone);
    EXPECT_EQ(opener.opened, (std::vector<std::string>{
                                 "http://192.168.0.10/?local=1",
                                 "http://www.relay.example/?velname=Smith",
                                 "http://www.relay.example/",
                                 "http://www.relay.example/",
                             }));
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_TRUE(http.requested.empty());
}

TEST_F(NethoodTest, CancellingTheChoiceEndsQuietlyForBothCommands) {
    chooser.choice = ServerChoice::Cancelled;
    EXPECT_EQ(Run(LauncherCommand::Web), kExitCancelled);
    EXPECT_EQ(Run(LauncherCommand::Folder), kExitCancelled);
    chooser.choice = ServerChoice::Invalid;
    EXPECT_EQ(Run(LauncherCommand::Web), kExitFailed);
    EXPECT_EQ(Run(LauncherCommand::Folder), kExitFailed);
    EXPECT_TRUE(opener.opened.empty());
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_TRUE(ui.asked.empty());
}

TEST_F(NethoodTest, ABrowserThatCannotOpenIsReportedWithTheOpenersStatus) {
    opener.failingSchemes["http"] = 3;
    chooser.choice = ServerChoice::RelaySite;
    EXPECT_EQ(Run(LauncherCommand::Web), kExitFailed);
    ExpectMessage(ui.messages, launcher_text::kCannotNavigate, 3, MessageIcon::Question);
}

TEST_F(NethoodTest, AnAddressThatIsNoWebAddressIsNeverOpened) {
    chooser.choice = ServerChoice::LocalDevice;
    chooser.localAddress = "192.168.0.10; rm -rf ~";
    EXPECT_EQ(Run(LauncherCommand::Web), kExitFailed);
    ExpectMessage(ui.messages, launcher_text::kCannotNavigate, -1, MessageIcon::Question);
    ui.messages.clear();
    store.relayDomain = "relay example";
    chooser.choice = ServerChoice::RelaySite;
    EXPECT_EQ(Run(LauncherCommand::Web), kExitFailed);
    ExpectMessage(ui.messages, launcher_text::kCannotNavigate, -1, MessageIcon::Question);
    EXPECT_TRUE(opener.opened.empty());
}

TEST_F(NethoodTest, FolderOnALocalServerOpensItsShares) {
    chooser.choice = ServerChoice::LocalDevice;
    chooser.localAddress = "192.168.0.10";
    EXPECT_EQ(Run(LauncherCommand::Folder), kExitDone);
    EXPECT_EQ(opener.opened, std::vector<std::string>{"smb://192.168.0.10/"});
    EXPECT_TRUE(http.requested.empty());

    opener.failingSchemes["smb"] = 4;
    EXPECT_EQ(Run(LauncherCommand::Folder), kExitFailed);
    ExpectMessage(ui.messages, launcher_text::kCannotOpenFolder, 4, MessageIcon::Information);
}

TEST_F(NethoodTest, FolderOnTheRemoteHomeWithStoredNamesLooksUpAtOnce) {
    store.serverName = "Smith";
    store.userName = "Alice";
    chooser.choice = ServerChoice::RemoteHome;
    EXPECT_EQ(Run(LauncherCommand::Folder), kExitDone);
    EXPECT_TRUE(ui.asked.empty());
    EXPECT_EQ(http.requested,
              std::vector<std::string>{"http://www.relay.example/getmydisk?d=smith&u=alice"});
    EXPECT_EQ(opener.opened, std::vector<std::string>{"davs://smith.relay.example/dav/alice/"});
    EXPECT_EQ(ui.busyCount, 1);
    EXPECT_EQ(ui.busyDepth, 0);
    EXPECT_EQ(store.userNameWrites, 0);
}

TEST_F(NethoodTest, AMissingUserNameIsAskedForAndRememberedOnOk) {
    store.serverName = "Smith";
    chooser.choice = ServerChoice::RemoteHome;
    // A name typed into the (read-only) name field is not used: the remembered one is.
    ui.answers.push_back({true, "other", "Bob"});
    EXPECT_EQ(Run(LauncherCommand::Folder), kExitDone);
    ASSERT_EQ(ui.asked.size(), 1u);
    EXPECT_EQ(ui.asked[0].serverName, "Smith");
    EXPECT_EQ(ui.asked[0].userName, "");
    EXPECT_FALSE(ui.asked[0].serverNameEditable);
    EXPECT_EQ(store.userName, "Bob");
    EXPECT_EQ(http.requested,
              std::vector<std::string>{"http://www.relay.example/getmydisk?d=smith&u=bob"});
}

TEST_F(NethoodTest, CancellingTheNameDialogStoresAndOpensNothing) {
    store.serverName = "Smith";
    chooser.choice = ServerChoice::RemoteHome;
    ui.answers.push_back({false, "Smith", "Bob"});
    EXPECT_EQ(Run(LauncherCommand::Folder), kExitCancelled);
    EXPECT_EQ(store.userNameWrites, 0);
    EXPECT_TRUE(http.requested.empty());
    EXPECT_TRUE(opener.opened.empty());
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(NethoodTest, WithoutARememberedServerTheUserMayTypeIt) {
    store.userName = "alice";
    chooser.choice = ServerChoice::RemoteHome;
    ui.answers.push_back({true, "Jones", "alice"});
    EXPECT_EQ(Run(LauncherCommand::Folder), kExitDone);
    ASSERT_EQ(ui.asked.size(), 1u);
    EXPECT_TRUE(ui.asked[0].serverNameEditable);
    EXPECT_EQ(ui.asked[0].userName, "alice");
    EXPECT_EQ(http.requested,
              std::vector<std::string>{"http://www.relay.example/getmydisk?d=jones&u=alice"});
    EXPECT_EQ(store.serverName, "");
}

TEST_F(NethoodTest, TheRelaySiteUsesTheTypedNamesOnce) {
    chooser.choice = ServerChoice::RelaySite;
    ui.answers.push_back({true, "Smith", "Alice"});
    EXPECT_EQ(Run(LauncherCommand::Folder), kExitDone);
    ASSERT_EQ(ui.asked.size(), 1u);
    EXPECT_EQ(ui.asked[0].serverName, "");
    EXPECT_TRUE(ui.asked[0].serverNameEditable);
    EXPECT_EQ(store.userNameWrites, 0);
    EXPECT_EQ(http.requested,
              std::vector<std::string>{"http://www.relay.example/getmydisk?d=smith&u=alice"});

    ui.answers.push_back({false, "Smith", "Alice"});
    EXPECT_EQ(Run(LauncherCommand::Folder), kExitCancelled);
    EXPECT_EQ(http.requested.size(), 1u);
}

TEST_F(NethoodTest, EveryLookupFailureShowsItsMessageAndOpensNothing) {
    struct Case {
        HttpReply reply;
        unsigned textId;
        int number;
    };
    auto error = [](int number) {
        return FakeHttpClient::Body("<mydisk><error number=\"" + std::to_string(number) +
                                    "\"/><link href=\"https://a/\"/></mydisk>");
    };
    HttpReply noReply;
    HttpReply tooLarge;
    tooLarge.outcome = HttpReply::Outcome::TooLarge;
    const Case cases[] = {
        {error(1), launcher_text::kRelayServerError, 1},
        {error(2), launcher_text::kRelayInvalidParameter, 2},
        {error(3), launcher_text::kRelayHostUnreachable, 3},
        {error(4), launcher_text::kRelayServiceUnavailable, 4},
        {error(9), launcher_text::kCannotNavigate, 9},
        {noReply, launcher_text::kCannotNavigate, kRelayNoReply},
        {FakeHttpClient::Body("gone", 500), launcher_text::kCannotNavigate, kRelayNoReply},
        {FakeHttpClient::Body("gone", 404), launcher_text::kCannotNavigate, kRelayNotFound},
        {FakeHttpClient::Body("<p>404 Not Found</p>"), launcher_text::kCannotNavigate,
         kRelayNotFound},
        {tooLarge, launcher_text::kCannotNavigate, kRelayUnusable},
        {FakeHttpClient::Body("<mydisk/>"), launcher_text::kCannotNavigate, kRelayUnusable},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.number);
        ui.messages.clear();
        http.reply = c.reply;
        EXPECT_EQ(nethood.OpenRemoteFolders("smith", "alice"), DispatchOutcome::Failed);
        ExpectMessage(ui.messages, c.textId, c.number, MessageIcon::Information);
    }
    EXPECT_TRUE(opener.opened.empty());
    EXPECT_EQ(ui.busyDepth, 0);
}

TEST_F(NethoodTest, ARelayLinkThatIsNoWebAddressIsNeverOpened) {
    const std::string links[] = {"file:///etc/passwd", "/usr/bin/xterm", "smb://other/share",
                                 "https://a/" + std::string(300, 'x'), ""};
    for (const std::string& link : links) {
        SCOPED_TRACE(link);
        ui.messages.clear();
        http.reply = FakeHttpClient::Body("<mydisk><error number=\"0\"/><link href=\"" + link +
                                          "\"/></mydisk>");
        EXPECT_EQ(nethood.OpenRemoteFolders("smith", "alice"), DispatchOutcome::Failed);
        ExpectMessage(ui.messages, launcher_text::kCannotNavigate, -1, MessageIcon::Information);
    }
    EXPECT_TRUE(opener.opened.empty());
}

TEST_F(NethoodTest, WithoutAWebFolderHandlerTheBrowserShowsTheFolder) {
    opener.failingSchemes["davs"] = 3;
    EXPECT_EQ(nethood.OpenRemoteFolders("Smith", "Alice"), DispatchOutcome::Done);
    EXPECT_EQ(opener.opened, (std::vector<std::string>{"davs://smith.relay.example/dav/alice/",
                                                       "https://smith.relay.example/dav/alice/"}));
    EXPECT_TRUE(ui.messages.empty());

    opener.failingSchemes["https"] = 4;
    EXPECT_EQ(nethood.OpenRemoteFolders("Smith", "Alice"), DispatchOutcome::Failed);
    ExpectMessage(ui.messages, launcher_text::kCannotOpenFolder, 4, MessageIcon::Information);
}

TEST_F(NethoodTest, EmptyNamesDoNothingAtAll) {
    EXPECT_EQ(nethood.OpenRemoteFolders("smith", ""), DispatchOutcome::Failed);
    EXPECT_EQ(nethood.OpenRemoteFolders("", "alice"), DispatchOutcome::Failed);
    EXPECT_TRUE(http.requested.empty());
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(ui.busyCount, 0);
}
