// Credentials for a server's shares: the process-wide cache the share sessions read, and the
// interface of the store that remembers credentials across runs (the desktop keyring).
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>

struct ShareCredentials {
    std::string user; // empty: an anonymous session
    std::string password;
    std::string domain;
    // Stands for the server's guest account rather than for a person's account.
    bool guest = false;

    bool IsAnonymous() const { return user.empty(); }
    bool IsGuest() const { return guest || IsAnonymous(); }
    bool operator==(const ShareCredentials&) const = default;

    // A guest that the server maps to its guest account: a user name no server is meant to know,
    // with a password (an empty one always gives an anonymous session). Unlike an anonymous
    // session, such a guest owns the folders it makes, so it can write into them on a share with
    // the usual settings (folders made 0755). A server that knows the name, or maps no unknown
    // user to its guest, refuses it.
    static ShareCredentials NamedGuest();
};

// Where a share session gets the credentials for a server and share. Called from inside the
// share library on every operation: it answers at once and never asks the user.
class CAbstractCredentialSource {
public:
    virtual ~CAbstractCredentialSource() = default;
    virtual ShareCredentials Lookup(const std::string& server, const std::string& share) = 0;
};

// Always the same credentials.
class CFixedCredentialSource : public CAbstractCredentialSource {
public:
    explicit CFixedCredentialSource(ShareCredentials credentials)
        : m_credentials(std::move(credentials)) {}
    ShareCredentials Lookup(const std::string&, const std::string&) override {
        return m_credentials;
    }

private:
    ShareCredentials m_credentials;
};

// Credentials that worked, by server and share; safe to use from any thread. A lookup for a
// share that has none of its own gets the server's most recently stored credentials, so a
// session authenticated for one library reaches the other with the same account.
class CCredentialCache : public CAbstractCredentialSource {
public:
    void Store(const std::string& server, const std::string& share,
               const ShareCredentials& credentials);
    std::optional<ShareCredentials> Find(const std::string& server, const std::string& share) const;
    void Clear();

    ShareCredentials Lookup(const std::string& server, const std::string& share) override;

private:
    mutable std::mutex m_mutex;
    std::map<std::pair<std::string, std::string>, ShareCredentials> m_byShare;
    std::map<std::string, ShareCredentials> m_byServer;
};

// The cache every share session of the process reads unless it is given another source.
std::shared_ptr<CCredentialCache> ProcessCredentialCache();

// Credentials remembered across runs for a server.
class CAbstractCredentialStore {
public:
    virtual ~CAbstractCredentialStore() = default;
    virtual std::optional<ShareCredentials> Find(const std::string& server) = 0;
    virtual bool Save(const std::string& server, const ShareCredentials& credentials) = 0;
};

// The desktop keyring, its entries of `protocol` ("smb" for shares, "davs" for the web folder;
// the server is "host[:port]"). Without a keyring service it finds nothing and saves nothing,
// quickly.
std::unique_ptr<CAbstractCredentialStore>
CreateKeyringCredentialStore(const char* protocol = "smb");
