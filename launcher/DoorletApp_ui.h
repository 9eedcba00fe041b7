// The launcher's application object. It has no main window and no event loop of its own: the
// whole run happens in OnInit, and OnRun only hands the run's exit status to the toolkit.
#pragma once

#include <wx/app.h>

#include <string>

class kvDoorletApp : public wxApp {
public:
    ~kvDoorletApp() override = default;

    // The toolkit's initialisation, then the first argument and the image loaders.
    bool Initialize(int& argCount, wxChar** argVector) override;
    bool OnInit() override;
    int OnRun() override;

private:
    std::string m_programPath;
    std::string m_commandArgument; // the first argument; empty without one
    int m_exitStatus = 1;
};
