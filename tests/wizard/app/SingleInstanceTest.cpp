// The single-instance rule between real processes: each run is a forked child that takes the
// lock as a run of the wizard would, as root or as another user.
#include "wizard/app/linux/SingleInstanceLock.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <pwd.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace {

constexpr char kAcquired = 'A';
constexpr char kRunning = 'R';
constexpr char kUnchecked = 'C';
constexpr char kChildFailed = 'X';

char Letter(SingleInstanceStatus status) {
    switch (status) {
    case SingleInstanceStatus::Acquired:
        return kAcquired;
    case SingleInstanceStatus::AlreadyRunning:
        return kRunning;
    case SingleInstanceStatus::CouldNotCheck:
        return kUnchecked;
    }
    return kChildFailed;
}

// A world-writable sticky folder like /run/lock, so that other users can take part.
class CLockFolder {
public:
    CLockFolder() {
        std::string pattern = "/tmp/velmora-lock-XXXXXX";
        if (::mkdtemp(pattern.data()) != nullptr && ::chmod(pattern.c_str(), 01777) == 0) {
            path_ = pattern;
        }
    }
    ~CLockFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    CLockFolder(const CLockFolder&) = delete;
    CLockFolder& operator=(const CLockFolder&) = delete;

    const std::string& Path() const { return path_; }
    std::string LockPath() const { return path_ + "/" + kWizardLockFileName; }

private:
    std::string path_;
};

struct RunAs {
    std::optional<uid_t> uid;
    gid_t gid = 0;
};

std::optional<RunAs> User(const char* name) {
    const passwd* user = ::getpwnam(name);
    if (user == nullptr) {
        return std::nullopt;
    }
    return RunAs{user->pw_uid, user->pw_gid};
}

enum class Then { Exit, Hold, ExecSleep };

// One run of the wizard in a child process: takes the lock in `folder` and reports the outcome;
// Hold keeps running until Release or Kill, ExecSleep replaces itself by a long sleep, as a run
// that starts another program and ends would leave it behind.
class CRun {
public:
    CRun(const std::string& folder, const RunAs& as, Then then, mode_t umaskBits = 022) {
        int report[2];
        int control[2];
        if (::pipe2(report, O_CLOEXEC) != 0 || ::pipe2(control, O_CLOEXEC) != 0) {
            return;
        }
        pid_ = ::fork();
        if (pid_ == 0) {
            ::close(report[0]);
            ::close(control[1]);
            ::umask(umaskBits);
            if (as.uid && (::setgid(as.gid) != 0 || ::setuid(*as.uid) != 0)) {
                const char failed = kChildFailed;
                (void)!::write(report[1], &failed, 1);
                ::_exit(1);
            }
            CSingleInstanceLock lock(folder, kWizardLockFileName);
            const char letter = Letter(lock.Acquire().status);
            (void)!::write(report[1], &letter, 1);
            if (then == Then::ExecSleep) {
                ::execl("/bin/sleep", "sleep", "60", static_cast<char*>(nullptr));
            } else if (then == Then::Hold) {
                char ignored;
                while (::read(control[0], &ignored, 1) > 0) {
                }
            }
            ::_exit(0);
        }
        ::close(report[1]);
        ::close(control[0]);
        control_ = control[1];
        if (pid_ > 0 && ::read(report[0], &status_, 1) != 1) {
            status_ = kChildFailed;
        }
        ::close(report[0]);
    }
    ~CRun() { Kill(); }
    CRun(const CRun&) = delete;
    CRun& operator=(const CRun&) = delete;

    char Status() const { return status_; }

    // Ends the run normally and waits for it.
    void Release() {
        if (control_ >= 0) {
            ::close(control_);
            control_ = -1;
        }
        Wait();
    }

    void Kill() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
        }
        Release();
    }

private:
    void Wait() {
        if (pid_ > 0) {
            int ignored = 0;
            ::waitpid(pid_, &ignored, 0);
            pid_ = -1;
        }
    }

    pid_t pid_ = -1;
    int control_ = -1;
    char status_ = kChildFailed;
};

char StartAndEnd(const std::string& folder, const RunAs& as = {}) {
    CRun run(folder, as, Then::Exit);
    return run.Status();
}

void MakeStrayFile(const std::string& path, uid_t owner, mode_t mode) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL, mode);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::fchown(fd, owner, owner), 0);
    ASSERT_EQ(::fchmod(fd, mode), 0);
    ::close(fd);
}

class SingleInstanceLock : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(folder_.Path().empty());
        if (::geteuid() == 0) {
            nobody_ = User("nobody");
            daemon_ = User("daemon");
        }
    }
    // Skips a case that needs two other users to act as.
    bool HaveOtherUsers() const { return nobody_ && daemon_; }

    CLockFolder folder_;
    std::optional<RunAs> nobody_;
    std::optional<RunAs> daemon_;
};

