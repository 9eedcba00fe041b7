// Feeds arbitrary bytes to the relay reply reader: no crash, no read past the reply, and a link
// only ever comes with result 0.
#include "common/relay/WebDavLink.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string reply(reinterpret_cast<const char*>(data), size);
    std::string link = "untouched";
    const RemoteLinkResult result = InterpretRelayReply(reply, link);
    if (result != kLinkFound && link != "untouched") {
        std::abort();
    }
    kvWebDavLinkXmlParser parser;
    parser.Parse(reply);
    kvWebDavLink record;
    parser.Extract(record);
    if (record.ErrorText().size() > kMaxErrorTextLength) {
        std::abort();
    }
    return 0;
}
