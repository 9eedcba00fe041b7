#include "common/discovery/LocateDeviceStep.h"

#include "common/discovery/Announcement.h"
#include "common/discovery/DeviceChoice.h"

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <string_view>
#include <system_error>
#include <vector>

using namespace std::chrono_literals;

LocateSettings LocateSettings::Launcher() {
    LocateSettings settings;
    settings.receiveBufferSize = 255;
    settings.onUnusableSocket = UnusableSocket::RestartWindow;
    settings.windowRestarts = 8;
    settings.restartDelay = 1000ms;
    settings.busyRetryPeriod = 1000ms;
    return settings;
}

LocateSettings LocateSettings::Wizard() {
    return LocateSettings{};
}

void LocateContext::RequestStop() {
    stop.store(1);
    std::lock_guard lock(m_mutex);
    m_changed.notify_all();
}

bool LocateContext::SleepUnlessStopped(std::chrono::milliseconds duration) {
    std::unique_lock lock(m_mutex);
    return !m_changed.wait_for(lock, duration, [this] { return stop.load() != 0; });
}

void LocateContext::MarkFinished(const LocateStatistics& statistics) {
    stop.store(1);
    std::lock_guard lock(m_mutex);
    m_statistics = statistics;
    m_finished = true;
    m_changed.notify_all();
}

void LocateContext::WaitFinished(const std::function<void()>& pump,
                                 std::chrono::milliseconds pumpPeriod) {
    std::unique_lock lock(m_mutex);
    while (!m_finished) {
        if (!pump) {
            m_changed.wait(lock, [this] { return m_finished; });
            break;
        }
        if (m_changed.wait_for(lock, pumpPeriod, [this] { return m_finished; })) {
            break;
        }
        lock.unlock();
        pump();
        lock.lock();
    }
}

bool LocateContext::IsFinished() const {
    std::lock_guard lock(m_mutex);
    return m_finished;
}

std::optional<LocateStatistics> LocateContext::Statistics() const {
    std::lock_guard lock(m_mutex);
    if (!m_finished) {
        return std::nullopt;
    }
    return m_statistics;
}

namespace {

// The window lasts exactly the timeout: servers announce themselves often enough to be heard
// within it, and every moment beyond it is a moment the user waits for nothing. It is measured on
// the monotonic clock, so that a change of the system time can neither stretch it nor cut it
// short.
class ListeningWindow {
public:
    ListeningWindow() { Restart(); }

    void Restart() { m_start = std::chrono::steady_clock::now(); }

    int64_t ElapsedWholeSeconds() const { return ElapsedMs() / 1000; }

    bool IsOpen(int timeoutSeconds) const { return ElapsedMs() < LengthMs(timeoutSeconds); }

    std::chrono::milliseconds UntilEnd(int timeoutSeconds) const {
        return std::chrono::milliseconds(
            std::max<int64_t>(LengthMs(timeoutSeconds) - ElapsedMs(), 1));
    }

private:
    static int64_t LengthMs(int timeoutSeconds) { return int64_t{timeoutSeconds} * 1000; }

    int64_t ElapsedMs() const {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::steady_clock::now() - m_start)
            .count();
    }

    std::chrono::steady_clock::time_point m_start;
};

void RecordDatagram(LocateContext& context, const LocateSettings& settings,
                    std::string_view datagram, uint32_t source, LocateStatistics& statistics) {
    // Only this thread writes the table, so looking without the counter is safe; the first
    // announcement from an address wins and later ones change nothing.
    if (context.found.contains(source)) {
        ++statistics.duplicates;
        return;
    }
    Announcement announcement = ParseAnnouncement(datagram);
    if (!IsAcceptedAnnouncement(announcement)) {
        ++statistics.ignored;
        return;
    }
    DeviceRecord record;
    record.addressText = FormatDeviceAddress(source);
    record.foundTime = static_cast<int64_t>(std::time(nullptr));
    record.address = source;
    record.hostName = std::move(announcement.hostName);
    record.cpu = std::move(announcement.cpu);
    record.kind = LocalDevice;

    context.busy.Acquire(settings.busyRetryPeriod);
    context.found.emplace(source, std::move(record));
    context.busy.Release();
    ++statistics.accepted;
}

