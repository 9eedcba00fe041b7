#include "launcher/LauncherStore.h"

#include "common/branding/Branding.h"
#include "common/registry/Registry.h"

namespace {

constexpr const char* kServerNameValue = "subdomain";
constexpr const char* kUserNameValue = "username";

} // namespace

std::string CRegistryLauncherStore::RelayDomain() {
    return ReadRelayDomain();
}

std::string CRegistryLauncherStore::RememberedServerName() {
    CRegistry* registry = GetRegistry();
    return registry != nullptr ? registry->GetString(Machine, kProductKeyPath, kServerNameValue, "")
                               : std::string();
}

std::string CRegistryLauncherStore::RememberedUserName() {
    CRegistry* registry = GetRegistry();
    return registry != nullptr ? registry->GetString(User, kProductKeyPath, kUserNameValue, "")
                               : std::string();
}

bool CRegistryLauncherStore::RememberUserName(const std::string& userName) {
    CRegistry* registry = GetRegistry();
    return registry != nullptr &&
           registry->SetString(User, kProductKeyPath, kUserNameValue, userName);
}
