// The web folder's side of a copy, without the network: where a share path lives on the server,
// and what a PROPFIND reply (a multistatus document) says about a folder's entries.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// A web folder as the relay names it, "https://host[:port]/base/FOLDER/": the address of its
// parent ("https://host[:port]/base/") and its own name, which stands for the share in share
// paths ("FOLDER/Pictures/Holiday 1.jpg").
struct WebFolderAddress {
    std::string parent; // ends with '/'
    std::string share;  // decoded
    std::string host;   // as the link names it, with its port
};

// False for anything but an https link with a host and a folder below the root: the web folder
// is only ever reached over a connection whose certificate is checked.
bool ParseWebFolderLink(std::string_view link, WebFolderAddress& address);

// The address of a share path in the web folder, every part percent-escaped; a folder's address
// ends with '/'.
std::string WebFolderUrl(const WebFolderAddress& address, std::string_view sharePath, bool folder);

// %XX sequences decoded; a '%' without two hex digits stays as it is.
std::string PercentDecode(std::string_view text);

struct DavResource {
    std::string path; // the href's path, decoded, without a trailing '/'
    bool isFolder = false;
    uint64_t size = 0;
};

// The resources a multistatus reply lists with a successful status (a propstat of 2xx). False
// when the reply is no multistatus document. Element names are matched by their local name, as
// servers choose their own namespace prefixes; the namespace itself is not checked.
bool ParseMultistatus(std::string_view reply, std::vector<DavResource>& resources);

// The path part of an href, which may be a whole address or a path, decoded and without a
// trailing '/'.
std::string HrefPath(std::string_view href);
