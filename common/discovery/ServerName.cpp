#include "common/discovery/ServerName.h"

namespace {

char FoldAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

} // namespace

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (FoldAscii(a[i]) != FoldAscii(b[i])) {
            return false;
        }
    }
    return true;
}

std::optional<std::string> ServerNameOf(const DeviceRecord& record) {
    if (record.addressText.empty() || record.hostName.empty() ||
        EqualsIgnoringCase(record.hostName, kLegacyHostName)) {
        return std::nullopt;
    }
    const std::string_view host = record.hostName;
    return CutText(host.substr(0, host.find('.')));
}
