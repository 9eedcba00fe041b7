#include "launcher/LauncherCommand.h"
#include "launcher/WebAddresses.h"

#include <gtest/gtest.h>

#include <string>

TEST(LauncherCommandTest, OnlyTheFirstArgumentCountsInAnyLetterCase) {
    const char* web[] = {"doorlet", "/Web", "/folder"};
    EXPECT_EQ(ParseLauncherCommand(3, web), LauncherCommand::Web);
    const char* folder[] = {"doorlet", "/FOLDER"};
    EXPECT_EQ(ParseLauncherCommand(2, folder), LauncherCommand::Folder);
    const char* help[] = {"doorlet", "/help", "/web"};
    EXPECT_EQ(ParseLauncherCommand(3, help), LauncherCommand::Unknown);
    const char* none[] = {"doorlet"};
    EXPECT_EQ(ParseLauncherCommand(1, none), LauncherCommand::None);
    const char* empty[] = {"doorlet", ""};
    EXPECT_EQ(ParseLauncherCommand(2, empty), LauncherCommand::None);
    EXPECT_EQ(CommandFromArgument("/webs"), LauncherCommand::Unknown);
    EXPECT_EQ(CommandFromArgument("web"), LauncherCommand::Unknown);
}

TEST(LauncherCommandTest, AnArgumentOverTheLimitIsNoCommandEvenIfItStartsWithOne) {
    std::string longArgument = "/web" + std::string(kMaxCommandArgumentLength - 4, ' ');
    EXPECT_EQ(CommandFromArgument(longArgument), LauncherCommand::Unknown);
    longArgument += ' ';
    EXPECT_EQ(CommandFromArgument(longArgument), LauncherCommand::Unknown);
}

TEST(WebAddressTest, EveryChoiceOpensItsAddress) {
    EXPECT_EQ(WebAddressForChoice(ServerChoice::LocalDevice, "192.168.0.10", "relay.example", "x"),
              "http://192.168.0.10/?local=1");
    EXPECT_EQ(WebAddressForChoice(ServerChoice::RemoteHome, "", "relay.example", "smith"),
              "http://www.relay.example/?velname=smith");
    EXPECT_EQ(WebAddressForChoice(ServerChoice::RemoteHome, "", "relay.example", ""),
              "http://www.relay.example/");
    EXPECT_EQ(WebAddressForChoice(ServerChoice::RelaySite, "", "localhost:8080", "smith"),
              "http://www.localhost:8080/");
    EXPECT_EQ(WebAddressForChoice(ServerChoice::Cancelled, "1.2.3.4", "relay.example", "x"),
              std::nullopt);
    EXPECT_EQ(WebAddressForChoice(ServerChoice::Invalid, "1.2.3.4", "relay.example", "x"),
              std::nullopt);
}

TEST(WebAddressTest, ARememberedNameCannotChangeTheQuery) {
    EXPECT_EQ(WebAddressForChoice(ServerChoice::RemoteHome, "", "relay.example", "a b&c=d#e"),
              "http://www.relay.example/?velname=a%20b%26c%3Dd%23e");
}

TEST(WebAddressTest, ALocalServerNeedsADottedAddress) {
    for (const char* bad : {"", "1.2.3", "1.2.3.4.5", "256.1.1.1", "1.2.3.4 ", "a.b.c.d", "1..2.3",
                            "-1.2.3.4", "1.2.3.4/", "1234.1.1.1"}) {
        EXPECT_FALSE(IsDottedIPv4Address(bad)) << bad;
        EXPECT_EQ(ShareRootAddress(bad), std::nullopt) << bad;
        EXPECT_EQ(WebAddressForChoice(ServerChoice::LocalDevice, bad, "r.example", ""),
                  std::nullopt)
            << bad;
    }
    EXPECT_TRUE(IsDottedIPv4Address("0.0.0.1"));
    EXPECT_TRUE(IsDottedIPv4Address("255.255.255.255"));
    EXPECT_EQ(ShareRootAddress("192.168.0.10"), "smb://192.168.0.10/");
}

TEST(WebAddressTest, EscapingKeepsUnreservedCharactersOnly) {
    EXPECT_EQ(PercentEscape("Alice-01._~"), "Alice-01._~");
    EXPECT_EQ(PercentEscape("a b/c?d&e=f%g+h"), "a%20b%2Fc%3Fd%26e%3Df%25g%2Bh");
    EXPECT_EQ(PercentEscape("j\xC3\xBCrgen"), "j%C3%BCrgen");
    EXPECT_EQ(PercentEscape(std::string("a\0b", 3)), "a%00b");
}

TEST(WebAddressTest, LookupAddressEscapesBothNamesAndRefusesOverlongOnes) {
    EXPECT_EQ(LinkLookupAddress("relay.example", "smith", "alice"),
              "http://www.relay.example/getmydisk?d=smith&u=alice");
    EXPECT_EQ(LinkLookupAddress("relay.example", "smith&u=bob", "alice"),
              "http://www.relay.example/getmydisk?d=smith%26u%3Dbob&u=alice");
    const std::string prefix = "http://www.relay.example/getmydisk?d=s&u=";
    const std::string fits(kMaxAddressLength - prefix.size(), 'u');
    EXPECT_EQ(LinkLookupAddress("relay.example", "s", fits), prefix + fits);
    EXPECT_EQ(LinkLookupAddress("relay.example", "s", fits + "u"), std::nullopt);
    // Escaping counts: 80 blanks are 240 characters in the address.
    EXPECT_EQ(LinkLookupAddress("relay.example", std::string(80, ' '), "alice"), std::nullopt);
}

TEST(WebLinkTest, OnlyWebAddressesAreOpenable) {
    for (const char* good : {"http://smith.relay.example/dav/alice/", "HTTPS://host",
                             "https://h:8443/x?y#z", "http://user@host/"}) {
        EXPECT_TRUE(IsOpenableWebAddress(good)) << good;
    }
    for (const char* bad :
         {"", "file:///etc/passwd", "/usr/bin/xterm", "smb://server/share", "javascript:alert(1)",
          "-e http://host/", "http://", "http:///etc/passwd", "http://:80/", "http://host/a b",
          "http://host/\n", "http://host/\x7f", "ftp://host/", "http:/host", " http://host/",
          "davs://host/"}) {
        EXPECT_FALSE(IsOpenableWebAddress(bad)) << bad;
    }
    const std::string base = "https://host/";
    EXPECT_TRUE(IsOpenableWebAddress(base + std::string(kMaxAddressLength - base.size(), 'a')));
    EXPECT_FALSE(
        IsOpenableWebAddress(base + std::string(kMaxAddressLength - base.size() + 1, 'a')));
}

TEST(WebLinkTest, WebFolderLocationAndDisplayName) {
    EXPECT_EQ(WebFolderLocation("https://smith.relay.example/dav/alice/"),
              "davs://smith.relay.example/dav/alice/");
    EXPECT_EQ(WebFolderLocation("HTTP://smith.localhost:8080/w/"), "dav://smith.localhost:8080/w/");
    EXPECT_EQ(WebFolderLocation("file:///etc"), std::nullopt);
    EXPECT_EQ(WebFolderDisplayName("alice", "smith", "relay.example"),
              "alice on smith.relay.example");
    EXPECT_EQ(AsciiLowerCase("Smith\xC3\x84Z"), "smith\xC3\x84z");
}
