// The multistatus reply of a PROPFIND, read with tinyxml2.
#include "wizard/transfer/WebDavReply.h"

#include <tinyxml2.h>

#include <cstring>
#include <limits>

namespace {

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
