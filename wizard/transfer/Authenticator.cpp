#include "wizard/transfer/Authenticator.h"

#include "common/branding/Branding.h"
#include "wizard/transfer/SmbSession.h"
#include "wizard/transfer/TransferTexts.h"

#include <algorithm>
#include <vector>

namespace {

// What the prompt says after the server refused the credentials.
std::string RefusedText() {
    std::string text = LoadBrandedText(transfer_text::kRefused);
    return text.empty() ? "The user name or password was not accepted." : text;
}

} // namespace

std::string ShareFailureText(const std::string& share, const ShareResult& result) {
    const std::string reason = ShareReasonText(result);
    std::string text = FormatBrandedText(transfer_text::kShareFailure, share, reason);
    return text.empty() ? "The share " + share + " cannot be used: " + reason : text;
}

CDialogAuthenticator::CDialogAuthenticator(std::string serverAddress, uint8_t library)
    : m_server(std::move(serverAddress)), m_shareName(LibraryShareName(library != 0)),
      m_shareDisplayName("\\\\" + m_server + "\\" + m_shareName), m_cache(ProcessCredentialCache()),
      m_makeSession(
          [](const std::string& server, std::shared_ptr<CAbstractCredentialSource> credentials) {
              return CreateSmbSession(server, std::move(credentials));
          }) {}

ShareResult CDialogAuthenticator::Probe(const ShareCredentials& credentials) {
    std::unique_ptr<CAbstractShareSession> session =
        m_makeSession
            ? m_makeSession(m_server, std::make_shared<CFixedCredentialSource>(credentials))
            : nullptr;
    if (!session) {
        return {ShareStatus::Unreachable, 0};
    }
    std::vector<ShareEntry> entries;
    return session->List(m_shareName, entries);
}

void CDialogAuthenticator::Accept(const ShareCredentials& credentials) {
    if (m_cache) {
        m_cache->Store(m_server, m_shareName, credentials);
    }
}

bool CDialogAuthenticator::Authenticate() {
    std::vector<ShareCredentials> candidates;
    if (m_cache) {
        if (std::optional<ShareCredentials> cached = m_cache->Find(m_server, m_shareName)) {
            candidates.push_back(*cached);
        }
    }
    if (m_store != nullptr) {
        if (std::optional<ShareCredentials> remembered = m_store->Find(m_server)) {
            candidates.push_back(*remembered);
        }
    }
    candidates.push_back(ShareCredentials{});

    ShareCredentials lastTried;
    std::string failure;
    std::vector<ShareCredentials> tried;
    for (const ShareCredentials& candidate : candidates) {
        if (std::find(tried.begin(), tried.end(), candidate) != tried.end()) {
            continue;
        }
        tried.push_back(candidate);
        const ShareResult result = Probe(candidate);
        if (result.ok()) {
            Accept(candidate);
            return true;
        }
        if (result.status != ShareStatus::AccessDenied) {
            if (m_prompt != nullptr) {
                m_prompt->ShowFailure(ShareFailureText(m_shareDisplayName, result));
            }
            return false;
        }
        if (!candidate.IsAnonymous()) {
            // Credentials that worked before and no longer do: the user hears why.
            lastTried = candidate;
            failure = RefusedText();
        }
    }

    if (m_prompt == nullptr) {
        return false;
    }
    for (;;) {
        ShareCredentials credentials = lastTried;
        credentials.password.clear();
        bool remember = false;
        if (!m_prompt->AskCredentials(m_shareDisplayName, failure, credentials, remember)) {
            return false;
        }
        const ShareResult result = Probe(credentials);
        if (result.ok()) {
            Accept(credentials);
            if (remember && m_store != nullptr && !credentials.IsAnonymous()) {
                m_store->Save(m_server, credentials);
            }
            return true;
        }
        if (result.status != ShareStatus::AccessDenied) {
            m_prompt->ShowFailure(ShareFailureText(m_shareDisplayName, result));
            return false;
        }
        lastTried = credentials;
        failure = RefusedText();
    }
}
