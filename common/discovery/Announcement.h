// The text a home server broadcasts to say it is there, and how it is read.
//
// A server sends, to UDP port 1234,
//   Hello there. I am at %d.%d.%d.%d. Time is %ld and I am hungry.Hostname:<%[^>]>.CPU:<%[^>]>
// read with the matching rules of scanf conversions: a blank matches any run of white space, also
// none; a number may carry leading white space and a sign; matching stops at the first difference
// and what follows keeps its default. Older servers end after "hungry." and have no host name.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

struct Announcement {
    // The address the server believes it has. Only used to reject all-zero announcements; the
    // record is keyed by the datagram's source address.
    std::array<int64_t, 4> announcedAddress{};
    int64_t time = 0;                // the server's clock; 0 means not a valid announcement
    std::string hostName = "legacy"; // empty when the server announces an empty one
    std::string cpu;                 // empty when absent
    int matchedFields = 0;           // conversions of the template that matched (0 to 7)
};

// Reads one datagram. The text is exactly its bytes; a NUL byte ends it as it ends any text.
// Names are cut to kDeviceTextLimit bytes. Never reads outside the datagram.
Announcement ParseAnnouncement(std::string_view datagram);

// An announcement is kept unless its time is 0 or all four announced numbers are 0.
bool IsAcceptedAnnouncement(const Announcement& announcement);
