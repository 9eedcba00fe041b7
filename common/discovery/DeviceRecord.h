// One home server entry: a server found on the local network, or one of the two built-in entries
// that reach a server through the relay domain.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>

enum DeviceKind : int32_t {
    LocalDevice = 1, // found by listening for announcements
    RemoteHome = 2,  // the remembered server, reached through the relay domain
    RelaySite = 3,   // the relay domain's own site
};

// Names and addresses from the network are kept to this many bytes.
inline constexpr std::size_t kDeviceTextLimit = 255;

struct DeviceRecord {
    std::string addressText; // "a.b.c.d", most significant byte first
    int64_t foundTime = 0;   // seconds since 1970 of the first announcement from this address
    uint32_t address = 0;    // host byte order
    std::string hostName;    // "legacy" for servers that announce none
    std::string cpu;
    DeviceKind kind = LocalDevice;
};

// Found servers by address, ascending (unsigned).
using DeviceTable = std::map<uint32_t, DeviceRecord>;

inline constexpr const char* kLegacyHostName = "legacy";

// "a.b.c.d" of an address in host byte order.
std::string FormatDeviceAddress(uint32_t address);

// The first maxBytes bytes of text, one to three fewer when the cut would split a UTF-8 sequence.
std::string CutText(std::string_view text, std::size_t maxBytes = kDeviceTextLimit);
