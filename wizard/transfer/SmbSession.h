// SMB share sessions: smb:// addresses for a server and a share path, and the session the copy
// engine, the authenticator and the folder listing use on Linux.
#pragma once

#include "wizard/transfer/ShareAccess.h"
#include "wizard/transfer/ShareCredentials.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

struct SmbEndpoint {
    std::string host;
    uint16_t port = 0; // 0: the share library's default (445, then 139)
};

// The environment variable that names the port of servers whose address carries none; tests
// and the simulated home server use it to reach an smbd on a port of their own.
inline constexpr const char* kSmbPortVariable = "VELMORA_SMB_PORT";

// A server address "a.b.c.d" or "a.b.c.d:port" (a host name works too). Without a port in the
// text the port comes from kSmbPortVariable when it holds one. False for an empty host or a port
// that is not a number from 1 to 65535.
bool ParseServerAddress(std::string_view address, SmbEndpoint& endpoint);

// What a server answers when it is offered SMB1 and SMB2 dialects at once.
enum class SmbDialectOffer {
    Smb2OrLater, // it chose an SMB2 dialect
    Smb1Only,    // it chose SMB1, or none of the dialects, over SMB2
    Unknown,     // no answer, or one that is not SMB
};

// Asks the server at `endpoint` (port 445 when it names none) which protocol it offers, with one
// negotiation request and nothing more; no session is set up. Used to explain a connection that
// the share library could not negotiate.
SmbDialectOffer ProbeSmbDialects(const SmbEndpoint& endpoint, std::chrono::milliseconds timeout);

// "smb://host/share/folder/name" with every part percent-escaped, so that any file name reaches
// the server as it is written (the share library would read '?', '%' or '@' otherwise). The port
// is not part of the address; the session sets it.
std::string BuildSmbUrl(const std::string& host, std::string_view sharePath);

// A session with the server at `serverAddress` ("a.b.c.d[:port]") whose credentials come from
// `credentials` (the process cache when null). Null when the address cannot be read.
std::unique_ptr<CAbstractShareSession>
CreateSmbSession(const std::string& serverAddress,
                 std::shared_ptr<CAbstractCredentialSource> credentials = nullptr);

// The immediate sub-folders of a network folder "\\server\share\folder" (or with '/'), with the
// credentials cached by the process. An empty list, and a diagnostic line on standard output,
// when the folder cannot be listed.
void ListSubFolders(const std::string& networkFolder, std::vector<std::string>& names);
