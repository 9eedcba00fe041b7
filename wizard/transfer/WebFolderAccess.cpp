#include "wizard/transfer/WebFolderAccess.h"

#include "common/branding/Branding.h"
#include "common/relay/RelayAddresses.h"
#include "common/relay/RelayNames.h"
#include "common/relay/RemoteLinkLookup.h"
#include "wizard/transfer/TransferTexts.h"
#include "wizard/transfer/WebDavSession.h"

#include <cstdio>
#include <optional>
#include <vector>

namespace {

// A text with one text argument, or the English words around it.
std::string TextWith(unsigned id, const std::string& argument, const std::string& before,
                     const std::string& after) {
    std::string text = FormatBrandedText(id, argument);
    return text.empty() ? before + argument + after : text;
}

} // namespace

std::string RelayFailureText(int lookupResult) {
    using namespace transfer_text;
    unsigned id = kRelayCannotNavigateText;
    switch (RelayMessageFor(lookupResult)) {
    case RelayMessage::ServerError:
        id = kRelayServerErrorText;
        break;
    case RelayMessage::InvalidParameter:
        id = kRelayInvalidParameterText;
        break;
    case RelayMessage::HostUnreachable:
        id = kRelayHostUnreachableText;
        break;
    case RelayMessage::ServiceUnavailable:
        id = kRelayServiceUnavailableText;
        break;
    case RelayMessage::CannotNavigate:
        break;
    }
    const std::string text = FormatBrandedText(id, lookupResult);
    return text.empty() ? "Your web folder cannot be reached through the relay (" +
                              std::to_string(lookupResult) + ")."
                        : text;
}

CWebFolderAccess::CWebFolderAccess(std::string relayDomain, std::string serverName,
                                   std::string userName)
    : m_relayDomain(std::move(relayDomain)), m_serverName(std::move(serverName)),
      m_userName(std::move(userName)), m_cache(ProcessCredentialCache()),
      m_makeSession([](const WebFolderAddress& address,
                       std::shared_ptr<CAbstractCredentialSource> credentials) {
          return CreateWebDavSession(address, std::move(credentials));
      }) {}

std::string CWebFolderAccess::DisplayName() const {
    return WebFolderDisplayName(AsciiLowerCase(m_userName), AsciiLowerCase(m_serverName),
                                m_relayDomain);
}

bool CWebFolderAccess::Fail(const std::string& message) {
    std::printf("%s\n", message.c_str());
    if (m_prompt != nullptr) {
        m_prompt->ShowFailure(message);
    }
    return false;
}

ShareResult CWebFolderAccess::Probe(const ShareCredentials& credentials) {
    std::unique_ptr<CAbstractShareSession> session =
        m_makeSession(m_address, std::make_shared<CFixedCredentialSource>(credentials));
    if (!session) {
        return {ShareStatus::Failed, ENOMEM};
    }
    std::vector<ShareEntry> entries;
    return session->List(m_address.share, entries);
}

bool CWebFolderAccess::Authenticate() {
    if (m_serverName.empty() || m_http == nullptr) {
        return false;
    }
    ShareCredentials typed{m_userName, {}, {}, false};
    bool remember = true;
    bool asked = false;
    if (m_userName.empty()) {
        // The link names the user's own folder: without a name there is nothing to look up.
        if (m_prompt == nullptr ||
            !m_prompt->AskWebFolderPassword(DisplayName(), {}, typed, remember) ||
            typed.user.empty()) {
            return false;
        }
        m_userName = typed.user;
        asked = true;
    }
    const RemoteLinkResult result = LookupRemoteLink(
        *m_http, m_relayDomain, AsciiLowerCase(m_serverName), AsciiLowerCase(m_userName), m_link);
    if (result != kLinkFound) {
        return Fail(RelayFailureText(result));
    }
    if (!ParseWebFolderLink(m_link, m_address)) {
        // Pictures and a password go only over a connection whose certificate is checked.
        return Fail(TextWith(transfer_text::kWebFolderNotSecure, m_link, "The web folder ",
                             " is not offered over a secure connection (https), so nothing is "
                             "sent to it."));
    }

    std::vector<ShareCredentials> candidates;
    if (asked) {
        candidates.push_back(typed);
    }
    if (m_cache) {
        if (std::optional<ShareCredentials> cached = m_cache->Find(m_address.host, m_address.share);
            cached && cached->user == m_userName) {
            candidates.push_back(*cached);
        }
    }
    if (m_store != nullptr) {
        if (std::optional<ShareCredentials> stored = m_store->Find(m_address.host);
            stored && stored->user == m_userName) {
            candidates.push_back(*stored);
        }
    }
    std::string failure;
    bool saveTyped = asked && remember;
    for (size_t attempt = 0;; ++attempt) {
        ShareCredentials credentials;
        if (attempt < candidates.size()) {
            credentials = candidates[attempt];
        } else {
            credentials = {m_userName, {}, {}, false};
            if (m_prompt == nullptr ||
                !m_prompt->AskWebFolderPassword(DisplayName(), failure, credentials, remember)) {
                return false;
            }
            saveTyped = remember;
        }
        const ShareResult probed = Probe(credentials);
        if (probed.ok()) {
            if (m_cache) {
                m_cache->Store(m_address.host, m_address.share, credentials);
            }
            const bool typedNow = attempt >= candidates.size() || (asked && attempt == 0);
            if (typedNow && saveTyped && m_store != nullptr &&
                !m_store->Save(m_address.host, credentials)) {
                std::printf("The web folder's password could not be remembered\n");
            }
            if (credentials.user != RememberedRelayUserName()) {
                RememberRelayUserName(credentials.user);
            }
            return true;
        }
        if (probed.status == ShareStatus::UntrustedCertificate) {
            return Fail(TextWith(transfer_text::kUntrustedCertificate, m_address.host,
                                 "The server of your web folder, ",
                                 ", shows a certificate that cannot be verified. Nothing was "
                                 "sent to it: the connection may not lead to your server."));
        }
        if (probed.status != ShareStatus::AccessDenied) {
            return Fail(ShareFailureText(DisplayName(), probed));
        }
        failure = TextWith(transfer_text::kWebFolderRefused, credentials.user, "The web folder ",
                           " refused this password.");
        m_userName = credentials.user.empty() ? m_userName : credentials.user;
    }
}
