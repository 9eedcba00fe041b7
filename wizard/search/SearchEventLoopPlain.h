// An event loop without a window system: the thread that calls RunUntil is the UI thread, and
// the only events are the timer's ticks. For tools and tests that have no display.
#pragma once

#include "wizard/search/SearchEventLoop.h"

#include <condition_variable>
#include <mutex>

class CPlainSearchEventLoop final : public CAbstractSearchEventLoop {
public:
    void StartTimer(std::chrono::milliseconds period, std::function<void()> tick) override;
    void StopTimer() override;
    void TickSoon() override;
    std::optional<int> RunUntil(const std::function<bool()>& done) override;
    void WakeUp() override;

    // Any thread: tells a running RunUntil to quit with exitCode (or the next one, if none runs).
    void Quit(int exitCode);

    // How many ticks have run so far.
    int TickCount() const;

private:
    using Clock = std::chrono::steady_clock;

    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::function<void()> m_tick;
    bool m_timerOn = false;
    std::chrono::milliseconds m_period{0};
    Clock::time_point m_nextTick;
    bool m_tickSoon = false;
    bool m_woken = false;
    std::optional<int> m_quitCode;
    int m_tickCount = 0;
};
