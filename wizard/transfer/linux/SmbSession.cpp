// Share sessions over libsmbclient. One context per session, created on first use; every call
// into the library holds one process-wide lock, because the library keeps global state (its
// configuration and talloc stacks) that two threads must not touch at once.
#include "wizard/transfer/SmbSession.h"

#include <libsmbclient.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <mutex>

namespace {

std::mutex& LibraryMutex() {
    static std::mutex mutex;
    return mutex;
}

struct ContextDeleter {
    void operator()(SMBCCTX* context) const {
        // 1: close the context's files and connections even when some are still open.
        smbc_free_context(context, 1);
    }
};
using ContextPtr = std::unique_ptr<SMBCCTX, ContextDeleter>;

constexpr unsigned kDosAttributeDirectory = 0x10;

// How long the explanation of a failed negotiation may take; a server that speaks at all answers
// a negotiation at once.
constexpr std::chrono::milliseconds kDialectProbeTimeout{2000};

// What the share library reports when it cannot agree on a protocol with the server: the
// connection is dropped or the request is "not implemented".
bool MayBeFailedNegotiation(const ShareResult& result) {
    return result.status == ShareStatus::ConnectionLost || result.error == ENOSYS ||
           result.error == EPROTONOSUPPORT || result.error == EPROTO;
}

void CopyInto(char* buffer, int size, const std::string& text) {
    if (buffer != nullptr && size > 0) {
        std::snprintf(buffer, static_cast<size_t>(size), "%s", text.c_str());
    }
}

class CSmbSession;

class CSmbShareFile : public CAbstractShareFile {
public:
    CSmbShareFile(CSmbSession& session, SMBCCTX* context, SMBCFILE* file)
        : m_session(session), m_context(context), m_file(file) {}
    ~CSmbShareFile() override;

    ShareResult Write(const void* data, size_t size) override;
    ShareResult Close() override;

private:
    CSmbSession& m_session;
    SMBCCTX* m_context;
    SMBCFILE* m_file;
};

class CSmbSession : public CAbstractShareSession {
public:
    CSmbSession(std::string serverText, SmbEndpoint endpoint,
                std::shared_ptr<CAbstractCredentialSource> credentials)
        : m_serverText(std::move(serverText)), m_endpoint(std::move(endpoint)),
          m_credentials(std::move(credentials)) {}

    ~CSmbSession() override {
        std::lock_guard lock(LibraryMutex());
        m_context.reset();
    }

    std::string Server() const override { return m_serverText; }

    ShareResult List(const std::string& folder, std::vector<ShareEntry>& entries) override {
        entries.clear();
        return OnPath(folder, 1, [this, &entries](SMBCCTX* context, const std::string& url) {
            SMBCFILE* directory = smbc_getFunctionOpendir(context)(context, url.c_str());
            if (directory == nullptr) {
                return Failure(errno);
            }
            // The library reads the whole listing when it opens the folder; reading it back from
            // memory cannot fail half-way.
            while (const libsmb_file_info* info =
                       smbc_getFunctionReaddirPlus(context)(context, directory)) {
                const std::string name = info->name != nullptr ? info->name : "";
                if (name.empty() || name == "." || name == "..") {
                    continue;
                }
                entries.push_back({name, (info->attrs & kDosAttributeDirectory) != 0, info->size});
            }
            smbc_getFunctionClosedir(context)(context, directory);
            return ShareResult{};
        });
    }

    ShareResult MakeFolder(const std::string& folder) override {
        return OnPath(folder, 2, [this](SMBCCTX* context, const std::string& url) {
            if (smbc_getFunctionMkdir(context)(context, url.c_str(), 0755) != 0) {
                return Failure(errno);
            }
            return ShareResult{};
        });
    }

    ShareResult CreateNew(const std::string& path,
                          std::unique_ptr<CAbstractShareFile>& file) override {
        file.reset();
        return OnPath(path, 2, [this, &file](SMBCCTX* context, const std::string& url) {
            SMBCFILE* handle = smbc_getFunctionOpen(context)(context, url.c_str(),
                                                             O_WRONLY | O_CREAT | O_EXCL, 0644);
            if (handle == nullptr) {
                return Failure(errno);
            }
            ++m_openFiles;
            file = std::make_unique<CSmbShareFile>(*this, context, handle);
            return ShareResult{};
        });
    }

    ShareResult Remove(const std::string& path) override {
        return OnPath(path, 2, [this](SMBCCTX* context, const std::string& url) {
            if (smbc_getFunctionUnlink(context)(context, url.c_str()) != 0) {
                return Failure(errno);
            }
            return ShareResult{};
        });
    }

    // Called with the library lock held.
    ShareResult Failure(int error) {
        ShareResult result = ShareResultFromErrno(error == 0 ? EIO : error);
        if (IsConnectionFailure(result.status)) {
            // The context's connection is gone; the next operation starts a new one.
            m_reconnect = true;
        }
        return result;
    }

