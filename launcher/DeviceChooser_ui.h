// The launcher's server choice: the splash, a five-second search, then the remembered server
// chosen automatically or the user's pick in the choose-device dialog.
#pragma once

#include "common/discovery/DeviceChoice.h"
#include "common/discovery/LocateDeviceStep.h"

#include <cstddef>
#include <string>

class wxWindow;

// Runs the choose-device dialog on the chooser's table.
class CDeviceChooser final : public CAbstractDeviceChooser {
public:
    explicit CDeviceChooser(CAbstractValidateDeviceChoice* validator)
        : CAbstractDeviceChooser(validator) {}

    void SetParentWindow(wxWindow* parent) { m_parent = parent; }
    int Choose() override;

private:
    wxWindow* m_parent = nullptr;
};

// Decides which server the launcher's command talks to and returns the ChoiceCase. For
// ChoiceLocalDevice, `address` receives the server's address text, at most maxLength bytes;
// cancelling leaves it unchanged; the relay cases empty it (the automatic choice leaves it as
// it is). [Default] reporttohomeonly in settings.ini (default 1) picks the automatic choice;
// 0 asks the user. `settings` is for tests that listen elsewhere than on port 1234.
int ChooseServer(std::string& address, std::size_t maxLength = kDeviceTextLimit,
                 const LocateSettings& settings = LocateSettings::Launcher());
