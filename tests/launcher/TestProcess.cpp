#include "TestProcess.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

TemporaryFolder::TemporaryFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "velmora-test.XXXXXX").string();
    if (mkdtemp(pattern.data()) != nullptr) {
        m_path = pattern;
    }
}

TemporaryFolder::~TemporaryFolder() {
    std::error_code ignored;
    if (!m_path.empty()) {
        std::filesystem::remove_all(m_path, ignored);
    }
}

void WriteTextFile(const std::filesystem::path& path, const std::string& text) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
}

std::string ReadTextFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<std::string> ReadLines(const std::filesystem::path& path) {
    std::vector<std::string> lines;
    std::ifstream in(path, std::ios::binary);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

void ClearProxyEnvironment() {
    for (const char* name :
         {"http_proxy", "https_proxy", "HTTP_PROXY", "HTTPS_PROXY", "all_proxy", "ALL_PROXY"}) {
        unsetenv(name);
    }
}

ChildProcess::ChildProcess(const std::vector<std::string>& arguments) {
    int pipeEnds[2];
    if (pipe2(pipeEnds, O_CLOEXEC) != 0) {
        return;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDOUT_FILENO);
    std::vector<char*> argv;
    for (const std::string& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    if (posix_spawnp(&m_pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
        m_pid = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    close(pipeEnds[1]);
    m_stdout = pipeEnds[0];
}

ChildProcess::~ChildProcess() {
    if (m_pid > 0) {
        kill(m_pid, SIGTERM);
        int status = 0;
        if (Wait(std::chrono::seconds(5)) == -1) {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, &status, 0);
        }
    }
    if (m_stdout >= 0) {
        close(m_stdout);
    }
}

std::string ChildProcess::ReadLine(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (true) {
        const std::size_t newline = m_pending.find('\n');
        if (newline != std::string::npos) {
            std::string line = m_pending.substr(0, newline);
            m_pending.erase(0, newline + 1);
            return line;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 || m_stdout < 0) {
            return {};
        }
        pollfd entry{m_stdout, POLLIN, 0};
        if (poll(&entry, 1, static_cast<int>(left.count())) <= 0) {
            continue;
        }
        char buffer[512];
        const ssize_t got = read(m_stdout, buffer, sizeof buffer);
        if (got <= 0) {
            return {};
        }
        m_pending.append(buffer, static_cast<std::size_t>(got));
    }
}

int ChildProcess::Wait(std::chrono::milliseconds timeout) {
    if (m_pid <= 0) {
        return -1;
    }
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (true) {
        int status = 0;
        const pid_t done = waitpid(m_pid, &status, WNOHANG);
        if (done == m_pid) {
            m_pid = -1;
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        }
        if (done < 0 || std::chrono::steady_clock::now() >= deadline) {
            return -1;
        }
        usleep(10'000);
    }
}

std::string SimulatorPath() {
    return std::string(VELMORA_SOURCE_DIR) + "/tools/velmora-sim/velmora-sim";
}

SimulatedServer::SimulatedServer(const std::vector<std::string>& options)
    : m_process([&] {
          std::vector<std::string> arguments{"python3", SimulatorPath()};
          arguments.insert(arguments.end(), options.begin(), options.end());
          return arguments;
      }()) {
    const std::string line = m_process.ReadLine(std::chrono::seconds(10));
    std::istringstream words(line);
    std::string word;
    while (words >> word) {
        if (word.rfind("relay=", 0) == 0) {
            m_relayPort = std::atoi(word.c_str() + 6);
        } else if (word.rfind("web=", 0) == 0) {
            m_webPort = std::atoi(word.c_str() + 4);
        } else if (word.rfind("dav=", 0) == 0) {
            m_davPort = std::atoi(word.c_str() + 4);
        } else if (word.rfind("ca=", 0) == 0) {
            m_certificateAuthority = word.substr(3);
        } else if (word.rfind("webfolders=", 0) == 0) {
            m_webFolders = word.substr(11);
        }
    }
}

void SimulatedServer::Signal(int signal) {
    if (m_process.Pid() > 0) {
        kill(m_process.Pid(), signal);
    }
}

bool WaitForPort(int port, bool answering, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (true) {
        const int probe = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<uint16_t>(port));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        const bool answers = probe >= 0 && connect(probe, reinterpret_cast<sockaddr*>(&address),
                                                   sizeof address) == 0;
        if (probe >= 0) {
            close(probe);
        }
        if (answers == answering) {
            return true;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        usleep(20'000);
    }
}
