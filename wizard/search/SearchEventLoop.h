// What a step needs from the thread that runs the user interface: a periodic tick on that
// thread, and a loop that keeps serving the thread's events while a synchronous step waits.
#pragma once

#include <chrono>
#include <functional>
#include <optional>

class CAbstractSearchEventLoop {
public:
    virtual ~CAbstractSearchEventLoop() = default;

    // UI thread: runs tick on the UI thread every period until StopTimer. One timer at a time;
    // starting it again replaces the tick.
    virtual void StartTimer(std::chrono::milliseconds period, std::function<void()> tick) = 0;
    virtual void StopTimer() = 0;

    // Any thread: runs the timer's tick once more on the UI thread as soon as that thread is
    // free, without waiting for the rest of the period. Nothing happens once the timer stopped.
    virtual void TickSoon() = 0;

    // UI thread: serves the thread's events until done() holds. done() is looked at on entry and
    // after each WakeUp. Returns nothing when done() ended the wait, or the exit code when the
    // loop was told to quit before.
    virtual std::optional<int> RunUntil(const std::function<bool()>& done) = 0;

    // UI thread: what done() of a waiting RunUntil reads may have changed.
    virtual void WakeUp() = 0;
};
