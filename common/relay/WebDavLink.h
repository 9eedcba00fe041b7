// The relay's answer to a link lookup: a small XML document
//   <mydisk><error number="0" text="..."/><link href="https://..."/></mydisk>
// read into a kvWebDavLink. Element names match in any letter case, attribute names exactly.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include <tinyxml2.h>

// The result of a link lookup: 0 (the link was found), the relay's own error numbers 1 to 4 (or
// any other number it sends), or one of the launcher's own outcomes below.
using RemoteLinkResult = int;
inline constexpr RemoteLinkResult kLinkFound = 0;
inline constexpr RemoteLinkResult kRelayServerError = 1;
inline constexpr RemoteLinkResult kRelayInvalidParameter = 2;
inline constexpr RemoteLinkResult kRelayHostUnreachable = 3;
inline constexpr RemoteLinkResult kRelayServiceUnavailable = 4;
inline constexpr RemoteLinkResult kRelayNoReply = 5;   // no connection, time-out, failing status
inline constexpr RemoteLinkResult kRelayNotFound = 6;  // the reply says "404 Not Found"
inline constexpr RemoteLinkResult kRelayUnusable = -1; // no usable answer in the reply

// The error text is kept to this many characters; it is never shown.
inline constexpr std::size_t kMaxErrorTextLength = 255;

class kvWebDavLink {
public:
    virtual ~kvWebDavLink() = default;

    // The link is kept whole: whether it may be used is the caller's decision, and a cut link
    // would name another place.
    void SetLink(std::string_view link) { m_link = link; }
    void SetError(int number, std::string_view text);
    // True exactly when the error number is 0.
    bool IsValid() const { return m_errorNumber == 0; }

    const std::string& Link() const { return m_link; }
    int ErrorNumber() const { return m_errorNumber; }
    const std::string& ErrorText() const { return m_errorText; }

private:
    std::string m_link;
    int m_errorNumber = kRelayUnusable;
    std::string m_errorText;
};

class kvWebDavLinkXmlParser {
public:
    virtual ~kvWebDavLinkXmlParser() = default;

    // Parses the reply; the text ends at its first NUL byte, if any. False when it is no
    // well-formed document (Extract then finds nothing).
    bool Parse(std::string_view reply);
    // Fills the record from the "mydisk" element at the top of the document: the "error"
    // element's "number" (and "text") and the "link" element's "href". Without "mydisk", or
    // without an "error" with a "number", the error number stays as it was.
    void Extract(kvWebDavLink& link) const;

    // The first child element of `node` whose name equals `name` in any letter case.
    static const tinyxml2::XMLElement* FindChildElement(const tinyxml2::XMLNode* node,
                                                        std::string_view name);
    // The attribute of that exact name, or null.
    static const char* GetAttribute(const tinyxml2::XMLElement* element, const char* name);

private:
    tinyxml2::XMLDocument m_document;
};

// A decimal number as C's atoi reads it (leading white space, an optional sign, the digits up to
// the first other character; 0 without digits), held at the int limits instead of wrapping, so
// that no error number can turn into 0.
int ParseErrorNumber(std::string_view text);

// The result a reply body gives: kRelayNotFound when it holds "404 Not Found" anywhere, else the
// error number of the parsed reply. Only for kLinkFound is `link` set (possibly to an empty
// text, when the reply carries none).
RemoteLinkResult InterpretRelayReply(std::string_view reply, std::string& link);
