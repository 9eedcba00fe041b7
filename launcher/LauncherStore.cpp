#include "launcher/LauncherStore.h"

#include "common/branding/Branding.h"
#include "common/relay/RelayNames.h"

std::string CRegistryLauncherStore::RelayDomain() {
    return ReadRelayDomain();
}

std::string CRegistryLauncherStore::RememberedServerName() {
    return RememberedRelayServerName();
}

std::string CRegistryLauncherStore::RememberedUserName() {
    return RememberedRelayUserName();
}

bool CRegistryLauncherStore::RememberUserName(const std::string& userName) {
    return RememberRelayUserName(userName);
}
