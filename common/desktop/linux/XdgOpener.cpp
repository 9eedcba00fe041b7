#include "common/desktop/linux/XdgOpener.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

// Closes a descriptor when it goes out of scope.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : m_fd(fd) {}
    ~FileDescriptor() {
        if (m_fd >= 0) {
            close(m_fd);
        }
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int Get() const { return m_fd; }

private:
    int m_fd;
};

int StatusOf(int waitStatus) {
    if (WIFEXITED(waitStatus)) {
        return WEXITSTATUS(waitStatus);
    }
    if (WIFSIGNALED(waitStatus)) {
        return 128 + WTERMSIG(waitStatus);
    }
    return -1;
}

enum class ChildState { Ended, StillRunning, Lost };

// Waits for the child to end, at most `grace`; its wait status when it ended.
ChildState WaitForChild(pid_t pid, std::chrono::milliseconds grace, int& waitStatus) {
    const auto deadline = std::chrono::steady_clock::now() + grace;
    const FileDescriptor pidFd(static_cast<int>(syscall(SYS_pidfd_open, pid, 0)));
    while (true) {
        const pid_t done = waitpid(pid, &waitStatus, WNOHANG);
        if (done == pid) {
            return ChildState::Ended;
        }
        if (done < 0 && errno != EINTR) {
            return ChildState::Lost; // reaped elsewhere: its status is unknown
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            return ChildState::StillRunning;
        }
        if (pidFd.Get() >= 0) {
            pollfd entry{pidFd.Get(), POLLIN, 0};
            poll(&entry, 1, static_cast<int>(left.count()));
        } else {
            // Kernels without pidfd: look again shortly.
            usleep(static_cast<useconds_t>(std::min<long long>(left.count(), 10) * 1000));
        }
    }
}

} // namespace

CXdgOpener::CXdgOpener(std::string program, std::chrono::milliseconds grace)
    : m_program(std::move(program)), m_grace(grace) {}

OpenOutcome CXdgOpener::Open(const std::string& address) {
    std::vector<char*> arguments{const_cast<char*>(m_program.c_str()),
                                 const_cast<char*>(address.c_str()), nullptr};

    // The child starts with default signal handling whatever the toolkit set up here.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGCHLD);
    sigaddset(&defaults, SIGPIPE);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    sigset_t noMask;
    sigemptyset(&noMask);
    posix_spawnattr_setsigmask(&attributes, &noMask);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);

    pid_t pid = 0;
    const int error =
        posix_spawnp(&pid, m_program.c_str(), nullptr, &attributes, arguments.data(), environ);
    posix_spawnattr_destroy(&attributes);
    if (error != 0) {
        std::printf("Could not start %s: %s\n", m_program.c_str(), std::strerror(error));
        return {false, kNotStarted};
    }

    int waitStatus = 0;
    switch (WaitForChild(pid, m_grace, waitStatus)) {
    case ChildState::StillRunning:
        // It has handed the address on and waits for the program it started.
        return {true, 0};
    case ChildState::Lost:
        std::printf("%s %s: its exit status was lost\n", m_program.c_str(), address.c_str());
        return {false, -1};
    case ChildState::Ended:
        break;
    }
    const int status = StatusOf(waitStatus);
    if (status != 0) {
        std::printf("%s %s ended with status %d\n", m_program.c_str(), address.c_str(), status);
    }
    return {status == 0, status};
}

std::unique_ptr<CAbstractOpener> CreatePlatformOpener() {
    return std::make_unique<CXdgOpener>();
}
