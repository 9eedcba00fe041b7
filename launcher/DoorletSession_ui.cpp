#include "launcher/DoorletSession_ui.h"

#include "common/registry/Registry.h"
#include "common/relay/CurlHttpClient.h"
#include "common/resources/ResourceManager.h"
#include "launcher/LauncherStore.h"
#include "launcher/LauncherUi_ui.h"
#include "resources/BuiltinBundles.h"

int RunDoorletSession(LauncherCommand command, const std::string& programPath,
                      CAbstractServerChooser& chooser, CAbstractOpener& opener) {
    CResourceManagerScope resources(ProgramKind::Launcher, LauncherBuiltinBundle(),
                                    kLauncherResourceLibrary);
    CWxLauncherUi ui;
    CRegistryLauncherStore store;
    CCurlHttpClient http;
    CNethood nethood(ui, store, opener, http);
    if (command == LauncherCommand::None) {
        return RunLauncher(command, programPath, chooser, ui, nethood);
    }
    CRegistryScope registry;
    return RunLauncher(command, programPath, chooser, ui, nethood);
}
