#include "LocateTestDoubles.h"
#include "LoopbackAnnouncer.h"

#include "common/discovery/LocateDeviceStep.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace {

using namespace std::chrono_literals;
using namespace testing_support;
using Clock = std::chrono::steady_clock;

std::string Hello(std::string_view host, std::string_view cpu = "arm", long time = 1000) {
    return AnnouncementText("10.0.0.1", time, host, cpu);
}

struct ScriptedStep {
    explicit ScriptedStep(LocateSettings settings = LocateSettings::Wizard()) {
        auto ownedTimer = std::make_unique<ManualTimer>();
        timer = ownedTimer.get();
        step = std::make_unique<CLocateDeviceStep>(settings, std::move(ownedTimer),
                                                   ScriptedReceivers(script));
        step->SetMeter(&meter);
        step->SetNotifier(&notifier);
    }
    // Ticks until the search has ended, as the UI thread's timer would.
    void TickUntilDone(std::chrono::milliseconds limit = 5s) {
        const auto end = Clock::now() + limit;
        while (step->IsRunning() && Clock::now() < end) {
            std::this_thread::sleep_for(20ms);
            timer->Fire();
        }
    }

    std::shared_ptr<ReceiverScript> script = std::make_shared<ReceiverScript>();
    ManualTimer* timer = nullptr;
    RecordingMeter meter;
    RecordingNotifier notifier;
    std::unique_ptr<CLocateDeviceStep> step;
};

TEST(LocateStep, FirstAnnouncementFromASourceWinsAndBadOnesChangeNothing) {
    ScriptedStep s;
    s.script->PushAnnouncement(0x0A000009, Hello("first.home", "arm"));
    s.script->PushAnnouncement(0x0A000009, Hello("second.home", "x86"));
    // The announced address differs from the source: the source is the key.
    s.script->PushAnnouncement(0x0A000003, AnnouncementText("192.168.7.7", 5, "other", "mips"));
    s.script->PushAnnouncement(0x0A000004, Hello("zero-time", "arm", 0));
    s.script->PushAnnouncement(0x0A000005, AnnouncementText("0.0.0.0", 5, "zero", "arm"));
    s.script->PushAnnouncement(0x0A000006, "GET / HTTP/1.0\r\n\r\n");
    s.script->PushAnnouncement(0x0A000007, std::string(2000, 'x'));
    s.script->PushAnnouncement(0x0A000008, AnnouncementText("0.0.0.1", 5, "tiny", "arm"));
    s.script->Push({ReceiveStatus::Failed, {}, 0}); // ends the window at once
    ASSERT_TRUE(s.step->Locate(true, false, nullptr));

    const DeviceTable& found = s.step->Found();
    ASSERT_EQ(found.size(), 3u);
    const DeviceRecord& first = found.at(0x0A000009);
    EXPECT_EQ(first.hostName, "first.home");
    EXPECT_EQ(first.cpu, "arm");
    EXPECT_EQ(first.addressText, "10.0.0.9");
    EXPECT_EQ(first.address, 0x0A000009u);
    EXPECT_EQ(first.kind, LocalDevice);
    EXPECT_NEAR(static_cast<double>(first.foundTime), static_cast<double>(std::time(nullptr)), 5.0);
    EXPECT_EQ(found.at(0x0A000003).addressText, "10.0.0.3");
    EXPECT_EQ(found.at(0x0A000008).hostName, "tiny");

    const auto statistics = s.step->LastStatistics();
    ASSERT_TRUE(statistics);
    EXPECT_EQ(statistics->accepted, 3u);
    EXPECT_EQ(statistics->duplicates, 1u);
    EXPECT_EQ(statistics->ignored, 3u);
    EXPECT_EQ(statistics->oversized, 1u);
    // A synchronous search reports nothing to the notifier and never shows the meter.
    EXPECT_TRUE(s.notifier.names.empty());
    EXPECT_TRUE(s.meter.calls.empty());
    EXPECT_FALSE(s.step->IsRunning());
}

