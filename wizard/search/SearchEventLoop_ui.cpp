#include "wizard/search/SearchEventLoop_ui.h"

#include <wx/evtloop.h>
#include <wx/thread.h>

CWxSearchEventLoop::CWxSearchEventLoop() : m_timer(&m_handler) {
    m_handler.Bind(wxEVT_TIMER, [this](wxTimerEvent&) { RunTick(); });
    // TickSoon's request from the worker, queued to the UI thread.
    m_handler.Bind(wxEVT_THREAD, [this](wxThreadEvent&) { RunTick(); });
}

CWxSearchEventLoop::~CWxSearchEventLoop() {
    m_timer.Stop();
}

void CWxSearchEventLoop::StartTimer(std::chrono::milliseconds period, std::function<void()> tick) {
    m_tick = std::move(tick);
    m_timer.Start(static_cast<int>(period.count()));
}

void CWxSearchEventLoop::StopTimer() {
    m_timer.Stop();
}

void CWxSearchEventLoop::TickSoon() {
    wxQueueEvent(&m_handler, new wxThreadEvent());
}

void CWxSearchEventLoop::RunTick() {
    if (!m_timer.IsRunning()) {
        return;
    }
    // A copy, since the tick may stop or restart the timer while it runs.
    const std::function<void()> tick = m_tick;
    if (tick) {
        tick();
    }
}

std::optional<int> CWxSearchEventLoop::RunUntil(const std::function<bool()>& done) {
    if (done()) {
        return std::nullopt;
    }
    wxGUIEventLoop loop;
    wxEventLoopBase* const outerLoop = m_waitingLoop;
    const std::function<bool()>* const outerDone = m_done;
    m_waitingLoop = &loop;
    m_done = &done;
    const int exitCode = loop.Run();
    m_waitingLoop = outerLoop;
    m_done = outerDone;
    // What the outer wait looks for may have come while this one ran.
    WakeUp();
    if (done()) {
        return std::nullopt;
    }
    return exitCode;
}

void CWxSearchEventLoop::WakeUp() {
    if (m_waitingLoop != nullptr && (*m_done)()) {
        m_waitingLoop->ScheduleExit(0);
    }
}
