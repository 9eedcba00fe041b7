#include "launcher/WebAddresses.h"

bool IsDottedIPv4Address(std::string_view text) {
    int parts = 0;
    std::size_t pos = 0;
    while (true) {
        std::size_t digits = 0;
        int value = 0;
        while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9' && digits < 4) {
            value = value * 10 + (text[pos] - '0');
            ++pos;
            ++digits;
        }
        if (digits == 0 || digits > 3 || value > 255) {
            return false;
        }
        ++parts;
        if (parts == 4) {
            return pos == text.size();
        }
        if (pos >= text.size() || text[pos] != '.') {
            return false;
        }
        ++pos;
    }
}

std::optional<std::string> WebAddressForChoice(ServerChoice choice, std::string_view localAddress,
                                               std::string_view relayDomain,
                                               std::string_view rememberedServerName) {
    switch (choice) {
    case ServerChoice::LocalDevice:
        if (!IsDottedIPv4Address(localAddress)) {
            return std::nullopt;
        }
        return "http://" + std::string(localAddress) + "/?local=1";
    case ServerChoice::RemoteHome:
        if (!rememberedServerName.empty()) {
            return "http://" + RelayHost(relayDomain) +
                   "/?velname=" + PercentEscape(rememberedServerName);
        }
        return "http://" + RelayHost(relayDomain) + "/";
    case ServerChoice::RelaySite:
        return "http://" + RelayHost(relayDomain) + "/";
    case ServerChoice::Cancelled:
    case ServerChoice::Invalid:
        break;
    }
    return std::nullopt;
}

std::optional<std::string> ShareRootAddress(std::string_view address) {
    if (!IsDottedIPv4Address(address)) {
        return std::nullopt;
    }
    return "smb://" + std::string(address) + "/";
}
