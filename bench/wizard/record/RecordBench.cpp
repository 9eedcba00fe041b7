// Times what "only new pictures" adds to a run, beside the copy it saves: 10,000 pictures in 20
// folders are copied to a private smbd on loopback by the copy engine, which records them; the
// record is then filled up to 200,000 rows, and the 10,000 pictures are matched against it and
// their copies confirmed on the server (one listing per folder), median of a few runs. Exits 1
// when matching or confirming is slower than allowed, 2 when a run failed or was interrupted; the
// private smbd and its memory disk go on every path.
//   record_bench [runs]
#include "smbd_fixture.h"
#include "tests/wizard/transfer/TransferTestSupport.h"
#include "wizard/app/linux/SourceIdentity.h"
#include "wizard/sheet/AlreadyCopied.h"
#include "wizard/transfer/FileTransferStep.h"
#include "wizard/transfer/SmbSession.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr int kFolders = 20;
constexpr int kPicturesPerFolder = 500;
constexpr size_t kPictureSize = size_t(16) << 10;
constexpr int64_t kRecordRows = 200000;
constexpr double kMatchLimitMs = 50;
constexpr double kConfirmLimitS = 1.0;
const std::string kServer = "benchserver";

std::atomic<bool> interrupted{false};

extern "C" void OnInterrupt(int) {
    interrupted.store(true);
}

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

std::unique_ptr<CAbstractShareSession> Session(const SmbdFixture& server) {
    return CreateSmbSession(
        server.Address(), std::make_shared<CFixedCredentialSource>(ShareCredentials::NamedGuest()));
}

// Copies one folder's pictures with the engine, recording them; false when not all arrived.
bool CopyFolder(const SmbdFixture& server, SourceFolder& sources, const std::string& location,
                const std::shared_ptr<CCopyRecord>& record, const std::vector<SourceFacts>& facts) {
    NullPoster poster;
    auto callback = std::make_shared<CFileTransferCallback>();
    callback->SetTarget(&poster, nullptr);
    CTransferProperties properties;
    properties.groupName = "Bench";
    properties.location = location;
    properties.serverAddress = server.Address();
    properties.pictures = &sources.Pictures();
    properties.recordPlan =
        MakeRecordPlan(record, kServer, server.Address(), sources.Pictures(), facts, nullptr);
    auto transfer = std::make_unique<CSambaFileTransfer>(Session(server));
    transfer->SetCallback(callback);
    CFileTransferStep step;
    step.SetTransfer(std::move(transfer));
    step.Run(properties);
    return step.CopiedList().size() == sources.Pictures().size();
}