// Opens the endpoint for the bind-retrying variant: while the port is in use, waits and tries
// again, up to the attempt limit.
bool OpenRetryingBind(LocateContext& context, const LocateSettings& settings,
                      CAbstractAnnouncementReceiver& receiver, LocateStatistics& statistics) {
    for (int attempt = 1;; ++attempt) {
        ++statistics.openAttempts;
        const ReceiverOpenStatus status = receiver.Open(settings.port);
        if (status == ReceiverOpenStatus::Opened) {
            return true;
        }
        statistics.exitError = receiver.LastError();
        if (status != ReceiverOpenStatus::AddressInUse || attempt >= settings.openAttempts ||
            !context.SleepUnlessStopped(settings.openRetryDelay)) {
            return false;
        }
    }
}

void RunLocateWorker(LocateContext& context, const LocateSettings& settings,
                     CAbstractAnnouncementReceiver& receiver) {
    LocateStatistics statistics;
    const bool restartsWindow =
        settings.onUnusableSocket == LocateSettings::UnusableSocket::RestartWindow;

    bool open = false;
    if (restartsWindow) {
        ++statistics.openAttempts;
        open = receiver.Open(settings.port) == ReceiverOpenStatus::Opened;
        statistics.exitError = open ? 0 : receiver.LastError();
    } else {
        open = OpenRetryingBind(context, settings, receiver, statistics);
        if (!open) {
            context.MarkFinished(statistics);
            return;
        }
    }

    std::vector<char> buffer(std::max<std::size_t>(settings.receiveBufferSize, 1));
    ListeningWindow window;
    int unusable = 0;
    while (context.stop.load() == 0 && window.IsOpen(context.timeoutSeconds)) {
        if (!open) {
            if (++unusable > settings.windowRestarts ||
                !context.SleepUnlessStopped(settings.restartDelay)) {
                break;
            }
            window.Restart();
            ++statistics.openAttempts;
            open = receiver.Open(settings.port) == ReceiverOpenStatus::Opened;
            statistics.exitError = open ? 0 : receiver.LastError();
            continue;
        }

        ReceivedDatagram datagram;
        const auto wait = std::min(settings.receiveWait, window.UntilEnd(context.timeoutSeconds));
        const ReceiveStatus status = receiver.Receive(buffer, wait, datagram);
        if (status == ReceiveStatus::Received) {
            ++statistics.datagrams;
            RecordDatagram(context, settings, std::string_view(buffer.data(), datagram.length),
                           datagram.sourceAddress, statistics);
        } else if (status == ReceiveStatus::Oversized) {
            // Not an announcement of ours; one stray datagram must not end the search.
            ++statistics.oversized;
        } else if (status == ReceiveStatus::Failed) {
            statistics.exitError = receiver.LastError();
            if (!restartsWindow) {
                break;
            }
            receiver.Close();
            open = false;
        }
        context.elapsedMs.store(window.ElapsedWholeSeconds() * 1000);
    }
    receiver.Close();
    context.MarkFinished(statistics);
}

} // namespace

CLocateDeviceStep::CLocateDeviceStep(LocateSettings settings,
                                     std::unique_ptr<CAbstractIntervalTimer> timer,
                                     AnnouncementReceiverFactory receivers)
    : m_settings(settings), m_timer(std::move(timer)), m_receivers(std::move(receivers)) {}

CLocateDeviceStep::~CLocateDeviceStep() {
    if (m_timer) {
        m_timer->Stop();
    }
    // A meter window that outlives a running step must not call back into it. A finished search
    // has let go of its meter already, which may be gone by now.
    if (m_running) {
        ReleaseMeter();
    }
    if (m_context) {
        m_context->RequestStop();
    }
    JoinWorker();
}

