#include "common/registry/Registry.h"

#include <memory>
#include <mutex>

namespace {

std::mutex registryMutex;
std::unique_ptr<CRegistry> registryInstance;

} // namespace

CRegistry* CreateRegistry() {
    const std::lock_guard lock(registryMutex);
    if (!registryInstance) {
        registryInstance = CreatePlatformRegistry();
    }
    return registryInstance.get();
}

CRegistry* GetRegistry() {
    const std::lock_guard lock(registryMutex);
    return registryInstance.get();
}

void DestroyRegistry() {
    const std::lock_guard lock(registryMutex);
    registryInstance.reset();
}
