// The launcher's search on the real announcement port. These cases hold UDP 1234 and run under
// the udp1234 resource lock.
#include "LoopbackAnnouncer.h"

#include "common/discovery/LocateDeviceStep.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace {

using namespace std::chrono_literals;
using namespace testing_support;
using Clock = std::chrono::steady_clock;

TEST(LauncherLocate, FiveSecondWindowHearsEverySenderAndSurvivesStrayDatagrams) {
#ifdef _WIN32
    // Wine hands every datagram sent on loopback over as coming from 127.0.0.1, whatever address
    // its sender is bound to; the sources cannot be told apart there.
    GTEST_SKIP() << "loopback source addresses are not kept under Wine";
#endif
    CLocateDeviceStep step(LocateSettings::Launcher());
    step.SetTimeout(5);

    std::atomic<bool> sending{true};
    std::thread senders([&] {
        LoopbackAnnouncer servers[] = {LoopbackAnnouncer(Loopback(12)),
                                       LoopbackAnnouncer(Loopback(10)),
                                       LoopbackAnnouncer(Loopback(11))};
        LoopbackAnnouncer stray(Loopback(13));
        const char* names[] = {"gamma.home", "alpha.home", "beta"};
        while (sending) {
            for (int i = 0; i < 3; ++i) {
                servers[i].Send(AnnouncementText("10.1.1.1", 1000, names[i], "arm"), 1234);
            }
            // Longer than the launcher's 255-byte buffer.
            stray.Send(AnnouncementText("10.1.1.2", 1000, std::string(300, 's'), "arm"), 1234);
            std::this_thread::sleep_for(250ms);
        }
    });
    const auto start = Clock::now();
    ASSERT_TRUE(step.Locate(true, false, nullptr));
    const auto took = Clock::now() - start;
    sending = false;
    senders.join();

    EXPECT_GE(took, 5s);
    EXPECT_LE(took, 6s);
    const DeviceTable& found = step.Found();
    ASSERT_EQ(found.size(), 3u);
    auto it = found.begin();
    EXPECT_EQ((it++)->second.hostName, "alpha.home");
    EXPECT_EQ((it++)->second.hostName, "beta");
    EXPECT_EQ((it++)->second.hostName, "gamma.home");
    EXPECT_GE(step.LastStatistics()->oversized, 1u);
}

TEST(LauncherLocate, PortHeldByAnotherProgramGivesAnEmptyResultAfterItsRetries) {
    PortHolder holder(1234);
    ASSERT_TRUE(holder.IsHeld());
    LocateSettings settings = LocateSettings::Launcher();
    settings.restartDelay = 100ms;
    CLocateDeviceStep step(settings);
    step.SetTimeout(5);
    LoopbackAnnouncer server(Loopback(10));
    server.Send(AnnouncementText("10.1.1.1", 1000, "alpha", "arm"), 1234);

    const auto start = Clock::now();
    ASSERT_TRUE(step.Locate(true, false, nullptr));
    const auto took = Clock::now() - start;
    EXPECT_GE(took, 800ms); // eight waits between nine attempts
    EXPECT_LT(took, 3s);
    EXPECT_TRUE(step.Found().empty());
    EXPECT_EQ(step.LastStatistics()->openAttempts, 9);
    EXPECT_EQ(step.LastStatistics()->exitError, kAddressInUseError);
}

} // namespace
