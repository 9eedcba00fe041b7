#include "common/discovery/DeviceRecord.h"

#include <cstdio>

std::string FormatDeviceAddress(uint32_t address) {
    char text[16];
    std::snprintf(text, sizeof text, "%u.%u.%u.%u", (address >> 24) & 0xFFu,
                  (address >> 16) & 0xFFu, (address >> 8) & 0xFFu, address & 0xFFu);
    return text;
}

std::string CutText(std::string_view text, std::size_t maxBytes) {
    if (text.size() <= maxBytes) {
        return std::string(text);
    }
    std::size_t end = maxBytes;
    const auto isContinuation = [&](std::size_t i) {
        return (static_cast<unsigned char>(text[i]) & 0xC0u) == 0x80u;
    };
    // Only back off when the byte after the cut continues a sequence whose lead byte is at most
    // three bytes before it; anything else is not UTF-8 and is cut where it stands.
    if (isContinuation(end)) {
        std::size_t lead = end;
        while (lead > 0 && end - lead < 2 && isContinuation(lead - 1)) {
            --lead;
        }
        if (lead > 0 && (static_cast<unsigned char>(text[lead - 1]) & 0xC0u) == 0xC0u) {
            end = lead - 1;
        }
    }
    return std::string(text.substr(0, end));
}
