// Times the copy engine against smbclient on a private smbd on loopback: the same files to the same
// share, side by side, median of a few runs. It also times the engine writing every copy straight
// under its final name, as it did before copies went through a temporary name, to show what the
// temporary name and the rename cost. Exits 1 when the engine is slower than allowed, 2 when a run
// failed or was interrupted; the private smbd and its memory disk go on every path.
//   transfer_bench [runs [workload]]
// BENCH_CHUNK_MIB in the environment sets the engine's chunk size, for tuning.
#include "smbd_fixture.h"
#include "tests/wizard/transfer/TransferTestSupport.h"
#include "wizard/transfer/FileTransferStep.h"
#include "wizard/transfer/SmbSession.h"
#include "wizard/transfer/TransferNaming.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// Set by SIGINT and SIGTERM: the benchmark stops after the run under way, so that the server and
// its memory disk are still taken down (smbclient, in the same process group, ends at once).
std::atomic<bool> interrupted{false};

extern "C" void OnInterrupt(int) {
    interrupted.store(true);
}

struct Workload {
    const char* label;
    int files;
    size_t size;
    double allowedRatio;      // engine time / smbclient time
    double allowedRenameCost; // engine time / time with the copies written under final names
};

// The engine's session, but every copy is written under its final name and the rename does
// nothing: the engine as it wrote before temporary names.
class FinalNamesSession : public CAbstractShareSession {
public:
    explicit FinalNamesSession(std::unique_ptr<CAbstractShareSession> session)
        : m_session(std::move(session)) {}

    std::string Server() const override { return m_session->Server(); }
    ShareResult List(const std::string& folder, std::vector<ShareEntry>& entries) override {
        return m_session->List(folder, entries);
    }
    ShareResult MakeFolder(const std::string& folder) override {
        return m_session->MakeFolder(folder);
    }
    ShareResult CreateNew(const std::string& path,
                          std::unique_ptr<CAbstractShareFile>& file) override {
        return m_session->CreateNew(FinalCopyPath(path), file);
    }
    ShareResult Remove(const std::string& path) override {
        return m_session->Remove(FinalCopyPath(path));
    }
    ShareResult Stat(const std::string& path, ShareEntry& entry) override {
        return m_session->Stat(path, entry);
    }
    ShareResult RenameNew(const std::string&, const std::string&) override { return {}; }

private:
    std::unique_ptr<CAbstractShareSession> m_session;
};

class NullPoster : public CAbstractAsyncDataPoster {
public:
    void Post(std::unique_ptr<kvAsyncData>) override {}
};

double Seconds(std::chrono::steady_clock::duration elapsed) {
    return std::chrono::duration<double>(elapsed).count();
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

void WarmPageCache(const std::string& folder) {
    std::vector<char> buffer(1 << 20);
    for (const auto& entry : fs::directory_iterator(folder)) {
        std::ifstream in(entry.path(), std::ios::binary);
        while (in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()))) {
        }
    }
}

// False when the engine did not copy every file.
bool RunEngine(SmbdFixture& server, SourceFolder& sources, const std::string& location,
               bool finalNames, double& seconds) {
    NullPoster poster;
    auto callback = std::make_shared<CFileTransferCallback>();
    callback->SetTarget(&poster, nullptr);
    CTransferProperties properties;
    properties.groupName = "Bench";
    properties.location = location;
    properties.pictures = &sources.Pictures();
    CFileTransferStep step;

    const auto started = std::chrono::steady_clock::now();
    const char* chunk = std::getenv("BENCH_CHUNK_MIB");
    std::unique_ptr<CAbstractShareSession> session = CreateSmbSession(
        server.Address(), std::make_shared<CFixedCredentialSource>(ShareCredentials::NamedGuest()));
    if (finalNames) {
        session = std::make_unique<FinalNamesSession>(std::move(session));
    }
    auto transfer = std::make_unique<CSambaFileTransfer>(
        std::move(session),
        chunk != nullptr ? size_t(std::atoi(chunk)) << 20 : CSambaFileTransfer::kDefaultChunkSize);
    transfer->SetCallback(callback);
    step.SetTransfer(std::move(transfer));
    step.Run(properties);
    seconds = Seconds(std::chrono::steady_clock::now() - started);
    if (step.CopiedList().size() != sources.Pictures().size()) {
        std::fprintf(stderr, "the engine did not copy every file\n");
        return false;
    }
    return true;
}

