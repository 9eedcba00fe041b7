#include "wizard/transfer/FileTransferFactory.h"

#include "wizard/transfer/SmbSession.h"

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
    case RemoteHome:
        return std::make_unique<CWebDAVFileTransfer>();
    case RelaySite:
        break;
    }
    return nullptr;
}
