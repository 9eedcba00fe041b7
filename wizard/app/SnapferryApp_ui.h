// The wizard's application object. It does the whole run in its start-up: the single-instance
// rule, the command line, the pictures (a folder search, or the camera), the sheet, and then the
// teardown; the run's exit status tells how it ended.
#pragma once

#include "wizard/app/WizardCommandLine.h"

#include <wx/app.h>

#include <string>
#include <vector>

// How a run of snapferry ends.
enum SnapferryExitStatus : int {
    kExitDone = 0,           // the wizard ran to its end, or the registration was made
    kExitFailed = 1,         // something could not be done, and the user was told why
    kExitUsage = 2,          // no valid command: the usage message
    kExitCancelled = 3,      // the user cancelled the search or the wizard
    kExitNothingToDo = 4,    // no picture in the folder, or no such camera
    kExitAlreadyRunning = 5, // another run holds the single-instance lock
};

class CSnapferryApp final : public wxApp {
public:
    CSnapferryApp(std::string programPath, WizardCommand command);

    bool OnInit() override;
    int OnRun() override { return m_exitStatus; }
    int ExitStatus() const { return m_exitStatus; }

private:
    int RunWizard();
    int RunFolderMode();
    int RunCameraMode();

    std::string m_programPath;
    WizardCommand m_command;
    int m_exitStatus = kExitFailed;
};

// The whole program: registration needs no display; everything else runs on the toolkit.
int RunSnapferry(int argc, char** argv);
