#include "wizard/transfer/SmbSession.h"

#include <charconv>
#include <cstdlib>

namespace {

bool ParsePort(std::string_view text, uint16_t& port) {
    unsigned value = 0;
    const char* end = text.data() + text.size();
    auto [next, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || next != end || value == 0 || value > 65535) {
        return false;
    }
    port = static_cast<uint16_t>(value);
    return true;
}

bool IsUnreserved(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '.' || c == '_' || c == '~';
}

void AppendEscaped(std::string& url, std::string_view part) {
    static const char kHex[] = "0123456789ABCDEF";
    for (unsigned char c : part) {
        if (IsUnreserved(c)) {
            url += static_cast<char>(c);
        } else {
            url += '%';
            url += kHex[c >> 4];
            url += kHex[c & 0x0F];
        }
    }
}

} // namespace

bool ParseServerAddress(std::string_view address, SmbEndpoint& endpoint) {
    endpoint = {};
    const size_t colon = address.find(':');
    if (colon != std::string_view::npos) {
        if (address.find(':', colon + 1) != std::string_view::npos ||
            !ParsePort(address.substr(colon + 1), endpoint.port)) {
            return false;
        }
        address = address.substr(0, colon);
    } else if (const char* fromEnvironment = std::getenv(kSmbPortVariable);
               fromEnvironment != nullptr && *fromEnvironment != '\0') {
        if (!ParsePort(fromEnvironment, endpoint.port)) {
            endpoint.port = 0;
        }
    }
    if (address.empty() || address.find_first_of("/\\@?#") != std::string_view::npos) {
        return false;
    }
    endpoint.host = std::string(address);
    return true;
}

std::string BuildSmbUrl(const std::string& host, std::string_view sharePath) {
    std::string url = "smb://";
    url += host;
    for (const std::string& part : SplitPathParts(sharePath)) {
        url += '/';
        AppendEscaped(url, part);
    }
    return url;
}
