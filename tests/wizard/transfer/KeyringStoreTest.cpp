// The keyring store where no keyring service runs: nothing is remembered, and nothing waits for
// long, whether there is no session bus, a bus without a keyring, or a bus that never answers.
// GDBus keeps one session bus connection per process: ctest runs every case in its own.
#include "wizard/transfer/ShareCredentials.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

class KeyringStoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
        m_saved = address != nullptr ? std::optional<std::string>(address) : std::nullopt;
        char pattern[] = "/tmp/velmora-bus-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        m_folder = pattern;
    }
    void TearDown() override {
        if (m_daemon > 0) {
            ::kill(m_daemon, SIGTERM);
            int status = 0;
            ::waitpid(m_daemon, &status, 0);
        }
        if (m_listener >= 0) {
            ::close(m_listener);
        }
        if (m_saved) {
            ::setenv("DBUS_SESSION_BUS_ADDRESS", m_saved->c_str(), 1);
        } else {
            ::unsetenv("DBUS_SESSION_BUS_ADDRESS");
        }
        std::error_code ignored;
        fs::remove_all(m_folder, ignored);
    }

    // A session bus of our own; no keyring service is installed to be started on it.
    bool StartBus() {
        const std::string socket = m_folder + "/bus";
        std::vector<std::string> arguments = {"dbus-daemon", "--session", "--nofork", "--nopidfile",
                                              "--address=unix:path=" + socket};
        std::vector<char*> argv;
        for (std::string& argument : arguments) {
            argv.push_back(argument.data());
        }
        argv.push_back(nullptr);
        if (::posix_spawnp(&m_daemon, argv[0], nullptr, nullptr, argv.data(), environ) != 0) {
            m_daemon = -1;
            return false;
        }
        for (int i = 0; i < 500 && !fs::exists(socket); ++i) {
            std::this_thread::sleep_for(10ms);
        }
        ::setenv("DBUS_SESSION_BUS_ADDRESS", ("unix:path=" + socket).c_str(), 1);
        return fs::exists(socket);
    }

    // A socket that takes connections and never says a word.
    void StartSilentBus() {
        const std::string socket = m_folder + "/silent";
        m_listener = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::snprintf(address.sun_path, sizeof address.sun_path, "%s", socket.c_str());
        ASSERT_EQ(::bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        ASSERT_EQ(::listen(m_listener, 8), 0);
        ::setenv("DBUS_SESSION_BUS_ADDRESS", ("unix:path=" + socket).c_str(), 1);
    }

    std::string m_folder;
    std::optional<std::string> m_saved;
    pid_t m_daemon = -1;
    int m_listener = -1;
};

std::chrono::steady_clock::duration Time(const std::function<void()>& action) {
    const auto started = std::chrono::steady_clock::now();
    action();
    return std::chrono::steady_clock::now() - started;
}

TEST_F(KeyringStoreTest, WithoutASessionBusNothingIsAsked) {
    ::unsetenv("DBUS_SESSION_BUS_ADDRESS");
    auto keyring = CreateKeyringCredentialStore();
    EXPECT_LT(Time([&] {
                  EXPECT_FALSE(keyring->Save("10.0.0.5", {"anna", "secret", ""}));
                  EXPECT_FALSE(keyring->Find("10.0.0.5").has_value());
              }),
              1s);
}

TEST_F(KeyringStoreTest, ABusWithoutAKeyringRemembersNothing) {
    if (!StartBus()) {
        GTEST_SKIP() << "dbus-daemon is not installed (package dbus)";
    }
    auto keyring = CreateKeyringCredentialStore();
    EXPECT_LT(Time([&] {
                  EXPECT_FALSE(keyring->Save("10.0.0.5:4445", {"anna", "secret", "HOME"}));
                  EXPECT_FALSE(keyring->Find("10.0.0.5:4445").has_value());
              }),
              4s);
}

TEST_F(KeyringStoreTest, ABusThatNeverAnswersIsGivenUpOnInSeconds) {
    StartSilentBus();
    auto keyring = CreateKeyringCredentialStore();
    EXPECT_LT(Time([&] { EXPECT_FALSE(keyring->Find("10.0.0.5").has_value()); }), 5s);
}

} // namespace
