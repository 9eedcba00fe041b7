#include "wizard/camera/linux/GioCameraRelease.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <thread>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

// Spawn attributes and file actions, released on every path.
class SpawnSetup {
public:
    SpawnSetup() {
        m_ok = posix_spawn_file_actions_init(&m_actions) == 0;
        if (m_ok) {
            m_ok = posix_spawn_file_actions_addopen(&m_actions, STDIN_FILENO, "/dev/null", O_RDONLY,
                                                    0) == 0 &&
                   posix_spawn_file_actions_addopen(&m_actions, STDOUT_FILENO, "/dev/null",
                                                    O_WRONLY, 0) == 0 &&
                   posix_spawn_file_actions_adddup2(&m_actions, STDOUT_FILENO, STDERR_FILENO) == 0;
        }
    }
    ~SpawnSetup() { posix_spawn_file_actions_destroy(&m_actions); }
    SpawnSetup(const SpawnSetup&) = delete;
    SpawnSetup& operator=(const SpawnSetup&) = delete;

    bool ok() const { return m_ok; }
    const posix_spawn_file_actions_t* Actions() const { return &m_actions; }

private:
    posix_spawn_file_actions_t m_actions{};
    bool m_ok = false;
};

// Waits for the child up to the deadline; a child still running then is killed and reaped, so
// that no zombie stays behind.
bool WaitBounded(pid_t child, std::chrono::steady_clock::time_point deadline) {
    auto pause = std::chrono::milliseconds(2);
    for (;;) {
        int status = 0;
        const pid_t ended = waitpid(child, &status, WNOHANG);
        if (ended == child) {
            return WIFEXITED(status) && WEXITSTATUS(status) == 0;
        }
        if (ended < 0 && errno != EINTR) {
            return false;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            kill(child, SIGKILL);
            while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
            }
            return false;
        }
        std::this_thread::sleep_for(pause);
        pause = std::min(pause * 2, std::chrono::milliseconds(50));
    }
}

} // namespace

CGioCameraRelease::CGioCameraRelease(std::string program, std::chrono::milliseconds limit)
    : m_program(std::move(program)), m_limit(limit) {}

bool CGioCameraRelease::Release(const std::string& port) {
    const auto deadline = std::chrono::steady_clock::now() + m_limit;
    std::string location = "gphoto2://[" + port + "]/";
    std::string mount = "mount";
    std::string unmount = "-u";
    std::vector<char*> arguments = {m_program.data(), mount.data(), unmount.data(), location.data(),
                                    nullptr};
    SpawnSetup setup;
    if (!setup.ok()) {
        return false;
    }
    pid_t child = 0;
    if (posix_spawnp(&child, m_program.c_str(), setup.Actions(), nullptr, arguments.data(),
                     environ) != 0) {
        return false;
    }
    return WaitBounded(child, deadline);
}
