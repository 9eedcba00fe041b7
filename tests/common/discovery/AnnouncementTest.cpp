#include "common/discovery/Announcement.h"
#include "common/discovery/DeviceRecord.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const std::string kFull = "Hello there. I am at 192.168.1.20. Time is 1700000000 and I am "
                          "hungry.Hostname:<srv1.home>.CPU:<arm>";

TEST(Announcement, ReadsEveryPieceOfAFullAnnouncement) {
    const Announcement a = ParseAnnouncement(kFull);
    EXPECT_EQ(a.matchedFields, 7);
    EXPECT_EQ(a.announcedAddress, (std::array<int64_t, 4>{192, 168, 1, 20}));
    EXPECT_EQ(a.time, 1700000000);
    EXPECT_EQ(a.hostName, "srv1.home");
    EXPECT_EQ(a.cpu, "arm");
    EXPECT_TRUE(IsAcceptedAnnouncement(a));
}

TEST(Announcement, OlderServersWithoutHostNameAreLegacy) {
    const Announcement a =
        ParseAnnouncement("Hello there. I am at 10.0.0.5. Time is 12345 and I am hungry.");
    EXPECT_EQ(a.matchedFields, 5);
    EXPECT_EQ(a.hostName, "legacy");
    EXPECT_EQ(a.cpu, "");
    EXPECT_TRUE(IsAcceptedAnnouncement(a));

    // Stopping anywhere after the time with both words in the text counts as an empty host name;
    // "Hostname" alone, without "CPU", leaves it legacy.
    const Announcement stopped = ParseAnnouncement("Hello there. I am at 1.2.3.4. Time is 9 and I "
                                                   "am HUNGRY.Hostname:<x>.CPU:<y>");
    EXPECT_EQ(stopped.hostName, "");
    EXPECT_EQ(stopped.cpu, "");
    const Announcement emptyWithoutCpu =
        ParseAnnouncement("Hello there. I am at 1.2.3.4. Time is 9 and I am hungry.Hostname:<>");
    EXPECT_EQ(emptyWithoutCpu.hostName, "legacy");
}

TEST(Announcement, EmptyHostNameIsReadAgainForTheCpu) {
    const Announcement a = ParseAnnouncement("Hello there. I am at 192.168.1.9. Time is 77 and I "
                                             "am hungry.Hostname:<>.CPU:<x86>");
    EXPECT_EQ(a.hostName, "");
    EXPECT_EQ(a.cpu, "x86");
    EXPECT_TRUE(IsAcceptedAnnouncement(a));

    // The second reading takes the address and time as words, so without a blank after the
    // address it stops before the CPU.
    const Announcement glued = ParseAnnouncement(
        "Hello there. I am at 192.168.1.9.Time is 77 and I am hungry.Hostname:<>.CPU:<x86>");
    EXPECT_EQ(glued.matchedFields, 5);
    EXPECT_EQ(glued.hostName, "");
    EXPECT_EQ(glued.cpu, "");
}

TEST(Announcement, TimeZeroAndAllZeroAddressesAreIgnored) {
    EXPECT_FALSE(IsAcceptedAnnouncement(ParseAnnouncement(
        "Hello there. I am at 10.0.0.1. Time is 0 and I am hungry.Hostname:<a>.CPU:<b>")));
    EXPECT_FALSE(IsAcceptedAnnouncement(ParseAnnouncement(
        "Hello there. I am at 0.0.0.0. Time is 5 and I am hungry.Hostname:<a>.CPU:<b>")));
    EXPECT_FALSE(IsAcceptedAnnouncement(ParseAnnouncement(
        "Hello there. I am at -0.+0.0.0. Time is 5 and I am hungry.Hostname:<a>.CPU:<b>")));
    EXPECT_TRUE(IsAcceptedAnnouncement(ParseAnnouncement(
        "Hello there. I am at 0.0.0.1. Time is 5 and I am hungry.Hostname:<a>.CPU:<b>")));
    // Matching that stops before the time leaves it 0.
    EXPECT_FALSE(IsAcceptedAnnouncement(ParseAnnouncement("Hello there. I am at 1.2.3.4.")));
    EXPECT_FALSE(IsAcceptedAnnouncement(ParseAnnouncement("Hello there. I am at 1.2.x")));
    EXPECT_FALSE(IsAcceptedAnnouncement(ParseAnnouncement("")));
    EXPECT_FALSE(IsAcceptedAnnouncement(ParseAnnouncement("garbage")));
}

TEST(Announcement, HugeNumbersNeverReadAsZero) {
    // Digits that overflow must not wrap round to 0 and make a real announcement look empty.
    const Announcement a =
        ParseAnnouncement("Hello there. I am at 0.0.0.4294967296. Time is "
                          "18446744073709551616 and I am hungry.Hostname:<a>.CPU:<b>");
    EXPECT_NE(a.announcedAddress[3], 0);
    EXPECT_NE(a.time, 0);
    EXPECT_TRUE(IsAcceptedAnnouncement(a));
}