TEST(LocateStep, RefusesContradictoryOrIncompleteRequests) {
    ScriptedStep s;
    EXPECT_FALSE(s.step->Locate(true, true, nullptr));
    s.step->SetMeter(nullptr);
    EXPECT_FALSE(s.step->Locate(false, true, nullptr));

    CLocateDeviceStep withoutTimer(LocateSettings::Wizard(), nullptr, ScriptedReceivers(s.script));
    EXPECT_FALSE(withoutTimer.Locate(false, false, nullptr));
    EXPECT_FALSE(s.step->IsRunning());
    EXPECT_EQ(s.script->Opens(), 0);
}

TEST(LocateStep, AsynchronousSearchReportsEachServerOnceInAddressOrder) {
    ScriptedStep s;
    s.step->SetTimeout(30);
    ASSERT_TRUE(s.step->Locate(false, true, nullptr));
    EXPECT_EQ(s.timer->Period(), 500ms);
    EXPECT_EQ(s.meter.calls, (std::vector<std::string>{"Show", "SetRange 0 10", "SetPosition 0"}));
    EXPECT_EQ(s.meter.Callback(), s.step.get());

    // A second search while one runs changes nothing.
    EXPECT_FALSE(s.step->Locate(false, true, nullptr));

    s.script->PushAnnouncement(0x0A000009, Hello("nine"));
    s.script->PushAnnouncement(0x0A000003, Hello("three"));
    s.script->PushAnnouncement(0x0A000005, Hello("five"));
    ASSERT_TRUE(s.script->WaitDrained(2s));
    std::this_thread::sleep_for(50ms);
    s.timer->Fire();
    EXPECT_EQ(s.notifier.names,
              (std::vector<std::string>{"10.0.0.3 three", "10.0.0.5 five", "10.0.0.9 nine"}));

    s.script->PushAnnouncement(0x0A000005, Hello("five-again"));
    s.script->PushAnnouncement(0x0A000001, Hello("one"));
    ASSERT_TRUE(s.script->WaitDrained(2s));
    std::this_thread::sleep_for(50ms);
    s.timer->Fire();
    s.timer->Fire();
    EXPECT_EQ(s.notifier.names.size(), 4u);
    EXPECT_EQ(s.notifier.names.back(), "10.0.0.1 one");
    EXPECT_EQ(s.notifier.done, 0);
    EXPECT_GE(s.meter.raised, 3);

    // The worker ends (here: its socket fails); the next tick closes the meter, whose window
    // completes the search.
    s.script->Push({ReceiveStatus::Failed, {}, 0});
    s.TickUntilDone();
    EXPECT_FALSE(s.step->IsRunning());
    EXPECT_EQ(s.notifier.done, 1);
    EXPECT_EQ(s.meter.calls.back(), "Close");
    EXPECT_FALSE(s.timer->IsRunning());

    // What the notifier was handed lives in the result table.
    ASSERT_EQ(s.step->Found().size(), 4u);
    for (const DeviceRecord* record : s.notifier.found) {
        EXPECT_EQ(record, &s.step->Found().at(record->address));
    }
    s.timer->Fire();
    EXPECT_EQ(s.notifier.done, 1);
}

