#include "LocateTestDoubles.h"

#include "common/discovery/DeviceChoice.h"
#include "common/discovery/ServerName.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using testing_support::Found;

DeviceTable TableOf(std::initializer_list<DeviceRecord> records) {
    DeviceTable table;
    for (const DeviceRecord& record : records) {
        table.emplace(record.address, record);
    }
    return table;
}

constexpr uint32_t kAt20 = 0xC0A80114u; // 192.168.1.20
constexpr uint32_t kAt7 = 0xC0A80107u;  // 192.168.1.7
constexpr uint32_t kAt9 = 0xC0A80109u;  // 192.168.1.9

TEST(ServerName, IsTheFirstLabelOfTheHostName) {
    EXPECT_EQ(ServerNameOf(Found(kAt9, "srv1.example")), "srv1");
    EXPECT_EQ(ServerNameOf(Found(kAt9, "home")), "home");
    EXPECT_EQ(ServerNameOf(Found(kAt9, "a.b.c")), "a");
    EXPECT_EQ(ServerNameOf(Found(kAt9, ".hidden")), "");
    EXPECT_EQ(ServerNameOf(Found(kAt9, std::string(300, 'x'))), std::string(255, 'x'));
}

TEST(ServerName, LegacyNamelessAndAddresslessRecordsHaveNone) {
    EXPECT_FALSE(ServerNameOf(Found(kAt9, "legacy")));
    EXPECT_FALSE(ServerNameOf(Found(kAt9, "LeGaCy")));
    EXPECT_FALSE(ServerNameOf(Found(kAt9, "")));
    DeviceRecord noAddress = Found(kAt9, "srv1");
    noAddress.addressText.clear();
    EXPECT_FALSE(ServerNameOf(noAddress));
    // Only the whole name "legacy" is special.
    EXPECT_EQ(ServerNameOf(Found(kAt9, "legacy.home")), "legacy");
}

TEST(MatchServerName, TakesTheLowestAddressWhoseNameMatchesInAnyCase) {
    const DeviceTable table = TableOf({Found(kAt20, "Home.local"), Found(kAt7, "home")});
    std::string out = "unchanged";
    EXPECT_EQ(MatchServerName(table, "home", out, 255), ChoiceLocalDevice);
    EXPECT_EQ(out, "192.168.1.7");

    EXPECT_EQ(MatchServerName(table, "HOME", out, 5), ChoiceLocalDevice);
    EXPECT_EQ(out, "192.1");
}

TEST(MatchServerName, GoesThroughTheRelayWhenNothingMatches) {
    const DeviceTable table = TableOf({Found(kAt20, "home.local")});
    std::string out = "unchanged";
    EXPECT_EQ(MatchServerName(table, "", out, 255), ChoiceRemoteHome);
    EXPECT_EQ(MatchServerName(TableOf({Found(kAt7, "legacy")}), "legacy", out, 255),
              ChoiceRemoteHome);
    EXPECT_EQ(MatchServerName(TableOf({Found(kAt7, "")}), "home", out, 255), ChoiceRemoteHome);
    EXPECT_EQ(MatchServerName(table, "hom", out, 255), ChoiceRemoteHome);
    EXPECT_EQ(MatchServerName(table, "home.local", out, 255), ChoiceRemoteHome);
    EXPECT_EQ(MatchServerName({}, "home", out, 255), ChoiceRemoteHome);
    EXPECT_EQ(out, "unchanged");
}

TEST(ChoiceCase, FollowsTheKindOfThePickedEntry) {
    std::string address = "old";
    EXPECT_EQ(ChoiceCaseForEntry(Found(kAt9, "srv1"), address), ChoiceLocalDevice);
    EXPECT_EQ(address, "192.168.1.9");

    DeviceRecord home;
    home.kind = RemoteHome;
    EXPECT_EQ(ChoiceCaseForEntry(home, address), ChoiceRemoteHome);
    EXPECT_EQ(address, "");

    DeviceRecord relay;
    relay.kind = RelaySite;
    address = "old";
    EXPECT_EQ(ChoiceCaseForEntry(relay, address), ChoiceRelaySite);
    EXPECT_EQ(address, "");

    DeviceRecord strange;
    strange.kind = static_cast<DeviceKind>(7);
    address = "old";
    EXPECT_EQ(ChoiceCaseForEntry(strange, address), ChoiceInvalid);
    EXPECT_EQ(address, "");
}

std::vector<std::string> TextsOf(const std::vector<ChoiceListItem>& items) {
    std::vector<std::string> texts;
    for (const ChoiceListItem& item : items) {
        texts.push_back(item.text);
    }
    return texts;
}

TEST(ChoiceList, RememberedServerFoundGivesNoHomeEntry) {
    const DeviceTable table = TableOf({Found(kAt20, "Home.local"), Found(kAt9, "srv1.example"),
                                       Found(kAt7, "legacy"), Found(0x0A000001u, "")});
    const auto items = BuildChoiceListItems(&table, "home", "example.net", "home");
    EXPECT_EQ(TextsOf(items), (std::vector<std::string>{"srv1 (192.168.1.9)", "Home (192.168.1.20)",
                                                        "www.example.net"}));
    EXPECT_EQ(items[0].record, &table.at(kAt9));
    EXPECT_EQ(items[0].image, ChoiceListItem::NetworkDrive);
    EXPECT_EQ(items[2].entry, ChoiceListItem::Entry::Relay);
    EXPECT_EQ(items[2].image, ChoiceListItem::InternetDrive);
}

TEST(ChoiceList, RememberedServerMissingEndsWithHomeThenRelay) {
    const DeviceTable table = TableOf({Found(kAt9, "srv1.example")});
    const auto items = BuildChoiceListItems(&table, "myhome", "example.net", "home");
    EXPECT_EQ(TextsOf(items),
              (std::vector<std::string>{"srv1 (192.168.1.9)", "myhome.example.net (home)",
                                        "www.example.net"}));
    EXPECT_EQ(items[1].entry, ChoiceListItem::Entry::Home);
    EXPECT_EQ(items[1].record, nullptr);
}

TEST(ChoiceList, NothingRememberedNothingFoundLeavesTheRelayEntry) {
    const auto items = BuildChoiceListItems(nullptr, "", "example.net", "home");
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].text, "www.example.net");
    EXPECT_EQ(items[0].entry, ChoiceListItem::Entry::Relay);
}

TEST(ChoiceList, ItemTextsAreCut) {
    const auto items = BuildChoiceListItems(nullptr, std::string(250, 'n'), "example.net", "home");
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[0].text.size(), 255u);
}

} // namespace
