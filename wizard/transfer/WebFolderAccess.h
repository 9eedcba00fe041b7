// The way into the user's web folder when the server is not on the local network: the relay's
// link lookup (the launcher's, with its request, reply and time limits), then the password the
// folder takes, from this run, the keyring or the user.
#pragma once

#include "common/relay/HttpClient.h"
#include "wizard/transfer/Authenticator.h"
#include "wizard/transfer/ShareCredentials.h"
#include "wizard/transfer/WebDavReply.h"

#include <functional>
#include <memory>
#include <string>

using WebDavSessionMaker = std::function<std::unique_ptr<CAbstractShareSession>(
    const WebFolderAddress& address, std::shared_ptr<CAbstractCredentialSource> credentials)>;

// What the user is told when the relay does not give the web folder: the launcher's messages.
std::string RelayFailureText(int lookupResult);

class CWebFolderAccess : public CAbstractAuthenticator {
public:
    // The server's name on the relay domain and the user's account name there (may be empty:
    // the user is then asked for it with the password).
    CWebFolderAccess(std::string relayDomain, std::string serverName, std::string userName);

    void SetOwner(CAbstractCredentialsPrompt* prompt) { m_prompt = prompt; }
    void SetHttpClient(CAbstractHttpClient* http) { m_http = http; }
    // Remembered passwords ("davs" entries); null: nothing is remembered.
    void SetCredentialStore(CAbstractCredentialStore* store) { m_store = store; }
    void SetCredentialCache(std::shared_ptr<CCredentialCache> cache) { m_cache = std::move(cache); }
    void SetSessionMaker(WebDavSessionMaker maker) { m_makeSession = std::move(maker); }

    // Looks the web folder up and opens it: true once its listing opens with a password, which
    // the cache then holds for the copy's sessions. A refused password asks again, saying so;
    // a relay that gives no folder, a folder not offered over https, a certificate that cannot
    // be verified or a server that cannot be reached are shown and end it, as does Cancel.
    bool Authenticate() override;

    const std::string& Link() const { return m_link; }
    const WebFolderAddress& Address() const { return m_address; }
    // "user on server (through the relay)", as the user knows the place.
    std::string DisplayName() const;

private:
    // Ok when the folder lists with `credentials`.
    ShareResult Probe(const ShareCredentials& credentials);
    bool Fail(const std::string& message);

    std::string m_relayDomain;
    std::string m_serverName;
    std::string m_userName;
    std::string m_link;
    WebFolderAddress m_address;
    CAbstractCredentialsPrompt* m_prompt = nullptr;
    CAbstractHttpClient* m_http = nullptr;
    CAbstractCredentialStore* m_store = nullptr;
    std::shared_ptr<CCredentialCache> m_cache;
    WebDavSessionMaker m_makeSession;
};
