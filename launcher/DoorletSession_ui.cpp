#include "launcher/DoorletSession_ui.h"

#include "common/registry/Registry.h"
#include "common/resources/ResourceManager.h"
#include "launcher/CurlHttpClient.h"
#include "launcher/LauncherStore.h"
#include "launcher/LauncherUi_ui.h"
#include "resources/BuiltinBundles.h"

namespace {

// The process-wide services of one run, released in the reverse order on every path.
class ResourceManagerScope {
public:
    ResourceManagerScope() {
        if (kvResourceManager* manager =
                CreateResourceManager(ProgramKind::Launcher, LauncherBuiltinBundle())) {
            // Without the launcher's bundle the built-in English texts serve; nothing to report.
            manager->LoadResourceLibrary(kLauncherResourceLibrary);
        }
    }
    ~ResourceManagerScope() { DestroyResourceManager(); }
    ResourceManagerScope(const ResourceManagerScope&) = delete;
    ResourceManagerScope& operator=(const ResourceManagerScope&) = delete;
};

class RegistryScope {
public:
    RegistryScope() { CreateRegistry(); }
    ~RegistryScope() { DestroyRegistry(); }
    RegistryScope(const RegistryScope&) = delete;
    RegistryScope& operator=(const RegistryScope&) = delete;
};

} // namespace

int RunDoorletSession(LauncherCommand command, const std::string& programPath,
                      CAbstractServerChooser& chooser, CAbstractOpener& opener) {
    ResourceManagerScope resources;
    CWxLauncherUi ui;
    CRegistryLauncherStore store;
    CCurlHttpClient http;
    CNethood nethood(ui, store, opener, http);
    if (command == LauncherCommand::None) {
        return RunLauncher(command, programPath, chooser, ui, nethood);
    }
    RegistryScope registry;
    return RunLauncher(command, programPath, chooser, ui, nethood);
}