void CLocateDeviceStep::JoinWorker() {
    if (m_worker.joinable()) {
        m_worker.join();
    }
}

bool CLocateDeviceStep::Locate(bool synchronous, bool showProgress, wxWindow* parent) {
    if (m_running || (synchronous && showProgress) || (showProgress && !m_meter) ||
        (!synchronous && !m_timer)) {
        return false;
    }
    m_reported.clear();
    if (showProgress) {
        m_meter->SetCallback(this);
        m_meter->Show(parent);
        // The meter counts 0 to 10 whatever the timeout.
        m_meter->SetRange(0, 10);
        m_meter->SetPosition(0);
    }

    // The previous worker has been told to stop; wait for it (at most one receive wait) so that
    // its context is released only once nothing uses it, and so that the port is free again.
    if (m_context) {
        m_context->RequestStop();
    }
    JoinWorker();
    m_context = std::make_shared<LocateContext>(m_timeoutSeconds);
    m_running = true;

    if (!synchronous) {
        m_timer->Start(std::chrono::milliseconds(500), [this] { Tick(); });
    }
    try {
        m_worker =
            std::thread([context = m_context, settings = m_settings, receivers = m_receivers] {
                std::unique_ptr<CAbstractAnnouncementReceiver> receiver = receivers();
                if (!receiver) {
                    LocateStatistics failed;
                    failed.exitError = ENOTSOCK;
                    context->MarkFinished(failed);
                    return;
                }
                RunLocateWorker(*context, settings, *receiver);
            });
    } catch (const std::system_error& error) {
        // No thread: the search ends at once with nothing found, as a worker that failed would.
        LocateStatistics failed;
        failed.exitError = error.code().value();
        m_context->MarkFinished(failed);
    }

    if (synchronous) {
        m_context->WaitFinished(m_waitPump, std::chrono::milliseconds(50));
        JoinWorker();
        ReportNew(false);
        m_running = false;
    }
    return true;
}

void CLocateDeviceStep::ReportNew(bool notify) {
    for (const auto& [address, record] : m_context->found) {
        auto [where, added] = m_reported.try_emplace(address, record);
        if (added && notify && m_notifier) {
            m_notifier->OnDeviceFound(where->second);
        }
    }
}

void CLocateDeviceStep::Tick() {
    // A tick already queued when the search ended has nothing left to do.
    if (!m_running) {
        return;
    }
    if (m_meter) {
        m_meter->BringToTop();
    }
    // Keeps the context alive even if a callback below starts a new search.
    const std::shared_ptr<LocateContext> context = m_context;
    if (!context || !context->busy.TryAcquire()) {
        return;
    }
    if (m_meter) {
        m_meter->SetPosition(static_cast<int>(context->elapsedMs.load() / 1000));
    }
    ReportNew(true);
    if (context->stop.load() == 1) {
        if (m_meter && m_meter->Callback() == this) {
            // The meter's window calls OnComplete when it goes away.
            m_meter->Close();
        } else {
            OnComplete(0);
        }
    }
    context->busy.Release();
}

int CLocateDeviceStep::OnComplete(int /*result*/) {
    // The meter's window and the tick may both end the search; it ends once.
    if (!m_running) {
        return 1;
    }
    if (m_timer) {
        m_timer->Stop();
    }
    if (m_context) {
        m_context->RequestStop();
    }
    m_running = false;
    ReleaseMeter();
    if (m_notifier) {
        m_notifier->OnLocateDone();
    }
    return 1;
}

void CLocateDeviceStep::ReleaseMeter() {
    if (m_meter && m_meter->Callback() == this) {
        m_meter->SetCallback(nullptr);
    }
}

int CLocateDeviceStep::RunChooser(CAbstractDeviceChooser& chooser) {
    chooser.SetTable(&m_reported);
    return chooser.Choose();
}

std::optional<LocateStatistics> CLocateDeviceStep::LastStatistics() const {
    if (!m_context) {
        return std::nullopt;
    }
    return m_context->Statistics();
}
