// Exclusive access to a table shared by a worker and the UI thread, so that the UI thread never
// blocks on the worker: the worker waits for the table, the UI thread only tries and skips its
// update when the worker holds it. Exactly one side may wait (Acquire); the other may only try.
#pragma once

#include <atomic>
#include <chrono>
#include <thread>

class CBusyCounter {
public:
    // The waiting side: takes the table, retrying every retryPeriod while the other side holds it.
    void Acquire(std::chrono::milliseconds retryPeriod) {
        // Our own increment stays in place while we wait; the trying side sees more than 1 and
        // backs off, so we get the table the moment its current holder lets go.
        if (m_count.fetch_add(1, std::memory_order_acquire) == 0) {
            return;
        }
        while (m_count.load(std::memory_order_acquire) != 1) {
            std::this_thread::sleep_for(retryPeriod);
        }
    }

    // The trying side: takes the table only when nobody holds it.
    bool TryAcquire() {
        if (m_count.fetch_add(1, std::memory_order_acquire) == 0) {
            return true;
        }
        m_count.fetch_sub(1, std::memory_order_release);
        return false;
    }

    void Release() { m_count.fetch_sub(1, std::memory_order_release); }

private:
    std::atomic<int> m_count{0};
};
