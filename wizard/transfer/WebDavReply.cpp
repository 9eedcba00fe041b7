#include "wizard/transfer/WebDavReply.h"

#include "wizard/transfer/ShareAccess.h"

#include <tinyxml2.h>

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

int HexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
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

// The local part of an element name: "D:href" and "href" both give "href".
std::string_view LocalName(const tinyxml2::XMLElement* element) {
    const char* name = element->Name();
    if (name == nullptr) {
        return {};
    }
    const char* colon = std::strrchr(name, ':');
    return colon != nullptr ? std::string_view(colon + 1) : std::string_view(name);
}

const tinyxml2::XMLElement* Child(const tinyxml2::XMLElement* parent, std::string_view name) {
    for (const tinyxml2::XMLElement* child = parent ? parent->FirstChildElement() : nullptr;
         child != nullptr; child = child->NextSiblingElement()) {
        if (LocalName(child) == name) {
            return child;
        }
    }
    return nullptr;
}

// "HTTP/1.1 200 OK" and the like: true for a 2xx status.
bool IsSuccessStatus(const char* text) {
    if (text == nullptr) {
        return false;
    }
    const char* space = std::strchr(text, ' ');
    return space != nullptr && space[1] == '2';
}

bool ParseSize(const char* text, uint64_t& size) {
    if (text == nullptr || *text == '\0') {
        return false;
    }
    uint64_t value = 0;
    for (const char* c = text; *c != '\0'; ++c) {
        if (*c < '0' || *c > '9') {
            return false;
        }
        const uint64_t digit = static_cast<uint64_t>(*c - '0');
        if (value > (std::numeric_limits<uint64_t>::max() - digit) / 10) {
            return false;
        }
        value = value * 10 + digit;
    }
    size = value;
    return true;
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
            const int high = HexValue(text[i + 1]);
            const int low = HexValue(text[i + 2]);
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

bool ParseMultistatus(std::string_view reply, std::vector<DavResource>& resources) {
    tinyxml2::XMLDocument document;
    if (document.Parse(reply.data(), reply.size()) != tinyxml2::XML_SUCCESS) {
        return false;
    }
    const tinyxml2::XMLElement* multistatus = document.RootElement();
    if (multistatus == nullptr || LocalName(multistatus) != "multistatus") {
        return false;
    }
    for (const tinyxml2::XMLElement* response = multistatus->FirstChildElement();
         response != nullptr; response = response->NextSiblingElement()) {
        if (LocalName(response) != "response") {
            continue;
        }
        const tinyxml2::XMLElement* href = Child(response, "href");
        if (href == nullptr || href->GetText() == nullptr) {
            continue;
        }
        DavResource resource;
        resource.path = HrefPath(href->GetText());
        bool found = false;
        for (const tinyxml2::XMLElement* propstat = response->FirstChildElement();
             propstat != nullptr; propstat = propstat->NextSiblingElement()) {
            if (LocalName(propstat) != "propstat" ||
                !IsSuccessStatus(Child(propstat, "status") ? Child(propstat, "status")->GetText()
                                                           : nullptr)) {
                continue;
            }
            const tinyxml2::XMLElement* prop = Child(propstat, "prop");
            if (prop == nullptr) {
                continue;
            }
            found = true;
            if (const tinyxml2::XMLElement* type = Child(prop, "resourcetype")) {
                resource.isFolder = resource.isFolder || Child(type, "collection") != nullptr;
            }
            if (const tinyxml2::XMLElement* length = Child(prop, "getcontentlength")) {
                ParseSize(length->GetText(), resource.size);
            }
        }
        if (found) {
            resources.push_back(std::move(resource));
        }
    }
    return true;
}