    void FileClosed() { --m_openFiles; }

private:
    // Runs `operation` with the library lock held, on a ready context and the address of `path`,
    // once the path is sound and has at least `minimumParts` parts (the share, then a name).
    template <class Operation>
    ShareResult OnPath(const std::string& path, size_t minimumParts, Operation operation) {
        if (!IsSoundSharePath(path) || SplitPathParts(path).size() < minimumParts) {
            return {ShareStatus::InvalidName, EINVAL};
        }
        ShareResult result;
        bool firstAnswer = false;
        {
            std::lock_guard lock(LibraryMutex());
            if (ShareResult ready = Ready(); !ready.ok()) {
                return ready;
            }
            firstAnswer = !m_answered;
            result = operation(m_context.get(), BuildSmbUrl(m_endpoint.host, path));
            m_answered = m_answered || !MayBeFailedNegotiation(result);
        }
        // Only a connection that never got going can have failed on the protocol; asked outside
        // the library lock, because it waits for the network.
        if (firstAnswer && MayBeFailedNegotiation(result) &&
            ProbeSmbDialects(m_endpoint, kDialectProbeTimeout) == SmbDialectOffer::Smb1Only) {
            result.status = ShareStatus::OldProtocolOnly;
        }
        return result;
    }

    // With the library lock held: a context that is ready to use.
    ShareResult Ready() {
        if (m_context && m_reconnect && m_openFiles == 0) {
            m_context.reset();
        }
        if (m_context) {
            return {};
        }
        ContextPtr context(smbc_new_context());
        if (!context) {
            return ShareResultFromErrno(errno == 0 ? ENOMEM : errno);
        }
        smbc_setDebug(context.get(), 0);
        smbc_setOptionDebugToStderr(context.get(), 1);
        smbc_setOptionUserData(context.get(), this);
        smbc_setFunctionAuthDataWithContext(context.get(), &CSmbSession::Authenticate);
        // Exactly the credentials the source gives: no silent fall-back to the guest account
        // after a refused password, no Kerberos ticket of whoever runs the program.
        smbc_setOptionNoAutoAnonymousLogin(context.get(), 1);
        smbc_setOptionUseKerberos(context.get(), 0);
        smbc_setOptionFallbackAfterKerberos(context.get(), 1);
        // SMB1 is never spoken, whatever the system's client settings allow: it is unsafe, and
        // a server that offers nothing else is told apart and explained instead.
        smbc_setOptionProtocols(context.get(), "SMB2_02", nullptr);
        if (m_endpoint.port != 0) {
            smbc_setPort(context.get(), m_endpoint.port);
        }
        if (smbc_init_context(context.get()) == nullptr) {
            const int error = errno;
            // A context that failed to initialise is freed without shutting anything down.
            smbc_free_context(context.release(), 0);
            return ShareResultFromErrno(error == 0 ? EINVAL : error);
        }
        m_context = std::move(context);
        m_reconnect = false;
        m_answered = false;
        return {};
    }

    static void Authenticate(SMBCCTX* context, const char* /*server*/, const char* share,
                             char* workgroup, int workgroupSize, char* user, int userSize,
                             char* password, int passwordSize) {
        auto* self = static_cast<CSmbSession*>(smbc_getOptionUserData(context));
        ShareCredentials credentials;
        if (self != nullptr && self->m_credentials) {
            credentials = self->m_credentials->Lookup(self->m_serverText, share ? share : "");
        }
        CopyInto(user, userSize, credentials.user);
        CopyInto(password, passwordSize, credentials.password);
        if (!credentials.domain.empty()) {
            CopyInto(workgroup, workgroupSize, credentials.domain);
        }
    }

    std::string m_serverText;
    SmbEndpoint m_endpoint;
    std::shared_ptr<CAbstractCredentialSource> m_credentials;
    ContextPtr m_context;
    bool m_reconnect = false;
    bool m_answered = false; // the server has answered this context once
    int m_openFiles = 0;

    friend class CSmbShareFile;
};

CSmbShareFile::~CSmbShareFile() {
    if (m_file != nullptr) {
        Close();
    }
}

ShareResult CSmbShareFile::Write(const void* data, size_t size) {
    if (m_file == nullptr) {
        return {ShareStatus::Failed, EBADF};
    }
    std::lock_guard lock(LibraryMutex());
    const char* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t written = smbc_getFunctionWrite(m_context)(m_context, m_file, bytes, size);
        if (written <= 0) {
            return m_session.Failure(written == 0 ? EIO : errno);
        }
        bytes += written;
        size -= static_cast<size_t>(written);
    }
    return {};
}

ShareResult CSmbShareFile::Close() {
    if (m_file == nullptr) {
        return {ShareStatus::Failed, EBADF};
    }
    std::lock_guard lock(LibraryMutex());
    const int closed = smbc_getFunctionClose(m_context)(m_context, m_file);
    const int error = errno;
    m_file = nullptr;
    m_session.FileClosed();
    if (closed != 0) {
        return m_session.Failure(error);
    }
    return {};
}

} // namespace

std::unique_ptr<CAbstractShareSession>
CreateSmbSession(const std::string& serverAddress,
                 std::shared_ptr<CAbstractCredentialSource> credentials) {
    SmbEndpoint endpoint;
    if (!ParseServerAddress(serverAddress, endpoint)) {
        return nullptr;
    }
    if (!credentials) {
        credentials = ProcessCredentialCache();
    }
    return std::make_unique<CSmbSession>(serverAddress, std::move(endpoint),
                                         std::move(credentials));
}

void ListSubFolders(const std::string& networkFolder, std::vector<std::string>& names) {
    names.clear();
    std::string server;
    std::string folder;
    std::unique_ptr<CAbstractShareSession> session;
    if (ParseNetworkPath(networkFolder, server, folder)) {
        session = CreateSmbSession(server);
    }
    if (!session) {
        std::printf("Invalid File Handle. GetLastError reports %d\n", EINVAL);
        return;
    }
    ListSubFolders(*session, folder, names);
}
