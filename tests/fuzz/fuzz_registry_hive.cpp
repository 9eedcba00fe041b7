// Feeds arbitrary text to the hive parser. Whatever it reads must write back, and what it
// writes must read back whole and write back unchanged: a hive never loses or alters a value
// by being rewritten.
#include "common/registry/RegistryHive.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto hive = ParseRegistryHive(text, kUserHiveRootName);
    const auto written = SerializeRegistryHive(hive.root, kUserHiveRootName);
    if (!written) {
        std::abort();
    }
    const auto reread = ParseRegistryHive(*written, kUserHiveRootName);
    const auto rewritten = SerializeRegistryHive(reread.root, kUserHiveRootName);
    if (!reread.whole || !rewritten || *rewritten != *written) {
        std::abort();
    }
    return 0;
}
