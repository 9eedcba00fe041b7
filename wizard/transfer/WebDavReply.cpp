#include "wizard/transfer/WebDavReply.h"

#include "common/text/HexDigits.h"

#include "wizard/transfer/ShareAccess.h"

#include <cstring>
#include <limits>

namespace {

bool StartsWithFolded(std::string_view text, std::string_view lowerPrefix) {
    if (text.size() < lowerPrefix.size()) {
        return false;
    }
    for (size_t i = 0; i < lowerPrefix.size(); ++i) {
        char c = text[i];
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
        if (c != lowerPrefix[i]) {
            return false;
        }
    }
    return true;
}

std::string EscapePathPart(std::string_view part) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string escaped;
    for (char c : part) {
        const auto byte = static_cast<unsigned char>(c);
        const bool plain = (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') ||
                           (byte >= '0' && byte <= '9') || byte == '-' || byte == '.' ||
                           byte == '_' || byte == '~';
        if (plain) {
            escaped += c;
        } else {
            escaped += '%';
            escaped += kHex[byte >> 4];
            escaped += kHex[byte & 0x0F];
        }
    }
    return escaped;
}

} // namespace

bool ParseWebFolderLink(std::string_view link, WebFolderAddress& address) {
    if (!StartsWithFolded(link, "https://")) {
        return false;
    }
    const std::string_view rest = link.substr(8);
    const size_t slash = rest.find('/');
    const std::string_view host = rest.substr(0, slash);
    if (host.empty() || host.find_first_of("@?# ") != std::string_view::npos ||
        slash == std::string_view::npos) {
        return false;
    }
    std::string_view path = rest.substr(slash);
    const size_t query = path.find_first_of("?#");
    if (query != std::string_view::npos) {
        path = path.substr(0, query);
    }
    while (!path.empty() && path.back() == '/') {
        path.remove_suffix(1);
    }
    const size_t last = path.rfind('/');
    const std::string share = PercentDecode(path.substr(last + 1));
    if (share.empty() || share == "." || share == ".." || share.find('/') != std::string::npos) {
        return false;
    }
    address.host = std::string(host);
    address.parent = "https://" + std::string(host) + std::string(path.substr(0, last + 1));
    address.share = share;
    return true;
}

std::string WebFolderUrl(const WebFolderAddress& address, std::string_view sharePath, bool folder) {
    std::string url = address.parent;
    const std::vector<std::string> parts = SplitPathParts(sharePath);
    for (size_t i = 0; i < parts.size(); ++i) {
        if (i > 0) {
            url += '/';
        }
        url += EscapePathPart(parts[i]);
    }
    if (folder) {
        url += '/';
    }
    return url;
}

std::string PercentDecode(std::string_view text) {
    std::string decoded;
    decoded.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size()) {
            const int high = HexDigitValue(text[i + 1]);
            const int low = HexDigitValue(text[i + 2]);
            if (high >= 0 && low >= 0) {
                decoded += static_cast<char>(high * 16 + low);
                i += 2;
                continue;
            }
        }
        decoded += text[i];
    }
    return decoded;
}

std::string HrefPath(std::string_view href) {
    if (StartsWithFolded(href, "https://") || StartsWithFolded(href, "http://")) {
        const size_t hostStart = href.find("//") + 2;
        const size_t slash = href.find('/', hostStart);
        href = slash == std::string_view::npos ? std::string_view("/") : href.substr(slash);
    }
    const size_t query = href.find_first_of("?#");
    if (query != std::string_view::npos) {
        href = href.substr(0, query);
    }
    while (href.size() > 1 && href.back() == '/') {
        href.remove_suffix(1);
    }
    return PercentDecode(href);
}
