#include "common/relay/WebDavLink.h"

#include <climits>

namespace {

bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        auto lower = [](char c) {
            return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
        };
        if (lower(a[i]) != lower(b[i])) {
            return false;
        }
    }
    return true;
}

// The text cut to `limit` bytes without splitting a UTF-8 sequence.
std::string_view CutUtf8(std::string_view text, std::size_t limit) {
    if (text.size() <= limit) {
        return text;
    }
    std::size_t end = limit;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) {
        --end;
    }
    return text.substr(0, end);
}

} // namespace

void kvWebDavLink::SetError(int number, std::string_view text) {
    m_errorNumber = number;
    m_errorText = CutUtf8(text, kMaxErrorTextLength);
}

bool kvWebDavLinkXmlParser::Parse(std::string_view reply) {
    const std::size_t nul = reply.find('\0');
    if (nul != std::string_view::npos) {
        reply = reply.substr(0, nul);
    }
    return m_document.Parse(reply.data(), reply.size()) == tinyxml2::XML_SUCCESS;
}

void kvWebDavLinkXmlParser::Extract(kvWebDavLink& link) const {
    const tinyxml2::XMLElement* mydisk = FindChildElement(&m_document, "mydisk");
    if (mydisk == nullptr) {
        return;
    }
    if (const tinyxml2::XMLElement* error = FindChildElement(mydisk, "error")) {
        if (const char* number = GetAttribute(error, "number")) {
            const char* text = GetAttribute(error, "text");
            link.SetError(ParseErrorNumber(number), text != nullptr ? text : "");
        }
    }
    if (const tinyxml2::XMLElement* linkElement = FindChildElement(mydisk, "link")) {
        if (const char* href = GetAttribute(linkElement, "href")) {
            link.SetLink(href);
        }
    }
}

const tinyxml2::XMLElement* kvWebDavLinkXmlParser::FindChildElement(const tinyxml2::XMLNode* node,
                                                                    std::string_view name) {
    if (node == nullptr) {
        return nullptr;
    }
    for (const tinyxml2::XMLElement* child = node->FirstChildElement(); child != nullptr;
         child = child->NextSiblingElement()) {
        const char* childName = child->Name();
        if (childName != nullptr && EqualsIgnoringAsciiCase(childName, name)) {
            return child;
        }
    }
    return nullptr;
}

const char* kvWebDavLinkXmlParser::GetAttribute(const tinyxml2::XMLElement* element,
                                                const char* name) {
    return element != nullptr ? element->Attribute(name) : nullptr;
}

int ParseErrorNumber(std::string_view text) {
    std::size_t pos = 0;
    while (pos < text.size() && (text[pos] == ' ' || (text[pos] >= '\t' && text[pos] <= '\r'))) {
        ++pos;
    }
    bool negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
        negative = text[pos] == '-';
        ++pos;
    }
    long long value = 0;
    for (; pos < text.size() && text[pos] >= '0' && text[pos] <= '9'; ++pos) {
        value = value * 10 + (text[pos] - '0');
        if (value > static_cast<long long>(INT_MAX) + 1) {
            value = static_cast<long long>(INT_MAX) + 1; // stays out of range whatever follows
        }
    }
    if (negative) {
        value = -value;
    }
    if (value > INT_MAX) {
        return INT_MAX;
    }
    if (value < INT_MIN) {
        return INT_MIN;
    }
    return static_cast<int>(value);
}

RemoteLinkResult InterpretRelayReply(std::string_view reply, std::string& link) {
    if (reply.find("404 Not Found") != std::string_view::npos) {
        return kRelayNotFound;
    }
    kvWebDavLinkXmlParser parser;
    parser.Parse(reply);
    kvWebDavLink record;
    parser.Extract(record);
    if (record.IsValid()) {
        link = record.Link();
    }
    return record.ErrorNumber();
}
