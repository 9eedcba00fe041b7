// Feeds arbitrary text to the settings reader and looks up the keys the programs read.
#include "common/branding/IniFile.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const IniFile ini = IniFile::Parse({reinterpret_cast<const char*>(data), size});
    (void)ini.Find("Default", "ProductName");
    (void)ini.Find("Domain", "Domain");
    (void)ini.Find("", "");
    return 0;
}
