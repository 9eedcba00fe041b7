#include "common/ui/IntervalTimer_ui.h"

class CWxIntervalTimer::Timer final : public wxTimer {
public:
    std::function<void()> onTick;

    void Notify() override {
        // A copy, since the routine may stop or restart this timer.
        const std::function<void()> routine = onTick;
        if (routine) {
            routine();
        }
    }
};

CWxIntervalTimer::CWxIntervalTimer() : m_timer(std::make_unique<Timer>()) {}

CWxIntervalTimer::~CWxIntervalTimer() {
    m_timer->Stop();
}

void CWxIntervalTimer::Start(std::chrono::milliseconds period, std::function<void()> onTick) {
    m_timer->onTick = std::move(onTick);
    m_timer->Start(static_cast<int>(period.count()), wxTIMER_CONTINUOUS);
}

void CWxIntervalTimer::Stop() {
    m_timer->Stop();
}

std::unique_ptr<CLocateDeviceStep> CreateUiLocateStep(LocateSettings settings) {
    return std::make_unique<CLocateDeviceStep>(settings, std::make_unique<CWxIntervalTimer>());
}