// False when smbclient failed.
bool RunSmbclient(SmbdFixture& server, SourceFolder& sources, const std::string& location,
                  double& seconds) {
    const std::string commands = "mkdir \"" + location + "\"; cd \"" + location + "\"; lcd \"" +
                                 sources.Root() + "\"; prompt; mput *";
    const auto started = std::chrono::steady_clock::now();
    const int status =
        RunProgram({"smbclient", "-N", "-p", std::to_string(server.Port()),
                    std::string("//127.0.0.1/") + SmbdFixture::kGuestShare, "-c", commands});
    seconds = Seconds(std::chrono::steady_clock::now() - started);
    if (status != 0) {
        std::fprintf(stderr, "smbclient failed (%s)\n",
                     status < 0 ? "no exit status" : std::to_string(status).c_str());
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    // An optional second argument picks one workload by its number (1 or 2).
    const int only = argc > 2 ? std::atoi(argv[2]) : 0;
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);

    // Every return below passes the fixture's destructor: smbd stops, the memory disk goes.
    SmbdFixture server;
    std::string why;
    if (!server.Start(why)) {
        std::fprintf(stderr, "cannot start smbd: %s\n", why.c_str());
        return 2;
    }
    // The copies land in memory, so that the disk's write-back of earlier runs does not time
    // one client against the other.
    const std::string shareDirectory = server.ShareDirectory(SmbdFixture::kGuestShare);
    const std::string prefix = "bench";
    if (!server.MountSmallDisk(shareDirectory + "/bench", uint64_t(3) << 30, why)) {
        std::printf("(copies go to disk: %s)\n", why.c_str());
    }
    const Workload workloads[] = {
        {"1 GiB in 8 files", 8, size_t(128) << 20, 1.0, 1.05},
        {"1000 files of 200 KiB", 1000, size_t(200) << 10, 1.2, 1.05},
    };
    bool withinLimits = true;
    std::printf("%-24s %10s %12s %8s %8s %14s %8s %8s\n", "workload", "engine s", "smbclient s",
                "ratio", "limit", "final names s", "ratio", "limit");
    int number = 0;
    for (const Workload& workload : workloads) {
        if (only != 0 && ++number != only) {
            continue;
        }
        SourceFolder sources;
        for (int i = 0; i < workload.files; ++i) {
            char name[32];
            std::snprintf(name, sizeof name, "IMG_%04d.JPG", i);
            sources.Add(name, workload.size);
        }
        WarmPageCache(sources.Root());
        std::vector<double> engine;
        std::vector<double> smbclient;
        std::vector<double> finalNames;
        for (int run = 0; run < runs; ++run) {
            const std::string location = prefix + "/" + std::to_string(run);
            const std::string onDisk = shareDirectory + "/";
            double peerSeconds = 0;
            double ourSeconds = 0;
            double finalSeconds = 0;
            const bool peer = RunSmbclient(server, sources, location + "-smbclient", peerSeconds);
            fs::remove_all(onDisk + location + "-smbclient");
            const bool ours = peer &&
                              RunEngine(server, sources, location + "-engine", false, ourSeconds) &&
                              RunEngine(server, sources, location + "-final", true, finalSeconds);
            fs::remove_all(onDisk + location + "-engine");
            fs::remove_all(onDisk + location + "-final");
            if (interrupted.load()) {
                std::fprintf(stderr, "interrupted\n");
                return 2;
            }
            if (!peer || !ours) {
                std::fprintf(stderr, "%s: run %d failed\n", workload.label, run + 1);
                return 2;
            }
            smbclient.push_back(peerSeconds);
            engine.push_back(ourSeconds);
            finalNames.push_back(finalSeconds);
        }
        const double ratio = Median(engine) / Median(smbclient);
        const double renameCost = Median(engine) / Median(finalNames);
        withinLimits = withinLimits && ratio <= workload.allowedRatio &&
                       renameCost <= workload.allowedRenameCost;
        std::printf("%-24s %10.2f %12.2f %8.2f %8.2f %14.2f %8.2f %8.2f\n", workload.label,
                    Median(engine), Median(smbclient), ratio, workload.allowedRatio,
                    Median(finalNames), renameCost, workload.allowedRenameCost);
        std::fflush(stdout);
    }
    return withinLimits ? 0 : 1;
}
