#include "common/discovery/DeviceChoice.h"

#include "common/discovery/ServerName.h"
#include "common/registry/Registry.h"

int ChoiceCaseForEntry(const DeviceRecord& entry, std::string& chosenAddress) {
    switch (entry.kind) {
    case LocalDevice:
        chosenAddress = entry.addressText;
        return ChoiceLocalDevice;
    case RemoteHome:
        chosenAddress.clear();
        return ChoiceRemoteHome;
    case RelaySite:
        chosenAddress.clear();
        return ChoiceRelaySite;
    }
    chosenAddress.clear();
    return ChoiceInvalid;
}

std::string ReadRememberedServerName() {
    CRegistry* registry = GetRegistry();
    if (!registry) {
        return {};
    }
    return registry->GetString(Machine, kProductKeyPath, "subdomain", "");
}

int MatchServerName(const DeviceTable& table, std::string_view rememberedName, std::string& out,
                    std::size_t maxLength) {
    if (rememberedName.empty()) {
        return ChoiceRemoteHome;
    }
    for (const auto& [address, record] : table) {
        const std::optional<std::string> name = ServerNameOf(record);
        if (name && EqualsIgnoringCase(*name, rememberedName)) {
            out = record.addressText.substr(0, maxLength);
            return ChoiceLocalDevice;
        }
    }
    return ChoiceRemoteHome;
}

int MatchHomeServer(const DeviceTable& table, std::string& out, std::size_t maxLength) {
    return MatchServerName(table, ReadRememberedServerName(), out, maxLength);
}

std::vector<ChoiceListItem> BuildChoiceListItems(const DeviceTable* table,
                                                 std::string_view rememberedName,
                                                 std::string_view relayDomain,
                                                 std::string_view homeWord) {
    std::vector<ChoiceListItem> items;
    bool rememberedListed = false;
    if (table) {
        for (const auto& [address, record] : *table) {
            const std::optional<std::string> name = ServerNameOf(record);
            if (!name) {
                continue;
            }
            rememberedListed = rememberedListed || EqualsIgnoringCase(*name, rememberedName);
            items.push_back({CutText(*name + " (" + record.addressText + ")"),
                             ChoiceListItem::NetworkDrive, ChoiceListItem::Entry::Found, &record});
        }
    }
    const std::string domain(relayDomain);
    if (!rememberedName.empty() && !rememberedListed) {
        items.push_back({CutText(std::string(rememberedName) + "." + domain + " (" +
                                 std::string(homeWord) + ")"),
                         ChoiceListItem::InternetDrive, ChoiceListItem::Entry::Home, nullptr});
    }
    items.push_back({CutText("www." + domain), ChoiceListItem::InternetDrive,
                     ChoiceListItem::Entry::Relay, nullptr});
    return items;
}
