#include "wizard/sheet/DestinationAddress.h"

#include "common/branding/Branding.h"
#include "wizard/transfer/SmbSession.h"
#include "wizard/transfer/WebDavReply.h"

std::string DestinationAddress(const std::string& serverAddress, bool personalLibrary,
                               const std::string& destination) {
    SmbEndpoint endpoint;
    if (!ParseServerAddress(serverAddress, endpoint)) {
        return {};
    }
    std::string host = endpoint.host;
    if (endpoint.port != 0) {
        host.append(":").append(std::to_string(endpoint.port));
    }
    return BuildSmbUrl(host, LibraryShareName(personalLibrary) + "/" + destination) + "/";
}

std::string WebFolderDestinationAddress(const std::string& webFolderLink,
                                        const std::string& destination) {
    WebFolderAddress address;
    if (!ParseWebFolderLink(webFolderLink, address)) {
        return {};
    }
    return WebFolderUrl(address, JoinSharePath(address.share, destination), true);
}
