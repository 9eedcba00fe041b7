// The locate step's UI-thread tick on a wxTimer.
#pragma once

#include "common/discovery/LocateDeviceStep.h"

#include <wx/timer.h>

#include <memory>

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
