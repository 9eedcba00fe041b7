#include "launcher/DoorletApp_ui.h"

#include "common/cli/InformationOptions.h"
#include "common/desktop/linux/XdgOpener.h"
#include "common/discovery/DeviceChoice.h"
#include "common/ui/BrandedImage_ui.h"
#include "common/ui/ProgramEntry_ui.h"
#include "launcher/DeviceChooser_ui.h"
#include "launcher/DoorletSession_ui.h"
#include "launcher/LauncherHelp.h"
#include "launcher/Nethood.h"
#include "launcher/WebAddresses.h"

#include <chrono>
#include <cstdio>
#include <optional>
#include <string>

static_assert(static_cast<int>(ServerChoice::Cancelled) == ChoiceCancelled);
static_assert(static_cast<int>(ServerChoice::Invalid) == ChoiceInvalid);
static_assert(static_cast<int>(ServerChoice::LocalDevice) == ChoiceLocalDevice);
static_assert(static_cast<int>(ServerChoice::RemoteHome) == ChoiceRemoteHome);
static_assert(static_cast<int>(ServerChoice::RelaySite) == ChoiceRelaySite);

namespace {

// The splash, the five-second search and, when asked for, the choose-device dialog.
class CDoorletServerChooser : public CAbstractServerChooser {
public:
    ServerChoice Choose(std::string& address) override {
        const auto start = std::chrono::steady_clock::now();
        std::string chosen;
        const int choiceCase = ChooseServer(chosen, kMaxAddressLength);
        const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::steady_clock::now() - start);
        std::printf("Server choice %d after %lld ms\n", choiceCase,
                    static_cast<long long>(took.count()));
        address = chosen;
        return ServerChoiceFromCase(choiceCase);
    }
};

} // namespace

bool kvDoorletApp::Initialize(int& argCount, wxChar** argVector) {
    // Diagnostic lines keep their order among those of the programs the launcher starts.
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    if (!wxApp::Initialize(argCount, argVector)) {
        return false;
    }
    if (argCount > 0 && argVector[0] != nullptr) {
        m_programPath = wxString(argVector[0]).utf8_string();
    }
    if (argCount > 1 && argVector[1] != nullptr) {
        m_commandArgument = wxString(argVector[1]).utf8_string();
    }
    RegisterBrandedImageHandlers();
    return true;
}

bool kvDoorletApp::OnInit() {
    CDoorletServerChooser chooser;
    CXdgOpener opener;
    m_exitStatus =
        RunDoorletSession(CommandFromArgument(m_commandArgument), m_programPath, chooser, opener);
    return true;
}

int kvDoorletApp::OnRun() {
    return m_exitStatus;
}

wxIMPLEMENT_APP_NO_MAIN(kvDoorletApp);

int main(int argc, char** argv) {
    if (const std::optional<std::string> information = LauncherInformationText(argc, argv)) {
        return PrintInformation(*information, "doorlet", kExitFailed);
    }
    return RunWxProgram(argc, argv, kExitFailed);
}
