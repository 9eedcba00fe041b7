// Stand-ins for the locate step's surroundings: a scripted receiver, a timer the test fires by
// hand (the test's thread plays the UI thread), a meter and notifier that record their calls, and
// found servers as the step records them.
#pragma once

#include "common/discovery/LocateDeviceStep.h"

#include <cerrno>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace testing_support {

// A server found at `address` that announced `host`.
inline DeviceRecord Found(uint32_t address, std::string host) {
    DeviceRecord record;
    record.address = address;
    record.addressText = FormatDeviceAddress(address);
    record.hostName = std::move(host);
    return record;
}

struct ScriptedDatagram {
    ReceiveStatus status = ReceiveStatus::Received;
    std::string bytes;
    uint32_t source = 0;
};

// What the receivers made by one factory hand out, shared with the test.
class ReceiverScript {
public:
    void Push(ScriptedDatagram datagram) {
        std::lock_guard lock(m_mutex);
        m_datagrams.push_back(std::move(datagram));
        m_changed.notify_all();
    }
    void PushAnnouncement(uint32_t source, std::string bytes) {
        Push({ReceiveStatus::Received, std::move(bytes), source});
    }
    // Results of the coming Open calls; once used up, every Open succeeds.
    void SetOpenResults(std::deque<ReceiverOpenStatus> results) {
        std::lock_guard lock(m_mutex);
        m_openResults = std::move(results);
    }
    int Opens() const {
        std::lock_guard lock(m_mutex);
        return m_opens;
    }
    // Waits until the receiver has taken every pushed datagram.
    bool WaitDrained(std::chrono::milliseconds limit) {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, limit, [this] { return m_datagrams.empty(); });
    }

    ReceiverOpenStatus Open() {
        std::lock_guard lock(m_mutex);
        ++m_opens;
        if (m_openResults.empty()) {
            return ReceiverOpenStatus::Opened;
        }
        const ReceiverOpenStatus result = m_openResults.front();
        m_openResults.pop_front();
        return result;
    }

    ReceiveStatus Receive(std::span<char> buffer, std::chrono::milliseconds wait,
                          ReceivedDatagram& out) {
        std::unique_lock lock(m_mutex);
        if (!m_changed.wait_for(lock, wait, [this] { return !m_datagrams.empty(); })) {
            return ReceiveStatus::Nothing;
        }
        ScriptedDatagram next = std::move(m_datagrams.front());
        m_datagrams.pop_front();
        m_changed.notify_all();
        if (next.status != ReceiveStatus::Received) {
            return next.status;
        }
        if (next.bytes.size() > buffer.size()) {
            return ReceiveStatus::Oversized;
        }
        std::copy(next.bytes.begin(), next.bytes.end(), buffer.begin());
        out.length = next.bytes.size();
        out.sourceAddress = next.source;
        return ReceiveStatus::Received;
    }

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<ScriptedDatagram> m_datagrams;
    std::deque<ReceiverOpenStatus> m_openResults;
    int m_opens = 0;
};

class ScriptedReceiver final : public CAbstractAnnouncementReceiver {
public:
    explicit ScriptedReceiver(std::shared_ptr<ReceiverScript> script)
        : m_script(std::move(script)) {}
    ReceiverOpenStatus Open(uint16_t) override {
        const ReceiverOpenStatus status = m_script->Open();
        m_lastError = status == ReceiverOpenStatus::AddressInUse ? EADDRINUSE
                      : status == ReceiverOpenStatus::Failed     ? EACCES
                                                                 : 0;
        return status;
    }
    void Close() override {}
    ReceiveStatus Receive(std::span<char> buffer, std::chrono::milliseconds wait,
                          ReceivedDatagram& datagram) override {
        const ReceiveStatus status = m_script->Receive(buffer, wait, datagram);
        if (status == ReceiveStatus::Failed) {
            m_lastError = ENETDOWN;
        }
        return status;
    }
    int LastError() const override { return m_lastError; }

private:
    std::shared_ptr<ReceiverScript> m_script;
    int m_lastError = 0;
};

inline AnnouncementReceiverFactory ScriptedReceivers(std::shared_ptr<ReceiverScript> script) {
    return [script] { return std::make_unique<ScriptedReceiver>(script); };
}

class ManualTimer final : public CAbstractIntervalTimer {
public:
    void Start(std::chrono::milliseconds period, std::function<void()> onTick) override {
        m_period = period;
        m_onTick = std::move(onTick);
        m_running = true;
    }
    void Stop() override { m_running = false; }
    // One tick, as the UI thread's timer would run it.
    void Fire() {
        if (m_running) {
            const std::function<void()> onTick = m_onTick;
            onTick();
        }
    }
    bool IsRunning() const { return m_running; }
    std::chrono::milliseconds Period() const { return m_period; }

private:
    bool m_running = false;
    std::chrono::milliseconds m_period{0};
    std::function<void()> m_onTick;
};

class RecordingMeter final : public CAbstractProgressMeter {
public:
    void Show(wxWindow*) override { calls.push_back("Show"); }
    // The meter's window goes away and tells its callback, as the wizard's progress window does.
    void Close() override {
        calls.push_back("Close");
        GoAway();
    }
    // The user closes the window.
    void Cancel() {
        calls.push_back("Cancel");
        GoAway();
    }
    void SetText(const std::string& text) override { calls.push_back("SetText " + text); }
    void SetRange(int low, int high) override {
        calls.push_back("SetRange " + std::to_string(low) + " " + std::to_string(high));
    }
    void SetPosition(int position) override {
        calls.push_back("SetPosition " + std::to_string(position));
    }
    void BringToTop() override { ++raised; }

    std::vector<std::string> calls;
    int raised = 0;

private:
    void GoAway() {
        if (m_callback) {
            m_callback->OnComplete(0);
        }
    }
};

class RecordingNotifier final : public CAbstractLocateNotifier {
public:
    void OnDeviceFound(const DeviceRecord& record) override {
        found.push_back(&record);
        names.push_back(record.addressText + " " + record.hostName);
    }
    void OnLocateDone() override { ++done; }

    std::vector<const DeviceRecord*> found;
    std::vector<std::string> names;
    int done = 0;
};

} // namespace testing_support
