#include "wizard/search/SearchEventLoopPlain.h"

void CPlainSearchEventLoop::StartTimer(std::chrono::milliseconds period,
                                       std::function<void()> tick) {
    std::lock_guard lock(m_mutex);
    m_tick = std::move(tick);
    m_period = period;
    m_nextTick = Clock::now() + period;
    m_timerOn = true;
    m_tickSoon = false;
}

void CPlainSearchEventLoop::StopTimer() {
    std::lock_guard lock(m_mutex);
    m_timerOn = false;
    m_tickSoon = false;
}

void CPlainSearchEventLoop::TickSoon() {
    {
        std::lock_guard lock(m_mutex);
        m_tickSoon = true;
    }
    m_changed.notify_all();
}

void CPlainSearchEventLoop::WakeUp() {
    {
        std::lock_guard lock(m_mutex);
        m_woken = true;
    }
    m_changed.notify_all();
}

void CPlainSearchEventLoop::Quit(int exitCode) {
    {
        std::lock_guard lock(m_mutex);
        m_quitCode = exitCode;
    }
    m_changed.notify_all();
}

int CPlainSearchEventLoop::TickCount() const {
    std::lock_guard lock(m_mutex);
    return m_tickCount;
}

std::optional<int> CPlainSearchEventLoop::RunUntil(const std::function<bool()>& done) {
    for (;;) {
        if (done()) {
            return std::nullopt;
        }
        std::function<void()> tick;
        {
            std::unique_lock lock(m_mutex);
            const auto due = [this] {
                return m_quitCode || m_woken ||
                       (m_timerOn && (m_tickSoon || Clock::now() >= m_nextTick));
            };
            while (!due()) {
                if (m_timerOn) {
                    m_changed.wait_until(lock, m_nextTick);
                } else {
                    m_changed.wait(lock);
                }
            }
            if (m_quitCode) {
                const int code = *m_quitCode;
                m_quitCode.reset();
                return code;
            }
            m_woken = false;
            if (m_timerOn && (m_tickSoon || Clock::now() >= m_nextTick)) {
                m_tickSoon = false;
                m_nextTick = Clock::now() + m_period;
                ++m_tickCount;
                // A copy, since the tick may stop or restart the timer while it runs.
                tick = m_tick;
            }
        }
        if (tick) {
            tick();
        }
    }
}