TEST(LocateStep, ClosingTheMeterEndsTheSearchAndLaterServersAreNotReported) {
    ScriptedStep s;
    s.step->SetTimeout(30);
    ASSERT_TRUE(s.step->Locate(false, true, nullptr));
    s.script->PushAnnouncement(0x0A000002, Hello("early"));
    ASSERT_TRUE(s.script->WaitDrained(2s));
    std::this_thread::sleep_for(50ms);
    s.timer->Fire();
    ASSERT_EQ(s.notifier.names.size(), 1u);

    s.meter.Cancel();
    EXPECT_FALSE(s.step->IsRunning());
    EXPECT_EQ(s.notifier.done, 1);

    s.script->PushAnnouncement(0x0A000001, Hello("late"));
    s.timer->Fire();
    EXPECT_EQ(s.notifier.names.size(), 1u);
    EXPECT_EQ(s.step->Found().size(), 1u);

    // The worker stops within one receive wait.
    const auto end = Clock::now() + 2s;
    while (!s.step->LastStatistics() && Clock::now() < end) {
        std::this_thread::sleep_for(10ms);
    }
    EXPECT_TRUE(s.step->LastStatistics());
    // A second completion, as from a second close of the window, reports nothing more.
    s.step->OnComplete(0);
    EXPECT_EQ(s.notifier.done, 1);
}

TEST(LocateStep, WithoutAMeterTheTickCompletesTheSearchItself) {
    ScriptedStep s;
    s.step->SetMeter(nullptr);
    ASSERT_TRUE(s.step->Locate(false, false, nullptr));
    s.script->PushAnnouncement(0x0A000002, Hello("only"));
    s.script->Push({ReceiveStatus::Failed, {}, 0});
    s.TickUntilDone();
    EXPECT_FALSE(s.step->IsRunning());
    EXPECT_EQ(s.notifier.done, 1);
    EXPECT_EQ(s.notifier.names, (std::vector<std::string>{"10.0.0.2 only"}));
    EXPECT_TRUE(s.meter.calls.empty());
}

TEST(LocateStep, ANewSearchAfterACompletedOneStartsAfresh) {
    ScriptedStep s;
    s.script->PushAnnouncement(0x0A000002, Hello("before"));
    s.script->Push({ReceiveStatus::Failed, {}, 0});
    ASSERT_TRUE(s.step->Locate(true, false, nullptr));
    ASSERT_EQ(s.step->Found().size(), 1u);

    s.script->PushAnnouncement(0x0A000003, Hello("after"));
    s.script->Push({ReceiveStatus::Failed, {}, 0});
    ASSERT_TRUE(s.step->Locate(false, true, nullptr));
    EXPECT_TRUE(s.step->Found().empty());
    s.TickUntilDone();
    EXPECT_EQ(s.notifier.names, (std::vector<std::string>{"10.0.0.3 after"}));
    EXPECT_EQ(s.notifier.done, 1);
}

TEST(LocateStep, DestroyingARunningStepStopsItsWorkerWithoutCallbacks) {
    ScriptedStep s;
    s.step->SetTimeout(60);
    ASSERT_TRUE(s.step->Locate(false, true, nullptr));
    s.script->PushAnnouncement(0x0A000002, Hello("one"));
    const auto start = Clock::now();
    s.step.reset();
    EXPECT_LT(Clock::now() - start, 1s);
    EXPECT_EQ(s.notifier.done, 0);
    // The meter's window may outlive the step; closing it must not call into the step.
    EXPECT_EQ(s.meter.Callback(), nullptr);
    s.meter.Cancel();
}

TEST(LocateStep, AFinishedSearchLetsGoOfItsMeterWhichMayThenGoFirst) {
    // The owner may hold the meter beside the step and free it first once the search is over.
    auto ownedTimer = std::make_unique<ManualTimer>();
    ManualTimer* timer = ownedTimer.get();
    auto script = std::make_shared<ReceiverScript>();
    auto step = std::make_unique<CLocateDeviceStep>(LocateSettings::Wizard(), std::move(ownedTimer),
                                                    ScriptedReceivers(script));
    auto meter = std::make_unique<RecordingMeter>();
    step->SetMeter(meter.get());
    ASSERT_TRUE(step->Locate(false, true, nullptr));
    script->Push({ReceiveStatus::Failed, {}, 0});
    const auto end = Clock::now() + 5s;
    while (step->IsRunning() && Clock::now() < end) {
        std::this_thread::sleep_for(20ms);
        timer->Fire();
    }
    ASSERT_FALSE(step->IsRunning());
    EXPECT_EQ(meter->Callback(), nullptr);

    // The same after the user closed the meter's window during the search.
    step->SetTimeout(30);
    ASSERT_TRUE(step->Locate(false, true, nullptr));
    EXPECT_EQ(meter->Callback(), step.get());
    meter->Cancel();
    EXPECT_FALSE(step->IsRunning());
    EXPECT_EQ(meter->Callback(), nullptr);

    meter.reset();
    step.reset();
}

