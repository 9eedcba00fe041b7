// Makes sure the library share of the chosen server can be used before any picture is copied:
// with the credentials cached by this process, those remembered in the keyring, or as a guest;
// otherwise by asking the user until the share opens or the user gives up.
#pragma once

#include "wizard/transfer/ShareAccess.h"
#include "wizard/transfer/ShareCredentials.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class CAbstractAuthenticator {
public:
    virtual ~CAbstractAuthenticator() = default;
    // UI thread. True when the share can be used at the end.
    virtual bool Authenticate() = 0;
};

// The front end of the credentials prompt: the wizard's modal dialog, or a script in tests.
class CAbstractCredentialsPrompt {
public:
    virtual ~CAbstractCredentialsPrompt() = default;
    // Asks for the credentials of `share` ("\\server\share"). `failure` says why the last attempt
    // was refused (empty the first time). `credentials` comes in with the values last tried (no
    // password) and goes out with the user's. False when the user cancels.
    virtual bool AskCredentials(const std::string& share, const std::string& failure,
                                ShareCredentials& credentials, bool& remember) = 0;
    // Asks for the password of the user's web folder, `place` ("user on server.domain"),
    // reached through the relay; the dialog says why it asks. `credentials` comes in with the
    // user name (empty: the user types it too). The share prompt unless a front end has its own.
    virtual bool AskWebFolderPassword(const std::string& place, const std::string& failure,
                                      ShareCredentials& credentials, bool& remember) {
        return AskCredentials(place, failure, credentials, remember);
    }
    // A failure that asking again cannot mend.
    virtual void ShowFailure(const std::string& message) = 0;
};

// Opens a session with a server, with the credentials of a source.
using ShareSessionMaker = std::function<std::unique_ptr<CAbstractShareSession>(
    const std::string& server, std::shared_ptr<CAbstractCredentialSource> credentials)>;

// The message shown when a share cannot be used: the share and the reason.
std::string ShareFailureText(const std::string& share, const ShareResult& result);

class CDialogAuthenticator : public CAbstractAuthenticator {
public:
    // The library share's name is read from the branding settings now.
    CDialogAuthenticator(std::string serverAddress, uint8_t library);

    // The prompt, owned by the wizard's window; without one nobody is asked.
    void SetOwner(CAbstractCredentialsPrompt* prompt) { m_prompt = prompt; }
    // Remembered credentials; null: nothing is remembered.
    void SetCredentialStore(CAbstractCredentialStore* store) { m_store = store; }
    // Where working credentials are kept for the sessions of this process.
    void SetCredentialCache(std::shared_ptr<CCredentialCache> cache) { m_cache = std::move(cache); }
    void SetSessionMaker(ShareSessionMaker maker) { m_makeSession = std::move(maker); }
    // Where the pictures are meant to go below the library share ("Photos/Trip"); the write
    // check goes there, or to the nearest folder above it that exists. The share's root when
    // not set.
    void SetDestination(std::string location) { m_location = std::move(location); }

    // Tries the cached and the remembered credentials, then a guest the server maps to its
    // guest account, then an anonymous session (for servers that refuse that guest), then asks.
    // Credentials count only when the share takes a new file with them. Refused credentials, or a
    // share they may not write, ask again with the reason; any other failure (server gone, share
    // missing, a server that only speaks SMB1) is shown at once and ends it.
    bool Authenticate() override;

    // "\\server\share", as the user knows it.
    const std::string& ShareDisplayName() const { return m_shareDisplayName; }
    const std::string& ShareName() const { return m_shareName; }

private:
    // Ok when the share can be listed and written with `credentials` where the pictures go;
    // `opened` tells whether the listing at least worked.
    ShareResult Probe(const ShareCredentials& credentials, bool& opened);
    // Creates and removes an empty file in the destination folder or the nearest one above it
    // that exists.
    ShareResult ProbeWrite(CAbstractShareSession& session);
    void Accept(const ShareCredentials& credentials);

    std::string m_server;
    std::string m_shareName;
    std::string m_shareDisplayName;
    std::string m_location;
    CAbstractCredentialsPrompt* m_prompt = nullptr;
    CAbstractCredentialStore* m_store = nullptr;
    std::shared_ptr<CCredentialCache> m_cache;
    ShareSessionMaker m_makeSession;
};
