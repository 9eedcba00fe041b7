#include "launcher/DoorletApp_ui.h"

#include "common/DeviceChoice.h"
#include "launcher/BrandedImage_ui.h"
#include "launcher/DeviceChooser_ui.h"
#include "launcher/DoorletSession_ui.h"
#include "launcher/WebAddresses.h"
#include "launcher/linux/XdgOpener.h"

#include <cstdio>

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
        std::string chosen;
        const ServerChoice choice = ServerChoiceFromCase(ChooseServer(chosen, kMaxAddressLength));
        address = chosen;
        return choice;
    }
};

} // namespace

bool kvDoorletApp::Initialize(int& argCount, wxChar** argVector) {
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
    std::fflush(stdout);
    return true;
}

int kvDoorletApp::OnRun() {
    return m_exitStatus;
}

wxIMPLEMENT_APP(kvDoorletApp);
