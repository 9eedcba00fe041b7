// What the programs send to the home server and to the relay service, in one place.
#pragma once

#include <cstdint>

namespace endpoints {

// Servers announce themselves in datagrams to this port; the programs only listen.
inline constexpr uint16_t kAnnouncementPort = 1234;
inline constexpr int kLauncherLocateSeconds = 5;
inline constexpr int kWizardLocateSeconds = 10;

// The server's web interface, with its dotted address.
inline constexpr const char* kLocalWebAddressFormat = "http://%s/?local=1";

// The relay's web site: "www." + relay domain, then optionally the remembered server name.
inline constexpr const char* kRelayHostPrefix = "www.";
inline constexpr const char* kRelaySiteFormat = "http://%s/";
inline constexpr const char* kRelaySiteServerFormat = "http://%s/?velname=%s";

// Link lookup of a user's web folder on a server, HTTP/1.0 GET on the relay host.
inline constexpr const char* kLinkLookupPath = "/getmydisk";
inline constexpr const char* kLinkLookupServerKey = "d";
inline constexpr const char* kLinkLookupUserKey = "u";

// Shares of the server are reached as smb://ADDRESS/SHARE/...
inline constexpr const char* kShareScheme = "smb://";

} // namespace endpoints
