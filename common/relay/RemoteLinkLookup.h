// The link lookup: asks the relay service where a user's web folder on a server is.
#pragma once

#include "common/relay/HttpClient.h"
#include "common/relay/WebDavLink.h"

#include <string>
#include <string_view>

// GET http://www.DOMAIN/getmydisk?d=SERVER&u=USER (names escaped; the caller lower-cases them)
// and read the reply. `link` is written only for kLinkFound.
//   kRelayNoReply   no reply at all, or an HTTP failure status other than 404
//   kRelayNotFound  status 404, or a reply that says "404 Not Found"
//   kRelayUnusable  an address over 255 characters, a reply over the size limit, or a reply
//                   without a usable answer
// otherwise the error number of the reply.
RemoteLinkResult LookupRemoteLink(CAbstractHttpClient& http, std::string_view relayDomain,
                                  std::string_view server, std::string_view user,
                                  std::string& link);

// What a user is told of a lookup result other than kLinkFound: the relay's errors 1 to 4 each
// have a message of their own, every other result says that the folder cannot be reached.
enum class RelayMessage {
    ServerError,
    InvalidParameter,
    HostUnreachable,
    ServiceUnavailable,
    CannotNavigate
};
RelayMessage RelayMessageFor(RemoteLinkResult result);