TEST_F(SingleInstanceLock, SecondRunIsTurnedAwayUntilTheFirstEnds) {
    CRun first(folder_.Path(), {}, Then::Hold);
    ASSERT_EQ(first.Status(), kAcquired);
    EXPECT_EQ(StartAndEnd(folder_.Path()), kRunning);
    EXPECT_EQ(StartAndEnd(folder_.Path()), kRunning);
    first.Release();
    EXPECT_EQ(StartAndEnd(folder_.Path()), kAcquired);
}

TEST_F(SingleInstanceLock, RunOfAnotherUserBlocksWhateverTheUmask) {
    if (!HaveOtherUsers()) {
        GTEST_SKIP() << "needs root and the users nobody and daemon";
    }
    CRun first(folder_.Path(), *nobody_, Then::Hold, 077);
    ASSERT_EQ(first.Status(), kAcquired);
    struct stat status {};
    ASSERT_EQ(::stat(folder_.LockPath().c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0666u);
    EXPECT_EQ(status.st_uid, *nobody_->uid);
    EXPECT_EQ(StartAndEnd(folder_.Path()), kRunning);
    EXPECT_EQ(StartAndEnd(folder_.Path(), *daemon_), kRunning);
    first.Release();
    EXPECT_EQ(StartAndEnd(folder_.Path(), *daemon_), kAcquired);
}

TEST_F(SingleInstanceLock, KilledRunLeavesNothingThatBlocks) {
    {
        CRun crashed(folder_.Path(), nobody_.value_or(RunAs{}), Then::Hold);
        ASSERT_EQ(crashed.Status(), kAcquired);
        EXPECT_EQ(StartAndEnd(folder_.Path()), kRunning);
        crashed.Kill();
    }
    ASSERT_TRUE(std::filesystem::exists(folder_.LockPath()));
    EXPECT_EQ(StartAndEnd(folder_.Path()), kAcquired);
    if (daemon_) {
        EXPECT_EQ(StartAndEnd(folder_.Path(), *daemon_), kAcquired);
    }
}

TEST_F(SingleInstanceLock, StrayFileOfAnotherUserNeverBlocks) {
    if (!HaveOtherUsers()) {
        GTEST_SKIP() << "needs root and the users nobody and daemon";
    }
    for (const mode_t mode : {0600, 0644}) {
        SCOPED_TRACE(mode);
        std::filesystem::remove(folder_.LockPath());
        MakeStrayFile(folder_.LockPath(), *nobody_->uid, mode);
        // Root opens it as it is, without O_CREAT, which protected_regular would refuse.
        EXPECT_EQ(StartAndEnd(folder_.Path()), kAcquired);
        // Another user can lock a file it may read; one it may not read is not checked, and the
        // run goes on.
        EXPECT_EQ(StartAndEnd(folder_.Path(), *daemon_), mode == 0644 ? kAcquired : kUnchecked);
        // And the one the file belongs to still takes part in the rule.
        CRun holder(folder_.Path(), *nobody_, Then::Hold);
        ASSERT_EQ(holder.Status(), kAcquired);
        EXPECT_EQ(StartAndEnd(folder_.Path()), kRunning);
    }
}

TEST_F(SingleInstanceLock, ProgramsTheRunStartsDoNotInheritTheClaim) {
    CRun replaced(folder_.Path(), {}, Then::ExecSleep);
    ASSERT_EQ(replaced.Status(), kAcquired);
    // Give exec the moment it needs to close the descriptor.
    bool acquired = false;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!acquired && std::chrono::steady_clock::now() < deadline) {
        acquired = StartAndEnd(folder_.Path()) == kAcquired;
        if (!acquired) {
            ::usleep(20000);
        }
    }
    EXPECT_TRUE(acquired);
}

// Starts that race for a lock file nobody has made yet: every child takes the lock at the same
// moment, reports, and holds what it got until the round is over.
class CRace {
public:
    CRace(const std::string& folder, const std::vector<RunAs>& runs, mode_t umaskBits) {
        int go[2];
        if (::pipe2(go, O_CLOEXEC) != 0 || ::pipe2(report_, O_CLOEXEC) != 0 ||
            ::pipe2(control_, O_CLOEXEC) != 0) {
            return;
        }
        for (const RunAs& as : runs) {
            const pid_t pid = ::fork();
            if (pid == 0) {
                ::close(go[1]);
                ::close(report_[0]);
                ::close(control_[1]);
                ::umask(umaskBits);
                CSingleInstanceLock lock(folder, kWizardLockFileName);
                char letter = kChildFailed;
                if (!as.uid || (::setgid(as.gid) == 0 && ::setuid(*as.uid) == 0)) {
                    char ignored;
                    while (::read(go[0], &ignored, 1) > 0) {
                    }
                    letter = Letter(lock.Acquire().status);
                }
                (void)!::write(report_[1], &letter, 1);
                char ignored;
                while (::read(control_[0], &ignored, 1) > 0) {
                }
                ::_exit(0);
            }
            if (pid > 0) {
                pids_.push_back(pid);
            }
        }
        ::close(go[0]);
        ::close(report_[1]);
        ::close(control_[0]);
        ::close(go[1]); // every child sets off now
    }
    ~CRace() {
        ::close(control_[1]);
        for (const pid_t pid : pids_) {
            int ignored = 0;
            ::waitpid(pid, &ignored, 0);
        }
        ::close(report_[0]);
    }
    CRace(const CRace&) = delete;
    CRace& operator=(const CRace&) = delete;

