// Times the copy engine against smbclient on a private smbd on loopback: the same files to the same
// share, side by side, median of a few runs. Exits 1 when the engine is slower than allowed.
//   transfer_bench [runs [workload]]
// BENCH_CHUNK_MIB in the environment sets the engine's chunk size, for tuning.
#include "TransferTestSupport.h"
#include "smbd_fixture.h"
#include "wizard/transfer/FileTransferStep.h"
#include "wizard/transfer/SmbSession.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct Workload {
    const char* label;
    int files;
    size_t size;
    double allowedRatio; // engine time / smbclient time
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

double RunEngine(SmbdFixture& server, SourceFolder& sources, const std::string& location) {
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
    auto transfer = std::make_unique<CSambaFileTransfer>(
        CreateSmbSession(server.Address(),
                         std::make_shared<CFixedCredentialSource>(ShareCredentials{})),
        chunk != nullptr ? size_t(std::atoi(chunk)) << 20 : CSambaFileTransfer::kDefaultChunkSize);
    transfer->SetCallback(callback);
    step.SetTransfer(std::move(transfer));
    step.Run(properties);
    const double seconds = Seconds(std::chrono::steady_clock::now() - started);
    if (step.CopiedList().size() != sources.Pictures().size()) {
        std::fprintf(stderr, "the engine did not copy every file\n");
        std::exit(2);
    }
    return seconds;
}

double RunSmbclient(SmbdFixture& server, SourceFolder& sources, const std::string& location) {
    const std::string commands = "mkdir \"" + location + "\"; cd \"" + location + "\"; lcd \"" +
                                 sources.Root() + "\"; prompt; mput *";
    const auto started = std::chrono::steady_clock::now();
    const int status =
        RunProgram({"smbclient", "-N", "-p", std::to_string(server.Port()),
                    std::string("//127.0.0.1/") + SmbdFixture::kGuestShare, "-c", commands});
    const double seconds = Seconds(std::chrono::steady_clock::now() - started);
    if (status != 0) {
        std::fprintf(stderr, "smbclient failed (%d)\n", status);
        std::exit(2);
    }
    return seconds;
}

} // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    // An optional second argument picks one workload by its number (1 or 2).
    const int only = argc > 2 ? std::atoi(argv[2]) : 0;
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
        {"1 GiB in 8 files", 8, size_t(128) << 20, 1.0},
        {"1000 files of 200 KiB", 1000, size_t(200) << 10, 1.2},
    };
    bool withinLimits = true;
    std::printf("%-24s %12s %12s %8s %8s\n", "workload", "engine s", "smbclient s", "ratio",
                "limit");
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
        for (int run = 0; run < runs; ++run) {
            const std::string location = prefix + "/" + std::to_string(run);
            const std::string onDisk = shareDirectory + "/";
            smbclient.push_back(RunSmbclient(server, sources, location + "-smbclient"));
            fs::remove_all(onDisk + location + "-smbclient");
            engine.push_back(RunEngine(server, sources, location + "-engine"));
            fs::remove_all(onDisk + location + "-engine");
        }
        const double ratio = Median(engine) / Median(smbclient);
        withinLimits = withinLimits && ratio <= workload.allowedRatio;
        std::printf("%-24s %12.2f %12.2f %8.2f %8.2f\n", workload.label, Median(engine),
                    Median(smbclient), ratio, workload.allowedRatio);
        std::fflush(stdout);
    }
    return withinLimits ? 0 : 1;
}
