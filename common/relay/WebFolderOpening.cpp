#include "common/relay/WebFolderOpening.h"

#include "common/relay/RelayAddresses.h"

#include <cstdio>
#include <optional>

OpenOutcome OpenWebFolderLink(CAbstractOpener& opener, const std::string& link,
                              const std::string& displayName) {
    const std::optional<std::string> location = WebFolderLocation(link);
    if (location) {
        std::printf("Opening the web folder \"%s\" at %s\n", displayName.c_str(),
                    location->c_str());
        if (opener.Open(*location).opened) {
            return {true, 0};
        }
    }
    // No file manager takes the WebDAV location: the browser shows the folder instead.
    return opener.Open(link);
}
