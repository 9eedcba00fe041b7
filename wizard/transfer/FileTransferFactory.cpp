#include "wizard/transfer/FileTransferFactory.h"

#include "common/branding/Branding.h"
#include "common/relay/CurlHttpClient.h"
#include "wizard/transfer/SmbSession.h"
#include "wizard/transfer/WebDavSession.h"
#include "wizard/transfer/WebFolderAccess.h"

CFileTransferFactory::CFileTransferFactory(std::string serverAddress, DeviceKind kind,
                                           uint8_t library)
    : m_serverAddress(std::move(serverAddress)), m_kind(kind), m_library(library),
      m_cache(ProcessCredentialCache()) {}

std::unique_ptr<CAbstractFileTransfer> CFileTransferFactory::Create() {
    switch (m_kind) {
    case LocalDevice: {
        if (!m_store) {
            m_store = CreateKeyringCredentialStore();
        }
        CDialogAuthenticator authenticator(m_serverAddress, m_library);
        authenticator.SetOwner(m_prompt);
        authenticator.SetCredentialStore(m_store.get());
        authenticator.SetCredentialCache(m_cache);
        authenticator.SetDestination(m_location);
        if (!authenticator.Authenticate()) {
            return nullptr;
        }
        std::unique_ptr<CAbstractShareSession> session = CreateSmbSession(m_serverAddress, m_cache);
        if (!session) {
            return nullptr;
        }
        return std::make_unique<CSambaFileTransfer>(std::move(session));
    }
    case RemoteHome: {
        std::unique_ptr<CAbstractCredentialStore> davStore;
        if (!m_store) {
            davStore = CreateKeyringCredentialStore("davs");
        }
        CCurlHttpClient http({}, "snapferry/1.2");
        CWebFolderAccess access(ReadRelayDomain(), m_relayServer, m_relayUser);
        access.SetOwner(m_prompt);
        access.SetHttpClient(&http);
        access.SetCredentialStore(m_store ? m_store.get() : davStore.get());
        access.SetCredentialCache(m_cache);
        if (!access.Authenticate()) {
            return nullptr;
        }
        m_webFolderLink = access.Link();
        const WebFolderAddress address = access.Address();
        std::shared_ptr<CCredentialCache> cache = m_cache;
        return std::make_unique<CWebDAVFileTransfer>(
            [address, cache] { return CreateWebDavSession(address, cache); });
    }
    case RelaySite:
        break;
    }
    return nullptr;
}
