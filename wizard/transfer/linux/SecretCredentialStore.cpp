// Remembered credentials in the desktop keyring through libsecret, under the network password
// schema (protocol "smb" for shares, "davs" for the web folder; server, user, domain, port), where
// the desktop's own file manager keeps them too. Without a session bus nothing is asked at all;
// with one, no call is waited for longer than a few seconds, so a bus without a keyring never holds
// the wizard up.
#include "wizard/transfer/ShareCredentials.h"
#include "wizard/transfer/SmbSession.h"

#include <libsecret/secret.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <future>
#include <memory>
#include <optional>
#include <thread>

namespace {

// Long enough for a keyring service that answers; short enough that a wizard never seems hung.
constexpr auto kKeyringTimeout = std::chrono::seconds(3);

bool HasSessionBus() {
    const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    return address != nullptr && *address != '\0';
}

void Report(const char* what, GError* error) {
    if (error != nullptr) {
        std::printf("Keyring %s failed: %s\n", what, error->message);
        g_error_free(error);
    }
}

// Runs a keyring call on a thread of its own and waits for it at most kKeyringTimeout. A call
// that takes longer is cancelled and left to finish by itself: libsecret does not honour a
// cancel in every phase (a bus that never answers holds it for the D-Bus time-out of 25 s).
template <class Result>
std::optional<Result> WithDeadline(std::function<Result(GCancellable*)> call) {
    auto promise = std::make_shared<std::promise<Result>>();
    std::future<Result> future = promise->get_future();
    GCancellable* cancellable = g_cancellable_new();
    g_object_ref(cancellable); // one reference for the call's thread
    std::thread([promise, call = std::move(call), cancellable] {
        promise->set_value(call(cancellable));
        g_object_unref(cancellable);
    }).detach();
    std::optional<Result> result;
    if (future.wait_for(kKeyringTimeout) == std::future_status::ready) {
        result = future.get();
    } else {
        std::printf("The keyring did not answer in time\n");
        g_cancellable_cancel(cancellable);
    }
    g_object_unref(cancellable);
    return result;
}

class CSecretCredentialStore : public CAbstractCredentialStore {
public:
    explicit CSecretCredentialStore(std::string protocol) : m_protocol(std::move(protocol)) {}

    std::optional<ShareCredentials> Find(const std::string& server) override {
        SmbEndpoint endpoint;
        if (!HasSessionBus() || !ParseEndpoint(server, endpoint)) {
            return std::nullopt;
        }
        auto found = WithDeadline<std::optional<ShareCredentials>>(
            [endpoint, protocol = m_protocol](GCancellable* cancellable) {
                return Search(protocol.c_str(), endpoint, cancellable);
            });
        return found ? *found : std::nullopt;
    }

    bool Save(const std::string& server, const ShareCredentials& credentials) override {
        SmbEndpoint endpoint;
        if (credentials.IsGuest() || !HasSessionBus() || !ParseEndpoint(server, endpoint)) {
            return false;
        }
        const std::string label = m_protocol + "://" + credentials.user + "@" + server;
        return WithDeadline<bool>([endpoint, credentials, label,
                                   protocol = m_protocol](GCancellable* cancellable) {
                   return Store(protocol.c_str(), endpoint, credentials, label, cancellable);
               })
            .value_or(false);
    }

private:
    // "host[:port]"; a share server's port may also come from the environment.
    bool ParseEndpoint(const std::string& server, SmbEndpoint& endpoint) const {
        if (m_protocol == "smb") {
            return ParseServerAddress(server, endpoint);
        }
        const size_t colon = server.rfind(':');
        endpoint.host = server.substr(0, colon);
        endpoint.port = 0;
        if (colon != std::string::npos) {
            const int port = std::atoi(server.c_str() + colon + 1);
            if (port <= 0 || port > 65535) {
                return false;
            }
            endpoint.port = static_cast<uint16_t>(port);
        }
        return !endpoint.host.empty();
    }

    static std::optional<ShareCredentials> Search(const char* protocol, const SmbEndpoint& endpoint,
                                                  GCancellable* cancellable) {
        GError* error = nullptr;
        GList* items = nullptr;
        // No unlock: a locked keyring would put up a prompt of its own while the wizard waits.
        const auto flags = SECRET_SEARCH_LOAD_SECRETS;
        if (endpoint.port != 0) {
            items = secret_password_search_sync(
                SECRET_SCHEMA_COMPAT_NETWORK, flags, cancellable, &error, "protocol", protocol,
                "server", endpoint.host.c_str(), "port", static_cast<int>(endpoint.port), nullptr);
        } else {
            items = secret_password_search_sync(SECRET_SCHEMA_COMPAT_NETWORK, flags, cancellable,
                                                &error, "protocol", protocol, "server",
                                                endpoint.host.c_str(), nullptr);
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
            SecretValue* value =
                secret_retrievable_retrieve_secret_sync(retrievable, cancellable, &retrieveError);
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

    static bool Store(const char* protocol, const SmbEndpoint& endpoint,
                      const ShareCredentials& credentials, const std::string& label,
                      GCancellable* cancellable) {
        GError* error = nullptr;
        gboolean saved = FALSE;
        if (endpoint.port != 0) {
            saved = secret_password_store_sync(
                SECRET_SCHEMA_COMPAT_NETWORK, SECRET_COLLECTION_DEFAULT, label.c_str(),
                credentials.password.c_str(), cancellable, &error, "protocol", protocol, "server",
                endpoint.host.c_str(), "user", credentials.user.c_str(), "domain",
                credentials.domain.c_str(), "port", static_cast<int>(endpoint.port), nullptr);
        } else {
            saved = secret_password_store_sync(
                SECRET_SCHEMA_COMPAT_NETWORK, SECRET_COLLECTION_DEFAULT, label.c_str(),
                credentials.password.c_str(), cancellable, &error, "protocol", protocol, "server",
                endpoint.host.c_str(), "user", credentials.user.c_str(), "domain",
                credentials.domain.c_str(), nullptr);
        }
        Report("store", error);
        return saved == TRUE;
    }

    std::string m_protocol;
};

} // namespace

std::unique_ptr<CAbstractCredentialStore> CreateKeyringCredentialStore(const char* protocol) {
    return std::make_unique<CSecretCredentialStore>(protocol);
}
