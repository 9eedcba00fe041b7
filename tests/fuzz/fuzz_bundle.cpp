// Feeds arbitrary bytes to the bundle reader; a bundle it accepts must also answer lookups.
#include "common/ResourceBundle.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    auto bundle = ResourceBundle::Parse({data, size});
    if (bundle) {
        const auto order = bundle->LanguageOrder("de-de");
        for (unsigned id = 100; id < 160; ++id) {
            (void)bundle->FindText(order, id);
        }
        (void)bundle->FindDialogText(order, 102, 0);
        (void)bundle->FindImage("IDB_SPLASH");
    }
    return 0;
}