// Rows of other cards, so that the record holds kRecordRows in all.
bool FillRecord(CCopyRecord& record, int64_t rows) {
    std::vector<CopyEntry> entries;
    for (int64_t row = 0; row < rows; ++row) {
        const std::string name = std::to_string(row);
        entries.push_back(
            {{{"uuid:FILL-" + std::to_string(row / 5000), "/DCIM/" + name + ".JPG"},
              uint64_t(100000 + row),
              row},
             kServer,
             "FamilyLibrary",
             "FamilyLibrary/Old/" + std::to_string(row / 1000) + "/Old " + name + ".JPG",
             uint64_t(100000 + row),
             1700000000});
        if (entries.size() == 10000 || row + 1 == rows) {
            if (!record.Add(entries, "127.0.0.1")) {
                return false;
            }
            entries.clear();
        }
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);

    SmbdFixture server;
    std::string why;
    if (!server.Start(why)) {
        std::fprintf(stderr, "cannot start smbd: %s\n", why.c_str());
        return 2;
    }
    const std::string shareDirectory = server.ShareDirectory(SmbdFixture::kGuestShare);
    if (!server.MountSmallDisk(shareDirectory + "/bench", uint64_t(1) << 30, why)) {
        std::printf("(copies go to disk: %s)\n", why.c_str());
    }
    // The record sits beside the sources, in a folder of its own.
    SourceFolder state;
    RecordOpening opening{};
    std::shared_ptr<CCopyRecord> record =
        CCopyRecord::Open(state.Root() + "/copies.sqlite3", opening);
    if (!record) {
        std::fprintf(stderr, "cannot open the record\n");
        return 2;
    }

    // The pictures, 20 folders of 500, and the facts start-up takes of them.
    std::vector<std::unique_ptr<SourceFolder>> folders;
    std::vector<std::vector<SourceFacts>> facts;
    CVolumeIdentifier volumes;
    for (int folder = 0; folder < kFolders; ++folder) {
        folders.push_back(std::make_unique<SourceFolder>());
        for (int picture = 0; picture < kPicturesPerFolder; ++picture) {
            char name[32];
            std::snprintf(name, sizeof name, "IMG_%04d.JPG", picture);
            folders.back()->Add(name, kPictureSize);
        }
        facts.push_back(DescribePictures(folders.back()->Pictures(), volumes));
    }

    // The whole copy, recorded as a run records it.
    const auto copyStart = std::chrono::steady_clock::now();
    for (int folder = 0; folder < kFolders; ++folder) {
        if (interrupted.load()) {
            std::fprintf(stderr, "interrupted\n");
            return 2;
        }
        if (!CopyFolder(server, *folders[size_t(folder)], "bench\\" + std::to_string(folder),
                        record, facts[size_t(folder)])) {
            std::fprintf(stderr, "the copy of folder %d failed\n", folder);
            return 2;
        }
    }
    const double copySeconds = Seconds(std::chrono::steady_clock::now() - copyStart);
    const int64_t recorded = record->Count();
    if (recorded != kFolders * kPicturesPerFolder || !FillRecord(*record, kRecordRows - recorded)) {
        std::fprintf(stderr, "the record holds %lld rows, not %d\n",
                     static_cast<long long>(recorded), kFolders * kPicturesPerFolder);
        return 2;
    }

    // Opening the full record again, with its integrity check, as start-up does.
    record.reset();
    const auto openStart = std::chrono::steady_clock::now();
    record = CCopyRecord::Open(state.Root() + "/copies.sqlite3", opening);
    const double openSeconds = Seconds(std::chrono::steady_clock::now() - openStart);
    if (!record || record->Count() != kRecordRows) {
        std::fprintf(stderr, "the full record cannot be opened again\n");
        return 2;
    }

    std::vector<SourceFacts> all;
    for (const std::vector<SourceFacts>& folderFacts : facts) {
        all.insert(all.end(), folderFacts.begin(), folderFacts.end());
    }
    std::vector<double> describe;
    std::vector<double> match;
    std::vector<double> confirm;
    for (int run = 0; run < runs && !interrupted.load(); ++run) {
        auto started = std::chrono::steady_clock::now();
        CVolumeIdentifier fresh;
        size_t described = 0;
        for (const auto& folder : folders) {
            described += DescribePictures(folder->Pictures(), fresh).size();
        }
        describe.push_back(Seconds(std::chrono::steady_clock::now() - started));

        started = std::chrono::steady_clock::now();
        const std::vector<std::vector<CopyEntry>> found =
            record->Find(kServer, "FamilyLibrary", all);
        match.push_back(Seconds(std::chrono::steady_clock::now() - started));

        started = std::chrono::steady_clock::now();
        std::unique_ptr<CAbstractShareSession> session = Session(server);
        const std::vector<KnownCopy> confirmed = ConfirmKnownCopies(*session, found);
        confirm.push_back(Seconds(std::chrono::steady_clock::now() - started));
        if (described != all.size() || confirmed.size() != all.size()) {
            std::fprintf(stderr, "run %d confirmed %zu of %zu pictures\n", run + 1,
                         confirmed.size(), all.size());
            return 2;
        }
    }
    if (interrupted.load()) {
        std::fprintf(stderr, "interrupted\n");
        return 2;
    }
    const double matchMs = Median(match) * 1000;
    const double confirmS = Median(confirm);
    std::printf("%d pictures of %zu KiB in %d folders, record of %lld rows, median of %d runs\n",
                kFolders * kPicturesPerFolder, kPictureSize >> 10, kFolders,
                static_cast<long long>(kRecordRows), runs);
    std::printf("%-34s %10s %10s %14s\n", "step", "seconds", "limit", "of the copy");
    std::printf("%-34s %10.3f %10s %14s\n", "copy with the engine, recorded", copySeconds, "-",
                "1");
    std::printf("%-34s %10.3f %10s %14.4f\n", "open the full record (checked)", openSeconds, "-",
                openSeconds / copySeconds);
    std::printf("%-34s %10.3f %10s %14.4f\n", "read the pictures' facts", Median(describe), "-",
                Median(describe) / copySeconds);
    std::printf("%-34s %10.3f %10.3f %14.4f\n", "match against the record", matchMs / 1000,
                kMatchLimitMs / 1000, Median(match) / copySeconds);
    std::printf("%-34s %10.3f %10.3f %14.4f\n", "confirm on the server (20 lists)", confirmS,
                kConfirmLimitS, confirmS / copySeconds);
    std::fflush(stdout);
    return matchMs <= kMatchLimitMs && confirmS <= kConfirmLimitS ? 0 : 1;
}