TEST(LocateStep, WizardRetriesABusyPortTwentyTimesThenGivesUp) {
    LocateSettings settings = LocateSettings::Wizard();
    settings.openRetryDelay = 5ms;
    ScriptedStep s(settings);
    s.script->SetOpenResults(std::deque<ReceiverOpenStatus>(25, ReceiverOpenStatus::AddressInUse));
    s.script->PushAnnouncement(0x0A000002, Hello("never-heard"));
    ASSERT_TRUE(s.step->Locate(true, false, nullptr));
    EXPECT_TRUE(s.step->Found().empty());
    EXPECT_EQ(s.script->Opens(), 20);
    EXPECT_EQ(s.step->LastStatistics()->exitError, EADDRINUSE);
}

TEST(LocateStep, WizardGivesUpAtOnceOnOtherOpenFailuresAndEndsOnReceiveErrors) {
    ScriptedStep s;
    s.script->SetOpenResults({ReceiverOpenStatus::Failed});
    ASSERT_TRUE(s.step->Locate(true, false, nullptr));
    EXPECT_EQ(s.script->Opens(), 1);
    EXPECT_EQ(s.step->LastStatistics()->exitError, EACCES);

    // A receive error ends the window early; what was found stays.
    s.step->SetTimeout(30);
    s.script->PushAnnouncement(0x0A000002, Hello("kept"));
    s.script->Push({ReceiveStatus::Failed, {}, 0});
    const auto start = Clock::now();
    ASSERT_TRUE(s.step->Locate(true, false, nullptr));
    EXPECT_LT(Clock::now() - start, 2s);
    EXPECT_EQ(s.step->Found().size(), 1u);
    EXPECT_EQ(s.step->LastStatistics()->exitError, ENETDOWN);
}

TEST(LocateStep, LauncherRestartsItsWindowEightTimesForAnUnusableSocket) {
    LocateSettings settings = LocateSettings::Launcher();
    settings.restartDelay = 5ms;
    ScriptedStep s(settings);
    s.script->SetOpenResults(std::deque<ReceiverOpenStatus>(20, ReceiverOpenStatus::AddressInUse));
    s.step->SetTimeout(5);
    const auto start = Clock::now();
    ASSERT_TRUE(s.step->Locate(true, false, nullptr));
    EXPECT_LT(Clock::now() - start, 2s);
    EXPECT_EQ(s.script->Opens(), 9);
    EXPECT_TRUE(s.step->Found().empty());
}

TEST(LocateStep, LauncherKeepsListeningAfterARecoveredSocket) {
    LocateSettings settings = LocateSettings::Launcher();
    settings.restartDelay = 5ms;
    ScriptedStep s(settings);
    s.script->SetOpenResults(
        {ReceiverOpenStatus::AddressInUse, ReceiverOpenStatus::Opened, ReceiverOpenStatus::Opened});
    s.step->SetTimeout(1);
    s.script->PushAnnouncement(0x0A000002, Hello("before-failure"));
    s.script->Push({ReceiveStatus::Failed, {}, 0});
    s.script->PushAnnouncement(0x0A000003, Hello("after-failure"));
    // The launcher's buffer holds 255 bytes; a longer datagram is dropped, not fatal.
    s.script->PushAnnouncement(0x0A000004, Hello(std::string(300, 'l')));
    s.script->PushAnnouncement(0x0A000005, Hello("after-long"));
    ASSERT_TRUE(s.step->Locate(true, false, nullptr));
    EXPECT_EQ(s.script->Opens(), 3);
    EXPECT_EQ(s.step->Found().size(), 3u);
    EXPECT_FALSE(s.step->Found().contains(0x0A000004));
    EXPECT_EQ(s.step->LastStatistics()->exitError, 0);
}

