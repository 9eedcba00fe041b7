// CAbstractOpener through xdg-open, started with an argument vector (never through a shell).
// Success is its exit status 0. Some desktops' xdg-open waits while the program it started runs
// (a browser started for the first time); one still running after the grace period has started
// that program and counts as opened.
#pragma once

#include "common/desktop/Opener.h"

#include <chrono>

class CXdgOpener : public CAbstractOpener {
public:
    // Status reported when the opener cannot be started at all.
    static constexpr int kNotStarted = 127;

    explicit CXdgOpener(std::string program = "xdg-open",
                        std::chrono::milliseconds grace = std::chrono::seconds(5));
    OpenOutcome Open(const std::string& address) override;

private:
    std::string m_program;
    std::chrono::milliseconds m_grace;
};
