// Times the copy engine into a web folder (WebDAV over TLS, up to three uploads at once) against
// sequential `curl -T` uploads of the same pictures to the same server, in the same run, median of
// a few runs. scripts/bench-webdav.sh runs it on a held-down loopback, with and without a delay on
// every round trip. Exits 1 when the engine is slower than allowed, 2 when a run failed.
//   webdav_bench LINK ALLOWED_RATIO [runs]   (VELMORA_CA_BUNDLE names the server's authority;
//   a ratio of 0 only reports)
#include "common/relay/CurlTrust.h"
#include "tests/wizard/transfer/TransferTestSupport.h"
#include "wizard/transfer/FileTransferStep.h"
#include "wizard/transfer/WebDavSession.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

namespace {

// "<text><number><suffix>", built by appending (GCC 12's -O3 misreads a literal joined to a
// temporary string as an overlapping copy).
std::string Numbered(std::string text, long number, const char* suffix) {
    text += std::to_string(number);
    text += suffix;
    return text;
}

constexpr int kPictures = 100;
constexpr size_t kPictureBytes = size_t(2) << 20;
constexpr const char* kUser = "velmoratest";
constexpr const char* kPassword = "Pictures-4-all";
using Clock = std::chrono::steady_clock;

double Seconds(Clock::duration duration) {
    return std::chrono::duration<double>(duration).count();
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

int Spawn(const std::vector<std::string>& arguments) {
    std::vector<char*> argv;
    for (const std::string& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) {
        return -1;
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The engine as the wizard runs it: the found pictures into DESTINATION of the web folder.
bool TimeEngine(const std::string& link, const WebFolderAddress& address, FoundSet& pictures,
                const std::string& destination, double& seconds) {
    auto cache =
        std::make_shared<CFixedCredentialSource>(ShareCredentials{kUser, kPassword, {}, false});
    RecordingPoster poster;
    auto callback = std::make_shared<CFileTransferCallback>();
    callback->SetTarget(&poster, nullptr);
    auto transfer = std::make_unique<CWebDAVFileTransfer>(
        [address, cache] { return CreateWebDavSession(address, cache); });
    transfer->SetCallback(callback);
    CFileTransferStep step;
    step.SetTransfer(std::move(transfer));
    CTransferProperties properties;
    properties.webFolderLink = link;
    properties.groupName = "Bench";
    properties.location = destination;
    properties.pictures = &pictures;
    const auto start = Clock::now();
    step.Run(properties);
    seconds = Seconds(Clock::now() - start);
    const kvDoneCopyAsyncData& done = poster.Done();
    if (done.failure.Failed() || step.CopiedList().size() != pictures.size()) {
        std::printf("the engine's run failed: %s\n", DescribeShareStatus(done.failure.status));
        return false;
    }
    return true;
}

// One `curl -T` after the other, each a process of its own, as a user's script would run them.
bool TimeCurl(const WebFolderAddress& address, SourceFolder& sources,
              const std::string& destination, double& seconds) {
    const char* authority = std::getenv(kCertificateBundleVariable);
    const auto start = Clock::now();
    for (const FoundPicture& picture : sources.Pictures()) {
        const std::string url =
            WebFolderUrl(address, address.share + "/" + destination + "/" + picture.name, false);
        const std::vector<std::string> command{"curl",
                                               "-sS",
                                               "-f",
                                               "-o",
                                               "/dev/null",
                                               "--cacert",
                                               authority ? authority : "",
                                               "-u",
                                               std::string(kUser) + ":" + kPassword,
                                               "-T",
                                               sources.Root() + "/" + picture.name,
                                               url};
        if (Spawn(command) != 0) {
            std::printf("curl -T %s failed\n", picture.name.c_str());
            return false;
        }
    }
    seconds = Seconds(Clock::now() - start);
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: webdav_bench LINK ALLOWED_RATIO [runs]\n");
        return 2;
    }
    const std::string link = argv[1];
    const double allowed = std::atof(argv[2]);
    const int runs = argc > 3 ? std::max(1, std::atoi(argv[3])) : 3;
    WebFolderAddress address;
    if (!ParseWebFolderLink(link, address)) {
        std::fprintf(stderr, "not a web folder: %s\n", link.c_str());
        return 2;
    }
    SourceFolder sources;
    for (int i = 0; i < kPictures; ++i) {
        sources.Add(Numbered("IMG_", 1000 + i, ".jpg"), kPictureBytes);
    }
    auto session = CreateWebDavSession(address, std::make_shared<CFixedCredentialSource>(
                                                    ShareCredentials{kUser, kPassword, {}, false}));
    std::vector<double> engine;
    std::vector<double> curl;
    for (int run = 0; run < runs; ++run) {
        const std::string engineFolder = Numbered("bench-engine-", run, "");
        const std::string curlFolder = Numbered("bench-curl-", run, "");
        for (const std::string& folder : {engineFolder, curlFolder}) {
            if (!session->MakeFolder(address.share + "/" + folder).ok()) {
                std::printf("cannot make the folder %s\n", folder.c_str());
                return 2;
            }
        }
        double seconds = 0;
        if (!TimeEngine(link, address, sources.Pictures(), engineFolder, seconds)) {
            return 2;
        }
        engine.push_back(seconds);
        if (!TimeCurl(address, sources, curlFolder, seconds)) {
            return 2;
        }
        curl.push_back(seconds);
        std::printf("run %d: engine %.2f s, curl -T %.2f s\n", run + 1, engine.back(), curl.back());
        std::fflush(stdout);
    }
    const double ratio = Median(engine) / Median(curl);
    std::printf("%d pictures of 2 MiB: engine %.2f s, sequential curl -T %.2f s (medians of %d); "
                "ratio %.2f",
                kPictures, Median(engine), Median(curl), runs, ratio);
    if (allowed > 0) {
        std::printf(", allowed %.2f", allowed);
    }
    std::printf("\n");
    // An allowed ratio of 0 only reports.
    return allowed <= 0 || ratio <= allowed ? 0 : 1;
}
