// Feeds arbitrary datagrams to the announcement reader and the server-name rule. The sanitizers
// catch any read outside the datagram; the checks catch names longer than a record keeps.
#include "common/discovery/Announcement.h"
#include "common/discovery/DeviceRecord.h"
#include "common/discovery/ServerName.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // A copy of exactly the datagram's size, so that reading one byte past it is caught.
    std::unique_ptr<char[]> datagram(new char[size]);
    for (size_t i = 0; i < size; ++i) {
        datagram[i] = static_cast<char>(data[i]);
    }
    const Announcement announcement = ParseAnnouncement(std::string_view(datagram.get(), size));
    if (announcement.hostName.size() > kDeviceTextLimit ||
        announcement.cpu.size() > kDeviceTextLimit || announcement.matchedFields > 7) {
        std::abort();
    }
    DeviceRecord record;
    record.addressText = "192.0.2.1";
    record.hostName = announcement.hostName;
    const auto name = ServerNameOf(record);
    if (name && (name->size() > record.hostName.size() || name->find('.') != std::string::npos)) {
        std::abort();
    }
    return 0;
}
