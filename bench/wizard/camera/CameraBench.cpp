// Times a camera run against the command-line way of doing the same: 200 pictures of 2 MiB on a
// tmpfs camera, copied by the copy step straight to a private smbd on loopback, and fetched with
// "gphoto2 --get-all-files" into a folder and then sent with "smbclient mput", side by side in
// the same run, median of a few runs. Run as root inside a private mount namespace
// (scripts/bench-camera.sh does both). Exits 1 when the engine is slower than allowed, 2 when a
// run failed or was interrupted.
//   camera_bench [runs]
#include "smbd_fixture.h"
#include "wizard/camera/CameraTransfer.h"
#include "wizard/camera/linux/GphotoCamera.h"
#include "wizard/transfer/FileTransferStep.h"
#include "wizard/transfer/SmbSession.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include <sys/mount.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

constexpr int kPictures = 200;
constexpr size_t kPictureSize = size_t(2) << 20;
constexpr double kAllowedRatio = 1.0;

std::atomic<bool> interrupted{false};

extern "C" void OnInterrupt(int) {
    interrupted.store(true);
}

class NullPoster : public CAbstractAsyncDataPoster {
public:
    void Post(std::unique_ptr<kvAsyncData>) override {}
};

class NoRelease : public CAbstractCameraClaimRelease {
public:
    bool Release(const std::string&) override { return false; }
};

// Memory file systems for the camera and the download folder; they go with the namespace, and
// are taken down here too so that the folder can be removed.
class Mounts {
public:
    ~Mounts() {
        for (auto it = m_points.rbegin(); it != m_points.rend(); ++it) {
            umount2(it->c_str(), MNT_DETACH);
        }
        std::error_code ignored;
        if (!m_base.empty()) {
            fs::remove_all(m_base, ignored);
        }
    }
    bool Make(std::string& why) {
        std::string base = (fs::temp_directory_path() / "vm-camera-bench.XXXXXX").string();
        if (mkdtemp(base.data()) == nullptr) {
            why = std::string("no temporary folder: ") + std::strerror(errno);
            return false;
        }
        m_base = base;
        return true;
    }
    bool Mount(const std::string& name, const std::string& size, std::string& point,
               std::string& why) {
        point = m_base + "/" + name;
        fs::create_directories(point);
        const std::string options = "size=" + size;
        if (mount("vm-camera-bench", point.c_str(), "tmpfs", 0, options.c_str()) != 0) {
            why = "cannot mount a tmpfs on " + point + ": " + std::strerror(errno);
            return false;
        }
        m_points.push_back(point);
        return true;
    }

private:
    std::string m_base;
    std::vector<std::string> m_points;
};

