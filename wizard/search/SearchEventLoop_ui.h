// The search's UI-thread services on wxWidgets: a wxTimer for the tick, and a nested event loop
// while a synchronous search waits (start-up runs before the program's main loop).
#pragma once

#include "wizard/search/SearchEventLoop.h"

#include <wx/event.h>
#include <wx/timer.h>

class wxEventLoopBase;

class CWxSearchEventLoop final : public CAbstractSearchEventLoop {
public:
    CWxSearchEventLoop();
    ~CWxSearchEventLoop() override;
    CWxSearchEventLoop(const CWxSearchEventLoop&) = delete;
    CWxSearchEventLoop& operator=(const CWxSearchEventLoop&) = delete;

    void StartTimer(std::chrono::milliseconds period, std::function<void()> tick) override;
    void StopTimer() override;
    void TickSoon() override;
    std::optional<int> RunUntil(const std::function<bool()>& done) override;
    void WakeUp() override;

private:
    void RunTick();

    wxEvtHandler m_handler;
    wxTimer m_timer;
    std::function<void()> m_tick;
    wxEventLoopBase* m_waitingLoop = nullptr;
    const std::function<bool()>* m_done = nullptr;
};