    // The letters of the children, in the order they reported, within `timeout` in all.
    std::string Outcomes(std::chrono::milliseconds timeout) {
        std::string letters;
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (letters.size() < pids_.size()) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            pollfd ready{report_[0], POLLIN, 0};
            if (left.count() <= 0 || ::poll(&ready, 1, int(left.count())) <= 0) {
                break;
            }
            char letter;
            if (::read(report_[0], &letter, 1) != 1) {
                break;
            }
            letters += letter;
        }
        return letters;
    }

private:
    std::vector<pid_t> pids_;
    int report_[2] = {-1, -1};
    int control_[2] = {-1, -1};
};

TEST_F(SingleInstanceLock, OfStartsInTheSameInstantExactlyOneRunsAndTheOthersAreToldSo) {
    constexpr int kRounds = 50;
    constexpr size_t kStarts = 16;
    std::vector<RunAs> runs(kStarts);
    if (HaveOtherUsers()) {
        // Users of their own with a strict umask: the file the winner makes must be open to all
        // from the moment it can be seen.
        for (size_t index = 0; index < kStarts; ++index) {
            runs[index] = index % 3 == 0 ? RunAs{} : index % 3 == 1 ? *nobody_ : *daemon_;
        }
    }
    for (int round = 0; round < kRounds; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        std::error_code ignored;
        std::filesystem::remove(folder_.LockPath(), ignored);
        CRace race(folder_.Path(), runs, HaveOtherUsers() ? 077 : 022);
        const std::string letters = race.Outcomes(std::chrono::seconds(30));
        ASSERT_EQ(letters.size(), kStarts) << "only " << letters << " reported";
        EXPECT_EQ(std::count(letters.begin(), letters.end(), kAcquired), 1) << letters;
        EXPECT_EQ(std::count(letters.begin(), letters.end(), kRunning), long(kStarts - 1))
            << letters;
        if (HasFailure()) {
            break;
        }
    }
}

TEST_F(SingleInstanceLock, LinksAndSpecialFilesAreNotUsed) {
    const std::string target = folder_.Path() + "/target";
    ASSERT_EQ(::symlink(target.c_str(), folder_.LockPath().c_str()), 0);
    EXPECT_EQ(StartAndEnd(folder_.Path()), kUnchecked);
    EXPECT_FALSE(std::filesystem::exists(target));

    // A FIFO must not hang the start.
    std::filesystem::remove(folder_.LockPath());
    ASSERT_EQ(::mkfifo(folder_.LockPath().c_str(), 0666), 0);
    EXPECT_EQ(StartAndEnd(folder_.Path()), kUnchecked);
}

TEST_F(SingleInstanceLock, UnusableFolderSaysWhy) {
    CSingleInstanceLock lock(folder_.Path() + "/missing", kWizardLockFileName);
    const SingleInstanceResult result = lock.Acquire();
    EXPECT_EQ(result.status, SingleInstanceStatus::CouldNotCheck);
    EXPECT_NE(result.diagnostic.find(lock.Path()), std::string::npos) << result.diagnostic;
}

TEST_F(SingleInstanceLock, FolderComesFromTheEnvironmentOrIsShared) {
    const char* saved = std::getenv(kLockDirectoryVariable);
    const std::optional<std::string> previous =
        saved ? std::optional<std::string>(saved) : std::nullopt;
    ::setenv(kLockDirectoryVariable, folder_.Path().c_str(), 1);
    EXPECT_EQ(CSingleInstanceLock::DefaultLockDirectory(), folder_.Path());
    ::setenv(kLockDirectoryVariable, "", 1);
    const std::string shared = CSingleInstanceLock::DefaultLockDirectory();
    EXPECT_TRUE(shared == "/run/lock" || shared == "/tmp") << shared;
    struct stat status {};
    ASSERT_EQ(::stat(shared.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 01002, 01002u) << shared << " is not sticky and world-writable";
    if (previous) {
        ::setenv(kLockDirectoryVariable, previous->c_str(), 1);
    } else {
        ::unsetenv(kLockDirectoryVariable);
    }
}

} // namespace
