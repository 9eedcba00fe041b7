// Finds the home servers on the local network by listening for their announcements for a fixed
// window of seconds, on a worker thread. Synchronously, the caller waits for the window to end and
// reads the found servers; asynchronously, a 500 ms tick on the UI thread moves a progress meter
// and hands each new server to a notifier, then tells it that the search is over.
#pragma once

#include "common/discovery/AnnouncementReceiver.h"
#include "common/discovery/DeviceRecord.h"
#include "common/discovery/Endpoints.h"
#include "common/steps/BusyCounter.h"
#include "common/steps/ProgressCallback.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

class wxWindow;
class CAbstractDeviceChooser;

// A progress display driven by a step. It tells its callback when its window goes away, whether
// closed by the step or by the user.
class CAbstractProgressMeter {
public:
    virtual ~CAbstractProgressMeter() = default;

    void SetCallback(CAbstractProgressCallback* callback) { m_callback = callback; }
    CAbstractProgressCallback* Callback() const { return m_callback; }

    virtual void Show(wxWindow* parent) = 0;
    virtual void Close() = 0;
    virtual void SetText(const std::string& text) = 0;
    virtual void SetRange(int low, int high) = 0;
    virtual void SetPosition(int position) = 0;
    virtual void BringToTop() = 0;

protected:
    CAbstractProgressCallback* m_callback = nullptr; // not owned
};

// Whoever shows found servers. Called on the UI thread only.
class CAbstractLocateNotifier {
public:
    virtual ~CAbstractLocateNotifier() = default;

    // record lives in the step's result table until the next Locate or the step's destruction.
    virtual void OnDeviceFound(const DeviceRecord& record) = 0;
    virtual void OnLocateDone() = 0;
};

// Calls a routine periodically on the UI thread; the wx implementation is in IntervalTimer_ui.h.
class CAbstractIntervalTimer {
public:
    virtual ~CAbstractIntervalTimer() = default;
    virtual void Start(std::chrono::milliseconds period, std::function<void()> onTick) = 0;
    virtual void Stop() = 0;
};

// How the two programs listen: the same design with a few different figures.
struct LocateSettings {
    enum class UnusableSocket {
        RetryBind,     // bind again while the port is in use, then give up
        RestartWindow, // wait, start the window anew with a new socket, up to windowRestarts times
    };

    std::size_t receiveBufferSize = 1024;
    UnusableSocket onUnusableSocket = UnusableSocket::RetryBind;
    int openAttempts = 20;
    std::chrono::milliseconds openRetryDelay{500};
    int windowRestarts = 8;
    std::chrono::milliseconds restartDelay{1000};
    // How often the worker looks again when the UI thread holds the found table.
    std::chrono::milliseconds busyRetryPeriod{50};
    // Longest wait for a datagram before the worker looks at the clock and the stop flag again.
    std::chrono::milliseconds receiveWait{100};
    uint16_t port = endpoints::kAnnouncementPort;

    static LocateSettings Launcher();
    static LocateSettings Wizard();
};

// What one search did, for diagnostics; nobody acts on it.
struct LocateStatistics {
    uint64_t datagrams = 0;  // received whole
    uint64_t accepted = 0;   // made a new record
    uint64_t duplicates = 0; // from an address already recorded
    uint64_t ignored = 0;    // time 0 or all-zero address, or not an announcement at all
    uint64_t oversized = 0;  // longer than the receive buffer, dropped
    int openAttempts = 0;
    int exitError = 0; // 0, or the system's error number that ended the search
};

// What one search's worker works on. Shared by the step and the worker, so it lives as long as
// either needs it.
struct LocateContext {
    explicit LocateContext(int timeout) : timeoutSeconds(timeout) {}

    CBusyCounter busy;                 // guards found
    std::atomic<int64_t> elapsedMs{0}; // whole seconds of the window so far, in milliseconds
    const int timeoutSeconds;
    DeviceTable found; // written by the worker only, under busy
    std::atomic<int> stop{0};

    // Ends the worker's next wait early.
    void RequestStop();
    // Sleeps for duration unless a stop is requested; returns false when stopped.
    bool SleepUnlessStopped(std::chrono::milliseconds duration);
    // Called by the worker on every way out.
    void MarkFinished(const LocateStatistics& statistics);
    // Waits for MarkFinished; calls pump every pumpPeriod meanwhile when one is given.
    void WaitFinished(const std::function<void()>& pump, std::chrono::milliseconds pumpPeriod);
    bool IsFinished() const;
    std::optional<LocateStatistics> Statistics() const;

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_finished = false;
    LocateStatistics m_statistics;
};

class CLocateDeviceStep : public CAbstractProgressCallback {
public:
    // timer: needed for an asynchronous Locate. receivers: makes the worker's endpoint.
    explicit CLocateDeviceStep(
        LocateSettings settings = LocateSettings::Wizard(),
        std::unique_ptr<CAbstractIntervalTimer> timer = nullptr,
        AnnouncementReceiverFactory receivers = CreatePlatformAnnouncementReceiver);
    ~CLocateDeviceStep() override;
    CLocateDeviceStep(const CLocateDeviceStep&) = delete;
    CLocateDeviceStep& operator=(const CLocateDeviceStep&) = delete;

    void SetTimeout(int seconds) { m_timeoutSeconds = seconds; }
    int Timeout() const { return m_timeoutSeconds; }
    void SetMeter(CAbstractProgressMeter* meter) { m_meter = meter; }
    void SetNotifier(CAbstractLocateNotifier* notifier) { m_notifier = notifier; }
    // Called on the calling thread every 50 ms while a synchronous Locate waits, so that a UI
    // thread can keep its windows painted (the splash closes itself meanwhile).
    void SetSynchronousWaitPump(std::function<void()> pump) { m_waitPump = std::move(pump); }

    // Starts a search. Does nothing and returns false while one runs, for synchronous together
    // with showProgress, for showProgress without a meter, and for an asynchronous search
    // without a timer. A synchronous search returns when its window has ended.
    bool Locate(bool synchronous, bool showProgress, wxWindow* parent);

    // Ends the search: the worker stops at its next pass; nothing found after this is reported.
    int OnComplete(int result) override;

    bool IsRunning() const { return m_running; }
    // The servers handed out by the last search, by address.
    const DeviceTable& Found() const { return m_reported; }
    // Runs a chooser on the last search's servers; returns its choice case.
    int RunChooser(CAbstractDeviceChooser& chooser);
    // Empty while the last search's worker is still running.
    std::optional<LocateStatistics> LastStatistics() const;

private:
    void Tick();
    void ReportNew(bool notify);
    void JoinWorker();
    // The meter no longer calls this step when its window goes away.
    void ReleaseMeter();

    LocateSettings m_settings;
    std::unique_ptr<CAbstractIntervalTimer> m_timer;
    AnnouncementReceiverFactory m_receivers;
    std::function<void()> m_waitPump;

    bool m_running = false;
    std::shared_ptr<LocateContext> m_context;
    std::thread m_worker;
    DeviceTable m_reported;
    int m_timeoutSeconds = 10;
    // Not owned. Used only while a search runs, so its owner may free it once the search is over.
    CAbstractProgressMeter* m_meter = nullptr;
    CAbstractLocateNotifier* m_notifier = nullptr; // not owned
};
