#include "wizard/transfer/Authenticator.h"

#include "common/branding/Branding.h"
#include "wizard/transfer/SmbSession.h"
#include "wizard/transfer/TransferTexts.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <random>
#include <unistd.h>
#include <vector>

namespace {

// A one-line reason of the prompt in the user's language, or the English words.
std::string PromptReason(unsigned id, const char* english) {
    std::string text = LoadBrandedText(id);
    return text.empty() ? english : text;
}

// What the prompt says after the server refused the credentials.
std::string RefusedText() {
    return PromptReason(transfer_text::kRefused, "The user name or password was not accepted.");
}

// What the prompt says when the share is closed to guests, or only open for reading.
std::string NeedsCredentialsText() {
    return PromptReason(transfer_text::kNeedsCredentials,
                        "This library needs your name and password.");
}

// What the prompt says when the account the user gave may read the library but not write it.
std::string CannotWriteText() {
    return PromptReason(transfer_text::kCannotWrite,
                        "This account may not add files to the library.");
}

// A name no other client picks, so that the probe never touches someone else's file.
std::string WriteProbeName() {
    static std::atomic<unsigned> counter{0};
    std::random_device random;
    char name[96];
    std::snprintf(name, sizeof name, ".snapferry-write-check-%d-%u-%08x%08x.tmp",
                  static_cast<int>(::getpid()), counter.fetch_add(1), random(), random());
    return name;
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

ShareResult CDialogAuthenticator::Probe(const ShareCredentials& credentials, bool& opened) {
    opened = false;
    std::unique_ptr<CAbstractShareSession> session =
        m_makeSession
            ? m_makeSession(m_server, std::make_shared<CFixedCredentialSource>(credentials))
            : nullptr;
    if (!session) {
        return {ShareStatus::Unreachable, 0};
    }
    std::vector<ShareEntry> entries;
    if (ShareResult listed = session->List(m_shareName, entries); !listed.ok()) {
        return listed;
    }
    opened = true;
    // A share that lets us list it may still refuse every file; only an empty file that can be
    // created and removed where the pictures go shows that the copies will go through.
    return ProbeWrite(*session);
}

ShareResult CDialogAuthenticator::ProbeWrite(CAbstractShareSession& session) {
    std::vector<std::string> folders = SplitPathParts(m_location);
    for (;;) {
        std::string folder = m_shareName;
        for (const std::string& part : folders) {
            folder = JoinSharePath(folder, part);
        }
        const std::string probe = JoinSharePath(folder, WriteProbeName());
        std::unique_ptr<CAbstractShareFile> file;
        const ShareResult created = session.CreateNew(probe, file);
        if (!created.ok()) {
            const bool folderMissing = created.status == ShareStatus::NotFound ||
                                       created.status == ShareStatus::NotAFolder;
            if (folderMissing && !folders.empty()) {
                folders.pop_back();
                continue;
            }
            return created;
        }
        const ShareResult closed = file->Close();
        file.reset();
        if (const ShareResult removed = session.Remove(probe); !removed.ok()) {
            std::printf("Cannot remove %s: %s\n", probe.c_str(), removed.Message().c_str());
        }
        return closed;
    }
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
    candidates.push_back(ShareCredentials::NamedGuest());
    candidates.push_back(ShareCredentials{});

    ShareCredentials lastTried;
    std::string failure;
    std::vector<ShareCredentials> tried;
    for (const ShareCredentials& candidate : candidates) {
        if (std::find(tried.begin(), tried.end(), candidate) != tried.end()) {
            continue;
        }
        tried.push_back(candidate);
        bool opened = false;
        const ShareResult result = Probe(candidate, opened);
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
        if (!candidate.IsGuest()) {
            // Credentials that worked before and no longer do: the user hears why.
            lastTried = candidate;
            failure = opened ? CannotWriteText() : RefusedText();
        } else if (failure.empty()) {
            // Closed to guests (or open to them for reading only, or requiring encryption, which
            // a guest session cannot have): the prompt never opens without saying why.
            failure = NeedsCredentialsText();
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
        bool opened = false;
        const ShareResult result = Probe(credentials, opened);
        if (result.ok()) {
            Accept(credentials);
            if (remember && m_store != nullptr && !credentials.IsGuest()) {
                m_store->Save(m_server, credentials);
            }
            return true;
        }
        if (result.status != ShareStatus::AccessDenied) {
            m_prompt->ShowFailure(ShareFailureText(m_shareDisplayName, result));
            return false;
        }
        lastTried = credentials;
        if (credentials.IsGuest()) {
            failure = NeedsCredentialsText();
        } else {
            failure = opened ? CannotWriteText() : RefusedText();
        }
    }
}
