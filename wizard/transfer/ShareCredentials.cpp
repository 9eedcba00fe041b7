#include "wizard/transfer/ShareCredentials.h"

ShareCredentials ShareCredentials::NamedGuest() {
    return {"snapferry-guest", "guest", "", true};
}

void CCredentialCache::Store(const std::string& server, const std::string& share,
                             const ShareCredentials& credentials) {
    std::lock_guard lock(m_mutex);
    m_byShare[{server, share}] = credentials;
    m_byServer[server] = credentials;
}

std::optional<ShareCredentials> CCredentialCache::Find(const std::string& server,
                                                       const std::string& share) const {
    std::lock_guard lock(m_mutex);
    if (auto found = m_byShare.find({server, share}); found != m_byShare.end()) {
        return found->second;
    }
    if (auto found = m_byServer.find(server); found != m_byServer.end()) {
        return found->second;
    }
    return std::nullopt;
}

void CCredentialCache::Clear() {
    std::lock_guard lock(m_mutex);
    m_byShare.clear();
    m_byServer.clear();
}

ShareCredentials CCredentialCache::Lookup(const std::string& server, const std::string& share) {
    return Find(server, share).value_or(ShareCredentials{});
}

std::shared_ptr<CCredentialCache> ProcessCredentialCache() {
    static const std::shared_ptr<CCredentialCache> cache = std::make_shared<CCredentialCache>();
    return cache;
}
