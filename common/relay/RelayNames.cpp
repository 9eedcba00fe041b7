#include "common/relay/RelayNames.h"

#include "common/registry/Registry.h"

namespace {

constexpr const char* kServerNameValue = "subdomain";
constexpr const char* kUserNameValue = "username";

} // namespace

std::string RememberedRelayServerName() {
    CRegistry* registry = GetRegistry();
    return registry != nullptr ? registry->GetString(Machine, kProductKeyPath, kServerNameValue, "")
                               : std::string();
}

std::string RememberedRelayUserName() {
    CRegistry* registry = GetRegistry();
    return registry != nullptr ? registry->GetString(User, kProductKeyPath, kUserNameValue, "")
                               : std::string();
}

bool RememberRelayUserName(const std::string& userName) {
    CRegistry* registry = GetRegistry();
    return registry != nullptr &&
           registry->SetString(User, kProductKeyPath, kUserNameValue, userName);
}
