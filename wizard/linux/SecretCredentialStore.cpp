// Remembered share credentials in the desktop keyring through libsecret, under the network
// password schema (protocol "smb", server, user, domain, port), where the desktop's own file
// manager keeps them too. Without a session bus nothing is asked at all; with one, every call is
// cancelled after a few seconds, so a bus without a keyring service never holds the wizard up.
#include "wizard/ShareCredentials.h"
#include "wizard/SmbSession.h"

#include <libsecret/secret.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>

namespace {

constexpr auto kKeyringTimeout = std::chrono::seconds(5);
constexpr const char* kProtocol = "smb";

bool HasSessionBus() {
    const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    return address != nullptr && *address != '\0';
}

// A cancellable that cancels itself when the call it guards runs too long.
class CDeadline {
public:
    CDeadline() : m_cancellable(g_cancellable_new()) {
        m_watch = std::thread([this] {
            std::unique_lock lock(m_mutex);
            if (!m_finished.wait_for(lock, kKeyringTimeout, [this] { return m_done; })) {
                g_cancellable_cancel(m_cancellable);
            }
        });
    }
    ~CDeadline() {
        {
            std::lock_guard lock(m_mutex);
            m_done = true;
        }
        m_finished.notify_all();
        m_watch.join();
        g_object_unref(m_cancellable);
    }
    CDeadline(const CDeadline&) = delete;
    CDeadline& operator=(const CDeadline&) = delete;

    GCancellable* Cancellable() const { return m_cancellable; }

private:
    GCancellable* m_cancellable;
    std::mutex m_mutex;
    std::condition_variable m_finished;
    bool m_done = false;
    std::thread m_watch;
};

void Report(const char* what, GError* error) {
    if (error != nullptr) {
        std::printf("Keyring %s failed: %s\n", what, error->message);
        g_error_free(error);
    }
}

class CSecretCredentialStore : public CAbstractCredentialStore {
public:
    std::optional<ShareCredentials> Find(const std::string& server) override {
        SmbEndpoint endpoint;
        if (!HasSessionBus() || !ParseServerAddress(server, endpoint)) {
            return std::nullopt;
        }
        CDeadline deadline;
        GError* error = nullptr;
        GList* items = nullptr;
        const auto flags =
            static_cast<SecretSearchFlags>(SECRET_SEARCH_UNLOCK | SECRET_SEARCH_LOAD_SECRETS);
        if (endpoint.port != 0) {
            items = secret_password_search_sync(SECRET_SCHEMA_COMPAT_NETWORK, flags,
                                                deadline.Cancellable(), &error, "protocol",
                                                kProtocol, "server", endpoint.host.c_str(), "port",
                                                static_cast<int>(endpoint.port), nullptr);
        } else {
            items = secret_password_search_sync(
                SECRET_SCHEMA_COMPAT_NETWORK, flags, deadline.Cancellable(), &error, "protocol",
                kProtocol, "server", endpoint.host.c_str(), nullptr);
        }
        Report("search", error);
        std::optional<ShareCredentials> found;
        for (GList* item = items; item != nullptr && !found; item = item->next) {
            auto* retrievable = static_cast<SecretRetrievable*>(item->data);
            GHashTable* attributes = secret_retrievable_get_attributes(retrievable);
            const auto* user = static_cast<const char*>(g_hash_table_lookup(attributes, "user"));
            const auto* domain =
                static_cast<const char*>(g_hash_table_lookup(attributes, "domain"));
            GError* retrieveError = nullptr;
            SecretValue* value = secret_retrievable_retrieve_secret_sync(
                retrievable, deadline.Cancellable(), &retrieveError);
            Report("read", retrieveError);
            if (user != nullptr && *user != '\0' && value != nullptr) {
                const char* password = secret_value_get_text(value);
                found = ShareCredentials{user, password != nullptr ? password : "",
                                         domain != nullptr ? domain : ""};
            }
            if (value != nullptr) {
                secret_value_unref(value);
            }
            g_hash_table_unref(attributes);
        }
        g_list_free_full(items, g_object_unref);
        return found;
    }

    bool Save(const std::string& server, const ShareCredentials& credentials) override {
        SmbEndpoint endpoint;
        if (credentials.IsAnonymous() || !HasSessionBus() ||
            !ParseServerAddress(server, endpoint)) {
            return false;
        }
        const std::string label = "smb://" + credentials.user + "@" + server;
        CDeadline deadline;
        GError* error = nullptr;
        const char* domain = credentials.domain.c_str();
        gboolean saved = FALSE;
        if (endpoint.port != 0) {
            saved = secret_password_store_sync(
                SECRET_SCHEMA_COMPAT_NETWORK, SECRET_COLLECTION_DEFAULT, label.c_str(),
                credentials.password.c_str(), deadline.Cancellable(), &error, "protocol", kProtocol,
                "server", endpoint.host.c_str(), "user", credentials.user.c_str(), "domain", domain,
                "port", static_cast<int>(endpoint.port), nullptr);
        } else {
            saved = secret_password_store_sync(
                SECRET_SCHEMA_COMPAT_NETWORK, SECRET_COLLECTION_DEFAULT, label.c_str(),
                credentials.password.c_str(), deadline.Cancellable(), &error, "protocol", kProtocol,
                "server", endpoint.host.c_str(), "user", credentials.user.c_str(), "domain", domain,
                nullptr);
        }
        Report("store", error);
        return saved == TRUE;
    }
};

} // namespace

std::unique_ptr<CAbstractCredentialStore> CreateKeyringCredentialStore() {
    return std::make_unique<CSecretCredentialStore>();
}
