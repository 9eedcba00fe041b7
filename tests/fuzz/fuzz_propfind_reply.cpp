// Feeds arbitrary bytes to the web folder's listing reader: no crash, no read past the reply,
// and every resource it gives has a path without a trailing slash.
#include "wizard/transfer/WebDavReply.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view reply(reinterpret_cast<const char*>(data), size);
    std::vector<DavResource> resources;
    const bool parsed = ParseMultistatus(reply, resources);
    if (!parsed && !resources.empty()) {
        std::abort();
    }
    for (const DavResource& resource : resources) {
        if (resource.path.size() > 1 && resource.path.back() == '/') {
            std::abort();
        }
    }
    WebFolderAddress address;
    if (ParseWebFolderLink(reply, address) &&
        (address.share.empty() || address.parent.rfind("https://", 0) != 0)) {
        std::abort();
    }
    return 0;
}
