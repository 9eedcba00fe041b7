#include "smbd_fixture.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <netinet/in.h>
#include <pwd.h>
#include <spawn.h>
#include <sstream>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

uint16_t FreeLoopbackPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return 0;
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    uint16_t port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
        port = ntohs(address.sin_port);
    }
    ::close(fd);
    return port;
}

bool Answers(uint16_t port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return false;
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool connected =
        ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return connected;
}

// A process that is gone or a zombie no longer serves anything.
bool IsAlive(int pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(stat, line)) {
        return false;
    }
    const size_t close = line.rfind(')');
    return close != std::string::npos && close + 2 < line.size() && line[close + 2] != 'Z';
}

std::vector<char*> ArgumentVector(const std::vector<std::string>& arguments) {
    std::vector<char*> argv;
    for (const std::string& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    return argv;
}

// The account the test user name is mapped onto: an unprivileged one that every Debian system
// has, other than the guest account.
const char* MappedAccount() {
    for (const char* name : {"daemon", "bin", "sys"}) {
        if (::getpwnam(name) != nullptr) {
            return name;
        }
    }
    return nullptr;
}

} // namespace

namespace {

// Runs a program with `input` on its standard input; its standard output goes to `output` when
// that is given, to /dev/null otherwise, and its standard error always to /dev/null.
int Run(const std::vector<std::string>& arguments, const std::string& input, std::string* output) {
    int inputFds[2];
    if (::pipe2(inputFds, O_CLOEXEC) != 0) {
        return -1;
    }
    int outputFds[2] = {-1, -1};
    if (output != nullptr && ::pipe2(outputFds, O_CLOEXEC) != 0) {
        ::close(inputFds[0]);
        ::close(inputFds[1]);
        return -1;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, inputFds[0], STDIN_FILENO);
    if (output != nullptr) {
        posix_spawn_file_actions_adddup2(&actions, outputFds[1], STDOUT_FILENO);
    } else {
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    }
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    std::vector<char*> argv = ArgumentVector(arguments);
    pid_t pid = -1;
    const int spawned = ::posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(inputFds[0]);
    if (output != nullptr) {
        ::close(outputFds[1]);
    }
    if (spawned == 0 && !input.empty()) {
        const ssize_t written = ::write(inputFds[1], input.data(), input.size());
        (void)written;
    }
    ::close(inputFds[1]);
    if (output != nullptr) {
        output->clear();
        char buffer[4096];
        ssize_t got = 0;
        while ((got = ::read(outputFds[0], buffer, sizeof buffer)) > 0 ||
               (got < 0 && errno == EINTR)) {
            if (got > 0) {
                output->append(buffer, static_cast<size_t>(got));
            }
        }
        ::close(outputFds[0]);
    }
    if (spawned != 0) {
        return -1;
    }
    int status = 0;
    if (::waitpid(pid, &status, 0) != pid) {
        return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace

int RunProgram(const std::vector<std::string>& arguments, const std::string& input) {
    return Run(arguments, input, nullptr);
}

int RunProgramOutput(const std::vector<std::string>& arguments, std::string& output) {
    return Run(arguments, {}, &output);
}

SmbdFixture::~SmbdFixture() {
    StopServer();
    for (auto mount = m_mounts.rbegin(); mount != m_mounts.rend(); ++mount) {
        ::umount2(mount->c_str(), MNT_DETACH);
    }
    if (!m_root.empty()) {
        std::error_code ignored;
        fs::remove_all(m_root, ignored);
    }
}

std::string SmbdFixture::Address() const {
    return "127.0.0.1:" + std::to_string(m_port);
}

std::string SmbdFixture::ShareDirectory(const std::string& share) const {
    return m_root + "/shares/" + share;
}

bool SmbdFixture::CaseSensitiveNames() const {
    if (m_config.empty()) {
        return false;
    }
    std::string value;
    if (RunProgramOutput({"testparm", "-s", "--parameter-name=case sensitive",
                          std::string("--section-name=") + kGuestShare, m_config},
                         value) != 0) {
        return false;
    }
    for (char& c : value) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return value.find("yes") != std::string::npos || value.find("true") != std::string::npos;
}

bool SmbdFixture::Start(std::string& why) {
    if (::geteuid() != 0) {
        why = "smbd needs root";
        return false;
    }
    if (::access("/usr/sbin/smbd", X_OK) != 0) {
        why = "smbd is not installed (package samba)";
        return false;
    }
    const char* account = MappedAccount();
    const passwd* user = account != nullptr ? ::getpwnam(account) : nullptr;
    if (user == nullptr) {
        why = "no unprivileged account to map the test user onto";
        return false;
    }
    char pattern[] = "/tmp/velmora-smbd-XXXXXX";
    if (::mkdtemp(pattern) == nullptr) {
        why = std::string("mkdtemp: ") + std::strerror(errno);
        return false;
    }
    m_root = pattern;
    ::chmod(m_root.c_str(), 0755);
    for (const char* folder :
         {"private", "lock", "state", "cache", "pid", "ncalrpc", "log", "shares"}) {
        fs::create_directories(m_root + "/" + folder);
    }
    ::chmod((m_root + "/shares").c_str(), 0755);
    const std::string guestDirectory = ShareDirectory(kGuestShare);
    const std::string userDirectory = ShareDirectory(kUserShare);
    fs::create_directories(guestDirectory);
    fs::create_directories(userDirectory);
    ::chmod(guestDirectory.c_str(), 0777);
    ::chmod(userDirectory.c_str(), 0755);
    if (::chown(userDirectory.c_str(), user->pw_uid, user->pw_gid) != 0) {
        why = std::string("chown: ") + std::strerror(errno);
        return false;
    }

    m_port = FreeLoopbackPort();
    if (m_port == 0) {
        why = "no free loopback port";
        return false;
    }
    std::ofstream(m_root + "/usermap") << account << " = " << kUser << "\n";
    m_config = m_root + "/smb.conf";
    std::ofstream config(m_config);
    config << "[global]\n"
           << "  server role = standalone server\n"
           << "  workgroup = WORKGROUP\n"
           << "  interfaces = lo\n"
           << "  bind interfaces only = yes\n"
           << "  disable netbios = yes\n"
           << "  smb ports = " << m_port << "\n"
           << "  private dir = " << m_root << "/private\n"
           << "  lock directory = " << m_root << "/lock\n"
           << "  state directory = " << m_root << "/state\n"
           << "  cache directory = " << m_root << "/cache\n"
           << "  pid directory = " << m_root << "/pid\n"
           << "  ncalrpc dir = " << m_root << "/ncalrpc\n"
           << "  log file = " << m_root << "/log/smbd.log\n"
           << "  log level = 1 auth:3\n" // auth: how each session was mapped
           << "  passdb backend = tdbsam:" << m_root << "/private/passdb.tdb\n"
           << "  username map = " << m_root << "/usermap\n"
           << "  map to guest = Bad User\n"
           << "  guest account = nobody\n"
           << "  load printers = no\n"
           << "  printing = bsd\n"
           << "  printcap name = /dev/null\n"
           << "  disable spoolss = yes\n";
    for (const std::string& line : m_globalSettings) {
        config << "  " << line << "\n";
    }
    config << "[" << kGuestShare << "]\n"
           << "  path = " << guestDirectory << "\n"
           << "  guest ok = yes\n"
           << "  read only = no\n";
    for (const std::string& line : m_guestShareSettings) {
        config << "  " << line << "\n";
    }
    config << "[" << kUserShare << "]\n"
           << "  path = " << userDirectory << "\n"
           << "  valid users = " << account << "\n"
           << "  read only = no\n";
    config.close();

    const std::string password = std::string(kPassword) + "\n" + kPassword + "\n";
    if (RunProgram({"smbpasswd", "-c", m_config, "-a", "-s", account}, password) != 0) {
        why = "smbpasswd could not add the test user";
        return false;
    }
    if (!StartServer()) {
        why = "smbd did not start; see " + m_root + "/log/smbd.log";
        return false;
    }
    return true;
}

bool SmbdFixture::StartServer() {
    if (m_pid > 0) {
        return true;
    }
    const std::string output = m_root + "/log/smbd.out";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, output.c_str(),
                                     O_WRONLY | O_CREAT | O_APPEND, 0644);
    posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
    std::vector<std::string> arguments = {"/usr/sbin/smbd", "--foreground", "-s", m_config};
    std::vector<char*> argv = ArgumentVector(arguments);
    pid_t pid = -1;
    const int spawned = ::posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        return false;
    }
    m_pid = pid;
    if (!WaitUntilAnswering()) {
        StopServer();
        return false;
    }
    return true;
}

bool SmbdFixture::WaitUntilAnswering() {
    const auto deadline = Clock::now() + std::chrono::seconds(15);
    while (Clock::now() < deadline) {
        int status = 0;
        if (::waitpid(m_pid, &status, WNOHANG) == m_pid) {
            m_pid = -1;
            return false;
        }
        if (Answers(m_port)) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

bool SmbdFixture::StopServer() {
    if (m_pid <= 0) {
        StopHelpers();
        return true;
    }
    ::kill(m_pid, SIGTERM);
    const auto deadline = Clock::now() + std::chrono::seconds(10);
    bool ended = false;
    while (!ended && Clock::now() < deadline) {
        int status = 0;
        ended = ::waitpid(m_pid, &status, WNOHANG) == m_pid;
        if (!ended) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    if (!ended) {
        ::kill(m_pid, SIGKILL);
        int status = 0;
        ::waitpid(m_pid, &status, 0);
    }
    m_pid = -1;
    StopHelpers();
    // The processes that served connections end with their parent; wait until nobody answers.
    const auto quiet = Clock::now() + std::chrono::seconds(5);
    while (Answers(m_port) && Clock::now() < quiet) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

void SmbdFixture::StopHelpers() {
    if (m_root.empty()) {
        return;
    }
    // samba-dcerpcd outlives smbd when smbd started it; it keeps its own pid file.
    std::ifstream pidFile(m_root + "/pid/samba-dcerpcd.pid");
    int pid = 0;
    if (!(pidFile >> pid) || pid <= 1) {
        return;
    }
    if (::kill(pid, SIGTERM) != 0) {
        return;
    }
    const auto deadline = Clock::now() + std::chrono::seconds(5);
    while (IsAlive(pid) && Clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (IsAlive(pid)) {
        ::kill(pid, SIGKILL);
    }
}

void SmbdFixture::SignalServer(int signal) const {
    if (m_pid <= 0) {
        return;
    }
    std::vector<int> family = {m_pid};
    // Children are found through the parent each /proc entry names, until no new one turns up.
    for (size_t known = 0; known != family.size();) {
        known = family.size();
        std::error_code error;
        for (const auto& entry : fs::directory_iterator("/proc", error)) {
            const std::string name = entry.path().filename().string();
            if (name.empty() || !std::isdigit(static_cast<unsigned char>(name[0]))) {
                continue;
            }
            std::ifstream stat(entry.path() / "stat");
            std::string line;
            if (!std::getline(stat, line)) {
                continue;
            }
            const size_t close = line.rfind(')');
            int parent = 0;
            if (close == std::string::npos ||
                std::sscanf(line.c_str() + close + 1, " %*c %d", &parent) != 1) {
                continue;
            }
            const int pid = std::stoi(name);
            if (std::find(family.begin(), family.end(), parent) != family.end() &&
                std::find(family.begin(), family.end(), pid) == family.end()) {
                family.push_back(pid);
            }
        }
    }
    for (const int pid : family) {
        ::kill(pid, signal);
    }
}

std::string SmbdFixture::LogText() const {
    std::ifstream log(m_root + "/log/smbd.log");
    std::stringstream text;
    text << log.rdbuf();
    return text.str();
}

bool SmbdFixture::MountSmallDisk(const std::string& directory, uint64_t bytes, std::string& why) {
    std::error_code error;
    fs::create_directories(directory, error);
    const std::string options = "size=" + std::to_string(bytes) + ",mode=0777";
    if (::mount("tmpfs", directory.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, options.c_str()) != 0) {
        why = std::string("mounting a tmpfs is not permitted here: ") + std::strerror(errno);
        return false;
    }
    m_mounts.push_back(directory);
    return true;
}