double Seconds(std::chrono::steady_clock::duration elapsed) {
    return std::chrono::duration<double>(elapsed).count();
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

bool RunEngine(SmbdFixture& server, const std::string& port, const std::string& location,
               double& seconds) {
    NullPoster poster;
    auto callback = std::make_shared<CFileTransferCallback>();
    callback->SetTarget(&poster, nullptr);
    CTransferProperties properties;
    properties.groupName = "Bench";
    properties.location = location;
    properties.cameraMode = true;
    properties.cameraDeviceId = port;
    CFileTransferStep step;

    const auto started = std::chrono::steady_clock::now();
    auto transfer = std::make_unique<CSambaFileTransfer>(
        CreateSmbSession(server.Address(),
                         std::make_shared<CFixedCredentialSource>(ShareCredentials::NamedGuest())));
    transfer->SetCallback(callback);
    step.SetTransfer(std::move(transfer));
    // Like the command-line program, every run loads the camera drivers afresh.
    step.SetCameraPictures(CameraPicturesThrough(std::make_shared<CGphotoCameraSystem>(),
                                                 std::make_shared<NoRelease>()));
    step.Run(properties);
    seconds = Seconds(std::chrono::steady_clock::now() - started);
    if (step.CopiedList().size() != size_t(kPictures)) {
        std::fprintf(stderr, "the engine copied %zu of %d pictures\n", step.CopiedList().size(),
                     kPictures);
        return false;
    }
    return true;
}

bool RunCommandLine(SmbdFixture& server, const std::string& port, const std::string& download,
                    const std::string& location, double& seconds) {
    std::error_code ignored;
    for (const auto& entry : fs::directory_iterator(download)) {
        fs::remove_all(entry.path(), ignored);
    }
    const auto started = std::chrono::steady_clock::now();
    const int fetched = RunProgram({"gphoto2", "--port", port, "--get-all-files",
                                    "--force-overwrite", "--filename", download + "/%f.%C"});
    if (fetched != 0) {
        std::fprintf(stderr, "gphoto2 failed (%d)\n", fetched);
        return false;
    }
    const std::string commands = "mkdir \"" + location + "\"; cd \"" + location + "\"; lcd \"" +
                                 download + "\"; prompt; mput *";
    const int sent =
        RunProgram({"smbclient", "-N", "-p", std::to_string(server.Port()),
                    std::string("//127.0.0.1/") + SmbdFixture::kGuestShare, "-c", commands});
    seconds = Seconds(std::chrono::steady_clock::now() - started);
    if (sent != 0) {
        std::fprintf(stderr, "smbclient failed (%d)\n", sent);
        return false;
    }
    size_t count = 0;
    for (const auto& entry : fs::directory_iterator(download)) {
        count += entry.is_regular_file() ? 1 : 0;
    }
    if (count != size_t(kPictures)) {
        std::fprintf(stderr, "gphoto2 fetched %zu of %d pictures\n", count, kPictures);
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
    if (geteuid() != 0) {
        std::fprintf(stderr, "camera_bench needs root (tmpfs mounts and smbd)\n");
        return 2;
    }

    // Declared first, so that they go last: smbd stops before the folders go.
    Mounts mounts;
    std::string why;
    std::string card;
    std::string download;
    if (!mounts.Make(why) || !mounts.Mount("card", "600m", card, why) ||
        !mounts.Mount("download", "600m", download, why)) {
        std::fprintf(stderr, "%s\n", why.c_str());
        return 2;
    }
    fs::create_directories(card + "/DCIM/100BENCH");
    std::mt19937_64 generator(7);
    std::vector<char> data(kPictureSize);
    for (int i = 0; i < kPictures; ++i) {
        for (size_t at = 0; at + 8 <= data.size(); at += 8) {
            const uint64_t value = generator();
            std::memcpy(data.data() + at, &value, 8);
        }
        data[0] = '\xFF'; // a JPEG's first bytes
        data[1] = '\xD8';
        char name[64];
        std::snprintf(name, sizeof name, "/DCIM/100BENCH/IMG_%04d.JPG", i);
        std::ofstream(card + name, std::ios::binary)
            .write(data.data(), static_cast<std::streamsize>(data.size()));
    }
    const std::string port = "disk:" + card;

    SmbdFixture server;
    if (!server.Start(why)) {
        std::fprintf(stderr, "cannot start smbd: %s\n", why.c_str());
        return 2;
    }
    const std::string shareDirectory = server.ShareDirectory(SmbdFixture::kGuestShare);
    if (!server.MountSmallDisk(shareDirectory + "/bench", uint64_t(1) << 30, why)) {
        std::printf("(copies go to disk: %s)\n", why.c_str());
    }

    std::vector<double> engine;
    std::vector<double> commandLine;
    for (int run = 0; run < runs; ++run) {
        const std::string location = "bench/" + std::to_string(run);
        double ours = 0;
        double theirs = 0;
        const bool peer = RunCommandLine(server, port, download, location + "-cli", theirs);
        std::error_code ignored;
        fs::remove_all(shareDirectory + "/" + location + "-cli", ignored);
        const bool engineOk = peer && RunEngine(server, port, location + "-engine", ours);
        fs::remove_all(shareDirectory + "/" + location + "-engine", ignored);
        if (interrupted.load()) {
            std::fprintf(stderr, "interrupted\n");
            return 2;
        }
        if (!peer || !engineOk) {
            std::fprintf(stderr, "run %d failed\n", run + 1);
            return 2;
        }
        commandLine.push_back(theirs);
        engine.push_back(ours);
        std::printf("run %d: engine %.2f s, gphoto2 + smbclient %.2f s\n", run + 1, ours, theirs);
        std::fflush(stdout);
    }
    const double ratio = Median(engine) / Median(commandLine);
    std::printf("%-28s %10s %22s %8s %8s\n", "workload", "engine s", "gphoto2+smbclient s", "ratio",
                "limit");
    std::printf("%-28s %10.2f %22.2f %8.2f %8.2f\n", "200 pictures of 2 MiB", Median(engine),
                Median(commandLine), ratio, kAllowedRatio);
    return ratio <= kAllowedRatio ? 0 : 1;
}