TEST(LocateStep, SynchronousWaitRunsThePumpAndLastsTheWindow) {
    ScriptedStep s;
    s.step->SetTimeout(1);
    int pumped = 0;
    s.step->SetSynchronousWaitPump([&] { ++pumped; });
    const auto start = Clock::now();
    ASSERT_TRUE(s.step->Locate(true, false, nullptr));
    const auto took = Clock::now() - start;
    // The window lasts the timeout, and the wait ends soon after it.
    EXPECT_GE(took, 1s);
    EXPECT_LE(took, 1500ms);
    EXPECT_GE(pumped, 10);
}

// Real datagrams on loopback, on a port of the test's own.
TEST(LocateStepOnLoopback, FindsSeveralSendersByTheirSourceAddresses) {
#ifdef _WIN32
    // Wine hands every datagram sent on loopback over as coming from 127.0.0.1, whatever address
    // its sender is bound to; the sources cannot be told apart there.
    GTEST_SKIP() << "loopback source addresses are not kept under Wine";
#endif
    LocateSettings settings = LocateSettings::Wizard();
    settings.port = FreeUdpPort();
    ASSERT_NE(settings.port, 0);
    CLocateDeviceStep step(settings);
    step.SetTimeout(1);

    std::thread senders([port = settings.port] {
        std::this_thread::sleep_for(200ms);
        LoopbackAnnouncer a(Loopback(5)), b(Loopback(3)), c(Loopback(4));
        for (int round = 0; round < 3; ++round) {
            a.Send(AnnouncementText("192.168.1.20", 1000 + round, "srv5.home", "arm"), port);
            b.Send(AnnouncementText("192.168.1.21", 1000, round ? "late" : "srv3", "x86"), port);
            c.Send(AnnouncementText("0.0.0.0", 1000, "zero", "x86"), port);
            c.Send(std::string(1500, 'z'), port);
            std::this_thread::sleep_for(50ms);
        }
    });
    const auto start = Clock::now();
    ASSERT_TRUE(step.Locate(true, false, nullptr));
    const auto took = Clock::now() - start;
    senders.join();

    EXPECT_GE(took, 1s);
    EXPECT_LE(took, 1500ms);
    const DeviceTable& found = step.Found();
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found.at(Loopback(5)).hostName, "srv5.home");
    EXPECT_EQ(found.at(Loopback(5)).addressText, "127.0.0.5");
    EXPECT_EQ(found.at(Loopback(3)).hostName, "srv3");
    EXPECT_EQ(found.at(Loopback(3)).cpu, "x86");
    EXPECT_EQ(step.LastStatistics()->oversized, 3u);
}

TEST(LocateStepOnLoopback, APortHeldByAnotherSocketEndsWithNothingFound) {
    const uint16_t port = FreeUdpPort();
    PortHolder holder(port);
    ASSERT_TRUE(holder.IsHeld());
    LocateSettings settings = LocateSettings::Wizard();
    settings.port = port;
    settings.openRetryDelay = 10ms;
    CLocateDeviceStep step(settings);
    const auto start = Clock::now();
    ASSERT_TRUE(step.Locate(true, false, nullptr));
    EXPECT_LT(Clock::now() - start, 2s);
    EXPECT_TRUE(step.Found().empty());
    EXPECT_EQ(step.LastStatistics()->openAttempts, 20);
    EXPECT_EQ(step.LastStatistics()->exitError, kAddressInUseError);
}

} // namespace
