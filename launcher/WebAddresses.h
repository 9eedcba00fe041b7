// The addresses the launcher opens or asks for, built from the server choice, the relay domain
// and the remembered names. Pure functions: nothing here touches the network or the desktop.
#pragma once

#include "common/relay/RelayAddresses.h"
#include "launcher/ServerChoice.h"

#include <optional>
#include <string>
#include <string_view>

// Four decimal numbers 0..255 joined by dots, nothing else.
bool IsDottedIPv4Address(std::string_view text);

// The web address "/web" opens for a choice; none for Cancelled and Invalid, and none for a
// local server whose address is not a dotted IPv4 address.
//   LocalDevice: http://ADDRESS/?local=1
//   RemoteHome:  http://www.DOMAIN/?velname=NAME, or http://www.DOMAIN/ without a remembered name
//   RelaySite:   http://www.DOMAIN/
std::optional<std::string> WebAddressForChoice(ServerChoice choice, std::string_view localAddress,
                                               std::string_view relayDomain,
                                               std::string_view rememberedServerName);

// The server's network root, smb://ADDRESS/, for a dotted IPv4 address; none otherwise.
std::optional<std::string> ShareRootAddress(std::string_view address);
