// CAbstractOpener through the shell's "open" verb (ShellExecuteW), which hands a web address to
// the default browser and a folder or network path to the file manager.
#pragma once

#include "common/desktop/Opener.h"

class CShellOpener : public CAbstractOpener {
public:
    OpenOutcome Open(const std::string& address) override;
};
