// Measures what the locate step costs: CPU time of a launcher window with nobody announcing and
// with 200 servers announcing five times a second each, whether any announcement that arrived in
// the window was lost, and how long the UI tick holds the UI thread. Not a test: run it with
// scripts/bench-discovery.sh and read the figures.
#include "tests/common/discovery/LocateTestDoubles.h"
#include "tests/common/discovery/LoopbackAnnouncer.h"

#include "common/discovery/LocateDeviceStep.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using namespace std::chrono_literals;
using namespace testing_support;
using Clock = std::chrono::steady_clock;

constexpr int kServers = 200;
constexpr int kRoundsPerSecond = 5;

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Starts a child process that announces kServers servers (127.0.0.2 upwards) on `port`,
// kRoundsPerSecond rounds a second for `duration`, after `delay`. Its CPU time is its own.
// Returns its pid; the count of datagrams it sent comes through `countPipe`.
pid_t StartAnnouncers(uint16_t port, std::chrono::milliseconds delay,
                      std::chrono::milliseconds duration, int countPipe) {
    const pid_t pid = fork();
    if (pid != 0) {
        return pid;
    }
    std::vector<std::unique_ptr<LoopbackAnnouncer>> servers;
    std::vector<std::string> texts;
    for (int i = 0; i < kServers; ++i) {
        servers.push_back(
            std::make_unique<LoopbackAnnouncer>(Loopback(static_cast<uint8_t>(2 + i))));
        texts.push_back(AnnouncementText("192.168.1." + std::to_string(i), 1700000000,
                                         "server" + std::to_string(i) + ".home", "arm"));
    }
    std::this_thread::sleep_for(delay);
    long sent = 0;
    const auto start = Clock::now();
    for (auto round = start; round < start + duration; round += 1000ms / kRoundsPerSecond) {
        std::this_thread::sleep_until(round);
        for (int i = 0; i < kServers; ++i) {
            sent += servers[i]->Send(texts[i], port) ? 1 : 0;
        }
    }
    [[maybe_unused]] const ssize_t written = write(countPipe, &sent, sizeof sent);
    _exit(0);
}

long FinishAnnouncers(pid_t pid, int countPipe) {
    long sent = 0;
    [[maybe_unused]] const ssize_t got = read(countPipe, &sent, sizeof sent);
    waitpid(pid, nullptr, 0);
    return sent;
}

void QuietWindow() {
    LocateSettings settings = LocateSettings::Launcher();
    settings.port = FreeUdpPort();
    CLocateDeviceStep step(settings);
    step.SetTimeout(5);
    const double cpu = CpuSeconds();
    const auto start = Clock::now();
    step.Locate(true, false, nullptr);
    const double wall = std::chrono::duration<double>(Clock::now() - start).count();
    std::printf("quiet launcher window:  %.2f s long, %.1f ms CPU (limit 20 ms)\n", wall,
                (CpuSeconds() - cpu) * 1000);
}

void BusyWindow() {
    LocateSettings settings = LocateSettings::Launcher();
    settings.port = FreeUdpPort();
    CLocateDeviceStep step(settings);
    step.SetTimeout(5);
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0) {
        return;
    }
    // Announcing starts and stops inside the window, so every datagram sent should be received.
    const pid_t child = StartAnnouncers(settings.port, 300ms, 4500ms, pipeEnds[1]);
    const double cpu = CpuSeconds();
    step.Locate(true, false, nullptr);
    const double used = CpuSeconds() - cpu;
    const long sent = FinishAnnouncers(child, pipeEnds[0]);
    const LocateStatistics statistics = *step.LastStatistics();
    std::printf("busy launcher window:   %d servers x %d/s: %.1f ms CPU (limit 100 ms); "
                "%ld sent, %llu received, %ld lost; %zu servers found\n",
                kServers, kRoundsPerSecond, used * 1000, sent,
                static_cast<unsigned long long>(statistics.datagrams),
                sent - static_cast<long>(statistics.datagrams), step.Found().size());
}

void TicksUnderLoad() {
    LocateSettings settings = LocateSettings::Wizard();
    settings.port = FreeUdpPort();
    auto ownedTimer = std::make_unique<ManualTimer>();
    ManualTimer* timer = ownedTimer.get();
    CLocateDeviceStep step(settings, std::move(ownedTimer));
    RecordingMeter meter;
    RecordingNotifier notifier;
    step.SetMeter(&meter);
    step.SetNotifier(&notifier);
    step.SetTimeout(5);
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0) {
        return;
    }
    const pid_t child = StartAnnouncers(settings.port, 100ms, 4500ms, pipeEnds[1]);
    step.Locate(false, true, nullptr);
    std::vector<double> ticks;
    auto next = Clock::now();
    while (step.IsRunning()) {
        next += 500ms;
        std::this_thread::sleep_until(next);
        const auto start = Clock::now();
        timer->Fire();
        ticks.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    FinishAnnouncers(child, pipeEnds[0]);
    std::printf(
        "UI ticks under load:    %zu ticks, longest %.3f ms, median %.3f ms (limit 2 ms); "
        "%zu servers reported, done %d time(s)\n",
        ticks.size(), *std::max_element(ticks.begin(), ticks.end()),
        [&] {
            std::vector<double> sorted = ticks;
            std::sort(sorted.begin(), sorted.end());
            return sorted[sorted.size() / 2];
        }(),
        notifier.found.size(), notifier.done);
}

} // namespace

int main() {
    QuietWindow();
    BusyWindow();
    TicksUnderLoad();
    return 0;
}
