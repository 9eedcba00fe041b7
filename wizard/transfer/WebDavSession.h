// The user's web folder as a share session: WebDAV over HTTPS with libcurl, so that the copy
// engine, its numbering, rollback and read-back work on it as on a library share. The web
// folder's own name stands for the share in share paths.
#pragma once

#include "wizard/transfer/ShareAccess.h"
#include "wizard/transfer/ShareCredentials.h"
#include "wizard/transfer/WebDavReply.h"

#include <chrono>
#include <memory>
#include <string>

struct WebDavLimits {
    std::chrono::milliseconds connectTimeout{10'000};
    // A request without a body of ours, answered or not within this time.
    std::chrono::milliseconds requestTimeout{30'000};
    // An upload that moves no byte for this long has lost its server.
    std::chrono::seconds stallTimeout{20};
};

// A session with the web folder at `address`, logging in with what `credentials` gives for
// (host, share). Every request is HTTPS with the server's certificate checked against the
// system's authorities (VELMORA_CA_BUNDLE replaces them, for tests).
std::unique_ptr<CAbstractShareSession>
CreateWebDavSession(const WebFolderAddress& address,
                    std::shared_ptr<CAbstractCredentialSource> credentials,
                    WebDavLimits limits = {});
