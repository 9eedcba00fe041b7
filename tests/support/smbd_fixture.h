// A private smbd for tests: every directory in a temporary folder, listening on loopback only on
// a free port, with a guest share and a share for one test user (mapped onto an existing account
// through "username map", password in a tdbsam file of its own). Needs root, like smbd itself.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

class SmbdFixture {
public:
    static constexpr const char* kUser = "velmoratest";
    static constexpr const char* kPassword = "Pictures-4-all";
    // Open to guests for reading and writing, with the share settings a server has out of the
    // box: folders are made 0755 and files 0644, owned by whoever made them.
    static constexpr const char* kGuestShare = "FamilyLibrary";
    // Only kUser, with kPassword.
    static constexpr const char* kUserShare = "MyLibrary";

    // `globalSettings` are extra lines for the [global] section ("server signing = mandatory"),
    // written after the fixture's own so that they win; `guestShareSettings` likewise for the
    // guest share ("force user = nobody").
    explicit SmbdFixture(std::vector<std::string> globalSettings = {},
                         std::vector<std::string> guestShareSettings = {})
        : m_globalSettings(std::move(globalSettings)),
          m_guestShareSettings(std::move(guestShareSettings)) {}
    ~SmbdFixture(); // stops the server, unmounts and removes everything
    SmbdFixture(const SmbdFixture&) = delete;
    SmbdFixture& operator=(const SmbdFixture&) = delete;

    // Writes the configuration, adds the user and starts smbd. False with the reason when this
    // machine cannot run it (not root, no smbd).
    bool Start(std::string& why);

    // Stops smbd (SIGTERM, waits for it and for the helpers it started) and starts it again on
    // the same port with the same shares.
    bool StopServer();
    bool StartServer();
    bool IsServing() const { return m_pid > 0; }

    uint16_t Port() const { return m_port; }
    // "127.0.0.1:PORT", as the share layer takes a server address.
    std::string Address() const;
    // The directory on disk behind a share.
    std::string ShareDirectory(const std::string& share) const;

    // Whether the running configuration tells names apart by letter case for SMB2 clients, as
    // smbd itself reads it ("auto" compares without case for them).
    bool CaseSensitiveNames() const;
    // The server's log, for checking how it saw a client.
    std::string LogText() const;
    // Sends `signal` to smbd and every process it started (those serving the connections), as
    // SIGSTOP does to a server that freezes and SIGCONT to one that wakes up.
    void SignalServer(int signal) const;

    // Mounts a tmpfs of `bytes` over `directory` (created when missing), so writes there run
    // out of space. False with the reason when mounting is not permitted here.
    bool MountSmallDisk(const std::string& directory, uint64_t bytes, std::string& why);

private:
    bool WaitUntilAnswering();
    void StopHelpers();

    std::vector<std::string> m_globalSettings;
    std::vector<std::string> m_guestShareSettings;
    std::string m_root;
    std::string m_config;
    uint16_t m_port = 0;
    int m_pid = -1;
    std::vector<std::string> m_mounts;
};

// Runs a program with arguments (no shell), feeding `input` to its standard input and dropping
// its output; its exit status, or -1 when it could not be run.
int RunProgram(const std::vector<std::string>& arguments, const std::string& input = {});
// The same, keeping what it writes to standard output in `output`.
int RunProgramOutput(const std::vector<std::string>& arguments, std::string& output);
