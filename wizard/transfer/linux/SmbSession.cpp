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
#include <sys/stat.h>

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

// How long one request may wait for the server's answer. A server that stops answering in the
// middle of a copy (frozen, or its machine gone without closing the connection) is given up on
// after this, instead of the minutes the connection would otherwise hang; a 1 MiB piece needs
// less than a megabit per second to arrive in time.
constexpr int kRequestTimeoutMs = 10000;

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
    // The server stopped answering while this file was written: closing it would only wait for
    // the same time-out again, twice.
    bool m_abandoned = false;
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

    ShareResult Stat(const std::string& path, ShareEntry& entry) override {
        return OnPath(path, 1, [this, &path, &entry](SMBCCTX* context, const std::string& url) {
            const ShareResult result = StatLocked(context, url, entry);
            const std::vector<std::string> parts = SplitPathParts(path);
            entry.name = parts.empty() ? std::string() : parts.back();
            return result;
        });
    }

    ShareResult RenameNew(const std::string& from, const std::string& to) override {
        if (!IsSoundSharePath(to) || SplitPathParts(to).size() < 2) {
            return {ShareStatus::InvalidName, EINVAL};
        }
        const std::string target = BuildSmbUrl(m_endpoint.host, to);
        return OnPath(from, 2, [this, &target](SMBCCTX* context, const std::string& url) {
            // The library's rename replaces a taken name (it removes the file there and tries
            // again), so a taken name is looked for first. What remains is the moment between
            // the look and the rename, in which only a program that does not reserve names as
            // the copies do could make a file of that name.
            ShareEntry existing;
            if (const ShareResult found = StatLocked(context, target, existing); found.ok()) {
                return ShareResult{ShareStatus::AlreadyExists, EEXIST};
            } else if (found.status != ShareStatus::NotFound) {
                return found;
            }
            if (smbc_getFunctionRename(context)(context, url.c_str(), context, target.c_str()) !=
                0) {
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
        if (error == ETIMEDOUT) {
            m_unanswered = true;
        }
        return result;
    }

    void FileClosed() { --m_openFiles; }

private:
    // With the library lock held.
    ShareResult StatLocked(SMBCCTX* context, const std::string& url, ShareEntry& entry) {
        struct stat status {};
        if (smbc_getFunctionStat(context)(context, url.c_str(), &status) != 0) {
            return Failure(errno);
        }
        entry.isFolder = S_ISDIR(status.st_mode);
        entry.size = static_cast<uint64_t>(status.st_size);
        return {};
    }

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
            if (m_unanswered) {
                // Shutting the context down would close its files and connections over a
                // connection whose server does not answer, each close waiting for the time-out.
                // Without the shutdown the library frees it only when nothing is open; otherwise
                // it is given up, with its sockets, once for each server that froze.
                SMBCCTX* context = m_context.release();
                if (smbc_free_context(context, 0) != 0) {
                    std::printf("Leaving the connection to %s that stopped answering\n",
                                m_serverText.c_str());
                }
            }
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
        smbc_setTimeout(context.get(), kRequestTimeoutMs);
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
        m_unanswered = false;
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
    bool m_unanswered = false; // a request of this context timed out
    bool m_answered = false;   // the server has answered this context once
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
            const int error = written == 0 ? EIO : errno;
            m_abandoned = error == ETIMEDOUT;
            return m_session.Failure(error);
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
    if (m_abandoned) {
        m_file = nullptr;
        m_session.FileClosed();
        return {ShareStatus::Unreachable, ETIMEDOUT};
    }
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
