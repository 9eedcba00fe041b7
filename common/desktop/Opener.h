// Hands an address to the desktop, which opens it with the user's chosen program (browser, file
// manager).
#pragma once

#include <memory>
#include <string>

struct OpenOutcome {
    bool opened = false;
    // The opener's exit status (or another number saying why it failed); 0 when opened.
    int status = 0;
};

class CAbstractOpener {
public:
    virtual ~CAbstractOpener() = default;
    virtual OpenOutcome Open(const std::string& address) = 0;
};

// The opener of the platform being built: xdg-open on Linux, the shell's "open" verb on Windows.
std::unique_ptr<CAbstractOpener> CreatePlatformOpener();
