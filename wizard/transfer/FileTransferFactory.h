// Makes the transfer object for the chosen server, after making sure its library share can be
// used.
#pragma once

#include "common/discovery/DeviceRecord.h"
#include "wizard/transfer/Authenticator.h"
#include "wizard/transfer/FileTransfer.h"

#include <cstdint>
#include <memory>
#include <string>

class CAbstractFileTransferFactory {
public:
    virtual ~CAbstractFileTransferFactory() = default;
    // UI thread. The caller owns the result; null keeps the wizard on its page.
    virtual std::unique_ptr<CAbstractFileTransfer> Create() = 0;
};

class CFileTransferFactory : public CAbstractFileTransferFactory {
public:
    // `serverAddress` is the server's address text ("a.b.c.d"); `library` 0 is the family
    // library, any other value the personal one.
    CFileTransferFactory(std::string serverAddress, DeviceKind kind, uint8_t library);

    // The prompt of the wizard's window; without one nobody is asked for credentials.
    void SetOwner(CAbstractCredentialsPrompt* prompt) { m_prompt = prompt; }
    // Remembered credentials; the desktop keyring unless set.
    void SetCredentialStore(std::shared_ptr<CAbstractCredentialStore> store) {
        m_store = std::move(store);
    }
    void SetCredentialCache(std::shared_ptr<CCredentialCache> cache) { m_cache = std::move(cache); }
    // Where the pictures are meant to go below the library share, as far as it is known yet;
    // the check that the share may be written goes there.
    void SetDestination(std::string location) { m_location = std::move(location); }

    // The names the relay knows the remembered server and the user by, for a RemoteHome
    // server; the user name may be empty (the password dialog asks for it).
    void SetRelayNames(std::string serverName, std::string userName) {
        m_relayServer = std::move(serverName);
        m_relayUser = std::move(userName);
    }

    // A server found on the local network: authenticate against the library share, then a
    // transfer over SMB. A remembered server reached through the relay: its web folder looked
    // up and opened, then a transfer over WebDAV into it. Anything else: none.
    std::unique_ptr<CAbstractFileTransfer> Create() override;

    // After a Create for a server reached through the relay: the web folder's address.
    const std::string& WebFolderLink() const { return m_webFolderLink; }

private:
    std::string m_serverAddress;
    DeviceKind m_kind;
    uint8_t m_library;
    std::string m_location;
    CAbstractCredentialsPrompt* m_prompt = nullptr;
    std::shared_ptr<CAbstractCredentialStore> m_store;
    std::shared_ptr<CCredentialCache> m_cache;
    std::string m_relayServer;
    std::string m_relayUser;
    std::string m_webFolderLink;
};
