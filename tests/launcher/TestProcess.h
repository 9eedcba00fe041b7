// Test helpers: temporary folders and child processes that are always cleaned up.
#pragma once

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include <sys/types.h>

class TemporaryFolder {
public:
    TemporaryFolder();
    ~TemporaryFolder();
    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;
    const std::filesystem::path& Path() const { return m_path; }

private:
    std::filesystem::path m_path;
};

void WriteTextFile(const std::filesystem::path& path, const std::string& text);
std::string ReadTextFile(const std::filesystem::path& path);
// The lines of a text file, without their line ends.
std::vector<std::string> ReadLines(const std::filesystem::path& path);

// Keeps a proxy of the machine from taking the tests' loopback requests.
void ClearProxyEnvironment();

// A child process with its standard output on a pipe; ended with SIGTERM on destruction.
class ChildProcess {
public:
    explicit ChildProcess(const std::vector<std::string>& arguments);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool Started() const { return m_pid > 0; }
    pid_t Pid() const { return m_pid; }
    // The next line of its standard output, or empty after the time-out.
    std::string ReadLine(std::chrono::milliseconds timeout);
    // Waits for it to end by itself; its exit status, or -1 after the time-out.
    int Wait(std::chrono::milliseconds timeout);

private:
    pid_t m_pid = -1;
    int m_stdout = -1;
    std::string m_pending;
};

// velmora-sim from the source tree, its relay on an ephemeral loopback port.
class SimulatedServer {
public:
    explicit SimulatedServer(const std::vector<std::string>& options);
    bool Ready() const { return m_relayPort > 0 || m_webPort > 0; }
    int RelayPort() const { return m_relayPort; }
    int WebPort() const { return m_webPort; }
    // With --httpd: the web folders' port, the test authority's certificate and the folder
    // holding one folder per user.
    int DavPort() const { return m_davPort; }
    const std::string& CertificateAuthority() const { return m_certificateAuthority; }
    const std::string& WebFolders() const { return m_webFolders; }
    // SIGUSR1 takes the file servers down, SIGUSR2 brings them back.
    void Signal(int signal);

private:
    ChildProcess m_process;
    int m_relayPort = 0;
    int m_webPort = 0;
    int m_davPort = 0;
    std::string m_certificateAuthority;
    std::string m_webFolders;
};

// Whether a TCP port on 127.0.0.1 comes to answer (or, with `answering` false, to stop
// answering) within the time-out.
bool WaitForPort(int port, bool answering, std::chrono::milliseconds timeout);

std::string SimulatorPath();