TEST(Announcement, BlanksAndSignsFollowScanfMatching) {
    // A blank in the template matches any run of white space, also none; numbers may carry
    // leading white space and a sign.
    const Announcement a = ParseAnnouncement("Hello   there.I am\tat  +192. -1.\n3.4.Time is "
                                             "5and I\r\nam hungry.Hostname:< b >.CPU:<c d>");
    EXPECT_EQ(a.matchedFields, 7);
    EXPECT_EQ(a.announcedAddress, (std::array<int64_t, 4>{192, -1, 3, 4}));
    EXPECT_EQ(a.time, 5);
    EXPECT_EQ(a.hostName, " b ");
    EXPECT_EQ(a.cpu, "c d");

    // White space in the text where the template has none is a difference.
    EXPECT_EQ(ParseAnnouncement(" Hello there. I am at 1.2.3.4. Time is 5").matchedFields, 0);
    // A sign without digits stops matching.
    EXPECT_EQ(ParseAnnouncement("Hello there. I am at 1.+.3.4. Time is 5").matchedFields, 1);
    // Leading text that is not the template stops at once.
    EXPECT_EQ(ParseAnnouncement("Hello there. I am at 1.2.3.4, Time is 5").matchedFields, 4);
}

TEST(Announcement, NulBytesEndTheTextAndFormatCharactersAreJustText) {
    const std::string withNul = std::string("Hello there. I am at 1.2.3.4. Time is 5 and I am "
                                            "hungry.Hostname:<srv") +
                                '\0' + "evil>.CPU:<arm>";
    const Announcement a = ParseAnnouncement(withNul);
    EXPECT_EQ(a.hostName, "srv");
    EXPECT_EQ(a.cpu, "");

    const Announcement formats = ParseAnnouncement(
        "Hello there. I am at 1.2.3.4. Time is 5 and I am hungry.Hostname:<%s%n%d>.CPU:<%x%%>");
    EXPECT_EQ(formats.hostName, "%s%n%d");
    EXPECT_EQ(formats.cpu, "%x%%");
}

TEST(Announcement, ReadsOnlyTheDatagramsOwnBytes) {
    // The datagram sits in a larger buffer whose next bytes would complete the host name.
    const std::string buffer = kFull.substr(0, kFull.find("srv1") + 4) + ">.CPU:<wrong>";
    const std::string_view datagram(buffer.data(), kFull.find("srv1") + 2);
    const Announcement a = ParseAnnouncement(datagram);
    EXPECT_EQ(a.hostName, "sr");
    EXPECT_EQ(a.cpu, "");
}

TEST(Announcement, LongNamesAreCutAndTheCpuStillRead) {
    const std::string longHost(300, 'h');
    const Announcement a =
        ParseAnnouncement("Hello there. I am at 1.2.3.4. Time is 5 and I am hungry.Hostname:<" +
                          longHost + ">.CPU:<" + std::string(400, 'c') + ">");
    EXPECT_EQ(a.hostName, std::string(255, 'h'));
    EXPECT_EQ(a.cpu, std::string(255, 'c'));
}

TEST(Announcement, NonAsciiBytesAreKeptAndNotSplitByTheCut) {
    const Announcement umlaut = ParseAnnouncement(
        "Hello there. I am at 1.2.3.4. Time is 5 and I am hungry.Hostname:<B\xC3\xBCro.home>"
        ".CPU:<\xFF\xFE>");
    EXPECT_EQ(umlaut.hostName, "B\xC3\xBCro.home");
    EXPECT_EQ(umlaut.cpu, "\xFF\xFE");

    // 254 ASCII bytes and a two-byte character: the character goes whole.
    const Announcement cut =
        ParseAnnouncement("Hello there. I am at 1.2.3.4. Time is 5 and I am hungry.Hostname:<" +
                          std::string(254, 'a') + "\xC3\xA9" + ">.CPU:<x>");
    EXPECT_EQ(cut.hostName, std::string(254, 'a'));
    EXPECT_EQ(cut.cpu, "x");
}

TEST(CutText, BacksOffOnlyOverOneWholeUtf8Sequence) {
    EXPECT_EQ(CutText("abc", 3), "abc");
    EXPECT_EQ(CutText("abcd", 3), "abc");
    EXPECT_EQ(CutText("a\xE2\x82\xAC", 2), "a"); // euro sign: three bytes
    EXPECT_EQ(CutText("a\xE2\x82\xAC", 3), "a");
    EXPECT_EQ(CutText("a\xE2\x82\xAC"
                      "b",
                      4),
              "a\xE2\x82\xAC");
    EXPECT_EQ(CutText("\x80\x80\x80\x80\x80", 3), "\x80\x80\x80"); // not UTF-8: cut as it stands
}

TEST(DeviceRecord, FormatsAddressesMostSignificantByteFirst) {
    EXPECT_EQ(FormatDeviceAddress(0xC0A80114u), "192.168.1.20");
    EXPECT_EQ(FormatDeviceAddress(0xFFFFFFFFu), "255.255.255.255");
    EXPECT_EQ(FormatDeviceAddress(1u), "0.0.0.1");
}

} // namespace
