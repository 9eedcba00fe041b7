// The launcher's user interface on wxWidgets: its message boxes, the name and username dialog
// and the busy cursor.
#pragma once

#include "launcher/Nethood.h"

class CWxLauncherUi : public CAbstractLauncherUi {
public:
    void ShowUsage(const std::string& programPath) override;
    void ShowMessage(const LauncherMessage& message) override;
    NamesAnswer AskNames(const std::string& serverName, const std::string& userName,
                         bool serverNameEditable) override;
    void BeginBusy() override;
    void EndBusy() override;
};
