// ChooseServer as the launcher runs it: splash, five seconds of listening to real announcements
// on loopback, then the automatic choice or the user's pick.
#include "GuiHelpers.h"
#include "WxTestEnvironment.h"
#include "tests/common/discovery/LoopbackAnnouncer.h"

#include "common/registry/Registry.h"
#include "launcher/DeviceChooser_ui.h"

#include <gtest/gtest.h>

#include <atomic>
#include <optional>

namespace {

using namespace std::chrono_literals;
using namespace testing_support;
using Clock = std::chrono::steady_clock;

// Three servers announcing on a port until stopped: "Home.local" at 127.0.0.20, "home" at
// 127.0.0.7, and a legacy server at 127.0.0.5.
class AnnouncingServers {
public:
    explicit AnnouncingServers(uint16_t port)
        : m_thread([this, port] {
              LoopbackAnnouncer high(Loopback(20)), low(Loopback(7)), legacy(Loopback(5));
              while (m_running) {
                  high.Send(AnnouncementText("192.168.1.20", 1000, "Home.local", "arm"), port);
                  low.Send(AnnouncementText("192.168.1.7", 1000, "home", "x86"), port);
                  legacy.Send("Hello there. I am at 10.0.0.5. Time is 5 and I am hungry.", port);
                  std::this_thread::sleep_for(300ms);
              }
          }) {}
    ~AnnouncingServers() {
        m_running = false;
        m_thread.join();
    }

private:
    std::atomic<bool> m_running{true};
    std::thread m_thread;
};

void Remember(const std::string& name) {
    ASSERT_TRUE(GetRegistry()->SetString(Machine, kProductKeyPath, "subdomain", name));
}

TEST(ChooseServer, FindsTheRememberedServerOnPort1234UnderTheSplash) {
    WriteSettings("[Default]\nreporttohomeonly=1\n");
    Remember("home");
    AnnouncingServers servers(1234);

    const auto start = Clock::now();
    std::optional<Clock::duration> splashSeen, splashGone;
    UiPoller watcher([&] {
        const bool shown = ShownSplash() != nullptr;
        if (shown && !splashSeen) {
            splashSeen = Clock::now() - start;
        }
        if (!shown && splashSeen && !splashGone) {
            splashGone = Clock::now() - start;
        }
        return splashGone.has_value();
    });
    std::string address = "untouched";
    const int choice = ChooseServer(address, 255);
    const auto took = Clock::now() - start;

    EXPECT_EQ(choice, ChoiceLocalDevice);
    EXPECT_EQ(address, "127.0.0.7");
    EXPECT_GE(took, 5s);
    EXPECT_LE(took, 6s);
    ASSERT_TRUE(splashSeen);
    EXPECT_LT(*splashSeen, 1s);
    // The splash goes on its own while the search goes on.
    ASSERT_TRUE(splashGone);
    EXPECT_GE(*splashGone, 2400ms);
    EXPECT_LE(*splashGone, 3800ms);
}

TEST(ChooseServer, LetsTheUserPickAmongTheFoundServersAndTheRelay) {
    WriteSettings("[Default]\nreporttohomeonly=0\n[Domain]\nDomain=example.net\n");
    Remember("home");
    LocateSettings settings = LocateSettings::Launcher();
    settings.port = FreeUdpPort();
    AnnouncingServers servers(settings.port);

    std::vector<std::string> offered;
    UiPoller user([&] {
        kvChooseDeviceDlg* dialog = ModalChooseDeviceDialog();
        if (!dialog) {
            return false;
        }
        offered = ItemTexts(*dialog->List());
        Select(*dialog->List(), 1);
        Press(*dialog, wxID_OK);
        return true;
    });
    std::string address = "untouched";
    EXPECT_EQ(ChooseServer(address, 255, settings), ChoiceLocalDevice);
    EXPECT_EQ(offered, (std::vector<std::string>{"home (127.0.0.7)", "Home (127.0.0.20)",
                                                 "www.example.net"}));
    EXPECT_EQ(address, "127.0.0.20");
}

TEST(ChooseServer, CancelKeepsTheOutputAndTheRelayEmptiesIt) {
    WriteSettings("[Default]\nreporttohomeonly=0\n[Domain]\nDomain=example.net\n");
    Remember("myhome");
    LocateSettings settings = LocateSettings::Launcher();
    settings.port = FreeUdpPort();

    std::vector<std::string> offered;
    auto answer = [&](bool cancel) {
        return [&offered, cancel] {
            kvChooseDeviceDlg* dialog = ModalChooseDeviceDialog();
            if (!dialog) {
                return false;
            }
            offered = ItemTexts(*dialog->List());
            if (cancel) {
                Press(*dialog, wxID_CANCEL);
            } else {
                Select(*dialog->List(), 1);
                Press(*dialog, wxID_OK);
            }
            return true;
        };
    };
    std::string address = "untouched";
    {
        UiPoller user(answer(true));
        EXPECT_EQ(ChooseServer(address, 255, settings), ChoiceCancelled);
    }
    EXPECT_EQ(address, "untouched");
    EXPECT_EQ(offered, (std::vector<std::string>{"myhome.example.net (home)", "www.example.net"}));
    {
        UiPoller user(answer(false));
        EXPECT_EQ(ChooseServer(address, 255, settings), ChoiceRelaySite);
    }
    EXPECT_EQ(address, "");
}

} // namespace
