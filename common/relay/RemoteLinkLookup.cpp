#include "common/relay/RemoteLinkLookup.h"

#include "common/relay/RelayAddresses.h"

#include <cstdio>

RemoteLinkResult LookupRemoteLink(CAbstractHttpClient& http, std::string_view relayDomain,
                                  std::string_view server, std::string_view user,
                                  std::string& link) {
    const std::optional<std::string> address = LinkLookupAddress(relayDomain, server, user);
    if (!address) {
        std::printf("Link lookup not sent: the address would be longer than %zu characters\n",
                    kMaxAddressLength);
        return kRelayUnusable;
    }
    const HttpReply reply = http.Get(*address);
    switch (reply.outcome) {
    case HttpReply::Outcome::NoReply:
        std::printf("Link lookup %s: no reply (%s)\n", address->c_str(), reply.error.c_str());
        return kRelayNoReply;
    case HttpReply::Outcome::TooLarge:
        std::printf("Link lookup %s: %s\n", address->c_str(), reply.error.c_str());
        return kRelayUnusable;
    case HttpReply::Outcome::Received:
        break;
    }
    if (reply.status == 404) {
        return kRelayNotFound;
    }
    if (reply.status >= 400) {
        std::printf("Link lookup %s: HTTP status %ld\n", address->c_str(), reply.status);
        return kRelayNoReply;
    }
    return InterpretRelayReply(reply.body, link);
}

RelayMessage RelayMessageFor(RemoteLinkResult result) {
    switch (result) {
    case kRelayServerError:
        return RelayMessage::ServerError;
    case kRelayInvalidParameter:
        return RelayMessage::InvalidParameter;
    case kRelayHostUnreachable:
        return RelayMessage::HostUnreachable;
    case kRelayServiceUnavailable:
        return RelayMessage::ServiceUnavailable;
    default:
        return RelayMessage::CannotNavigate;
    }
}
