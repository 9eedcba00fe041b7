// The locate step's UI-thread tick on a wxTimer, and the text conversion the wx code shares.
#pragma once

#include "common/discovery/LocateDeviceStep.h"

#include <wx/string.h>
#include <wx/timer.h>

#include <memory>
#include <string_view>

class CWxIntervalTimer final : public CAbstractIntervalTimer {
public:
    CWxIntervalTimer();
    ~CWxIntervalTimer() override;

    void Start(std::chrono::milliseconds period, std::function<void()> onTick) override;
    void Stop() override;

private:
    class Timer;
    std::unique_ptr<Timer> m_timer;
};

// A locate step whose asynchronous searches tick on the UI thread.
std::unique_ptr<CLocateDeviceStep> CreateUiLocateStep(LocateSettings settings);

// UTF-8 text for a window. Bytes that are not UTF-8 (names from the network) are shown as
// Latin-1 rather than dropped.
wxString ToWxText(std::string_view text);
