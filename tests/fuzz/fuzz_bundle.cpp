// Feeds arbitrary bytes to the bundle reader, once as they come and once with the header's size
// and checksum made to fit, so that the section parsing behind the checksum is reached too. A
// bundle the reader accepts must also answer lookups.
#include "common/resources/ResourceBundle.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace {

void Exercise(std::span<const unsigned char> bytes) {
    auto bundle = ResourceBundle::Parse(bytes);
    if (!bundle) {
        return;
    }
    const auto order = bundle->LanguageOrder("de-de");
    for (unsigned id = 100; id < 160; ++id) {
        (void)bundle->FindText(order, id);
    }
    (void)bundle->FindDialogText(order, 102, 0);
    (void)bundle->FindImage("IDB_SPLASH");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::span<const unsigned char> bytes(data, size);
    Exercise(bytes);
    if (size >= bundle_format::kHeaderSize) {
        std::vector<unsigned char> sealed(bytes.begin(), bytes.end());
        const auto body = bytes.subspan(bundle_format::kHeaderSize);
        const auto bodySize = static_cast<uint32_t>(body.size());
        const uint32_t crc = bundle_format::Crc32(body);
        for (int i = 0; i < 4; ++i) {
            sealed[8 + i] = static_cast<unsigned char>(bodySize >> (8 * i));
            sealed[12 + i] = static_cast<unsigned char>(crc >> (8 * i));
        }
        Exercise(sealed);
    }
    return 0;
}
