#include "common/relay/RelayAddresses.h"

namespace {

bool StartsWithIgnoringAsciiCase(std::string_view text, std::string_view lowerCasePrefix) {
    return text.size() >= lowerCasePrefix.size() &&
           AsciiLowerCase(text.substr(0, lowerCasePrefix.size())) == lowerCasePrefix;
}

// The length of the scheme and "://" of an openable address, 0 for any other text.
std::size_t WebSchemeLength(std::string_view address) {
    if (StartsWithIgnoringAsciiCase(address, "http://")) {
        return 7;
    }
    if (StartsWithIgnoringAsciiCase(address, "https://")) {
        return 8;
    }
    return 0;
}

} // namespace

std::string AsciiLowerCase(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return lower;
}

std::string PercentEscape(std::string_view text) {
    static constexpr char kHexDigits[] = "0123456789ABCDEF";
    std::string escaped;
    escaped.reserve(text.size());
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        const bool unreserved = (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') ||
                                (byte >= '0' && byte <= '9') || byte == '-' || byte == '.' ||
                                byte == '_' || byte == '~';
        if (unreserved) {
            escaped += c;
        } else {
            escaped += '%';
            escaped += kHexDigits[byte >> 4];
            escaped += kHexDigits[byte & 0x0F];
        }
    }
    return escaped;
}

bool IsOpenableWebAddress(std::string_view address) {
    if (address.size() > kMaxAddressLength) {
        return false;
    }
    const std::size_t schemeLength = WebSchemeLength(address);
    if (schemeLength == 0) {
        return false;
    }
    for (char c : address) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= 0x20 || byte == 0x7F) {
            return false;
        }
    }
    const std::string_view rest = address.substr(schemeLength);
    const std::size_t hostEnd = rest.find_first_of("/?#");
    const std::string_view authority = rest.substr(0, hostEnd);
    // The host is what follows any user part; an address without one names no server.
    const std::size_t at = authority.rfind('@');
    const std::string_view host =
        at == std::string_view::npos ? authority : authority.substr(at + 1);
    return !host.empty() && host.front() != ':';
}

std::string RelayHost(std::string_view relayDomain) {
    return "www." + std::string(relayDomain);
}

std::optional<std::string> LinkLookupAddress(std::string_view relayDomain, std::string_view server,
                                             std::string_view user) {
    std::string address = "http://" + RelayHost(relayDomain) +
                          "/getmydisk?d=" + PercentEscape(server) + "&u=" + PercentEscape(user);
    if (address.size() > kMaxAddressLength) {
        return std::nullopt;
    }
    return address;
}

std::optional<std::string> WebFolderLocation(std::string_view link) {
    if (!IsOpenableWebAddress(link)) {
        return std::nullopt;
    }
    const std::size_t schemeLength = WebSchemeLength(link);
    const std::string_view rest = link.substr(schemeLength);
    return (schemeLength == 8 ? "davs://" : "dav://") + std::string(rest);
}

std::string WebFolderDisplayName(std::string_view user, std::string_view server,
                                 std::string_view relayDomain) {
    return std::string(user) + " on " + std::string(server) + "." + std::string(relayDomain);
}
