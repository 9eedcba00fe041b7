// The launcher's remembered names in the registry store and its relay domain from settings.ini.
#pragma once

#include "launcher/Nethood.h"

class CRegistryLauncherStore : public CAbstractLauncherStore {
public:
    std::string RelayDomain() override;
    std::string RememberedServerName() override;
    std::string RememberedUserName() override;
    bool RememberUserName(const std::string& userName) override;
};
