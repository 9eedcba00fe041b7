#include "wizard/transfer/TransferRun.h"

#include "wizard/transfer/TransferNaming.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <deque>
#include <future>
#include <map>
#include <optional>
#include <thread>

namespace {

constexpr auto kCleanupRetryPeriod = std::chrono::milliseconds(200);

std::string FileNameOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

} // namespace

CTransferRun::CTransferRun(CAbstractFileTransfer& transfer, CAbstractFileTransferCallback& callback,
                           CTransferProperties& properties)
    : m_transfer(transfer), m_callback(callback), m_properties(properties),
      m_folder(DestinationFolder(properties)) {}

void CTransferRun::Prepare() {
    m_copies.clear();
    m_partials.clear();
    m_failure = {};
    CAbstractShareSession* session = m_transfer.Session();
    if (session != nullptr && SplitPathParts(m_folder).size() > 1) {
        const ShareResult made = session->MakeFolder(m_folder);
        if (!made.ok() && made.status != ShareStatus::AlreadyExists) {
            std::printf("Cannot create the folder %s: %s\n", m_folder.c_str(),
                        made.Message().c_str());
        }
    }
    // One listing serves the clean-up and the numbering.
    std::vector<ShareEntry> entries;
    m_properties.number = 0;
    if (ListForNumbering(session, m_folder, entries).ok()) {
        RemoveLeftoverTemporaries(entries);
        m_properties.number = LastNumberAmong(entries, m_properties.groupName);
    }
}

void CTransferRun::RemoveLeftoverTemporaries(const std::vector<ShareEntry>& entries) {
    CAbstractShareSession* session = m_transfer.Session();
    for (const ShareEntry& entry : entries) {
        if (entry.isFolder || !IsTemporaryCopyName(entry.name)) {
            continue;
        }
        // A copy that another wizard is writing right now is open, and the server refuses to
        // remove it; it stays, and so do its numbers.
        const std::string path = JoinSharePath(m_folder, entry.name);
        if (const ShareResult removed = session->Remove(path); removed.ok()) {
            std::printf("Removed %s, left by a copy that never ended\n", path.c_str());
        }
    }
}

CTransferRun::CopyOutcome CTransferRun::CopyPicture(const std::string& source,
                                                    std::string_view extension, uint32_t index) {
    CLocalPictureSource local(source, std::string(extension));
    return CopyPicture(local, index);
}

CTransferRun::CopyOutcome CTransferRun::CopyPicture(CAbstractPictureSource& picture, uint32_t index,
                                                    bool samePicture) {
    const std::string source = picture.Describe();
    const std::string extension = picture.Extension();
    m_callback.WaitForRunGate();
    if (samePicture) {
        // The number the picture's first file took, already counted.
        const std::string name =
            DestinationName(m_properties.groupName, m_properties.number, extension);
        const CopyOutcome outcome = CopyUnder(m_transfer, picture, source, name, index);
        if (outcome == CopyOutcome::NameTaken) {
            std::printf("%s is taken: the picture of %s moves to the next number\n", name.c_str(),
                        source.c_str());
        }
        return outcome;
    }
    return CopyPictureWith(m_transfer, picture, index);
}

CTransferRun::CopyOutcome CTransferRun::CopyPictureWith(CAbstractFileTransfer& transfer,
                                                        CAbstractPictureSource& picture,
                                                        uint32_t index) {
    const std::string source = picture.Describe();
    const std::string extension = picture.Extension();
    std::string name;
    for (int tries = 0;; ++tries) {
        if (m_properties.number == INT32_MAX || tries == kMaxNameTries) {
            // Every number is taken, or a server answers that every name is: give up rather
            // than ask it for ever.
            std::printf("No free name for %s after %d tries\n", source.c_str(), tries);
            m_failure = {ShareStatus::AlreadyExists, EEXIST, source, name, 0};
            return CopyOutcome::Failed;
        }
        name = DestinationName(m_properties.groupName, int64_t(m_properties.number) + 1, extension);
        const CopyOutcome outcome = CopyUnder(transfer, picture, source, name, index);
        if (outcome == CopyOutcome::Copied || outcome == CopyOutcome::NameTaken) {
            // A name taken is someone else's file, never touched: the next number is tried.
            ++m_properties.number;
        }
        if (outcome != CopyOutcome::NameTaken) {
            return outcome;
        }
    }
}

CTransferRun::CopyOutcome CTransferRun::CopyUnder(CAbstractFileTransfer& transfer,
                                                  CAbstractPictureSource& picture,
                                                  const std::string& source,
                                                  const std::string& name, uint32_t index) {
    if (m_callback.OnCopyFile(m_properties.total, index, name)) {
        return CopyOutcome::Stopped;
    }
    const std::string path = JoinSharePath(m_folder, name);
    const TransferResult result = transfer.Transfer(picture, path, &m_callback);
    if (result.partialLeft) {
        m_partials.push_back(result.partialPath);
    }
    if (result.ok()) {
        m_copies.push_back({path, source, result.bytes, 0});
        return CopyOutcome::Copied;
    }
    if (result.result.status == ShareStatus::AlreadyExists) {
        return CopyOutcome::NameTaken;
    }
    if (result.result.status == ShareStatus::Cancelled) {
        return CopyOutcome::Stopped;
    }
    std::printf("Copying %s to %s failed: %s\n", source.c_str(), path.c_str(),
                result.result.Message().c_str());
    m_failure = {result.result.status, result.result.error, source, name, 0};
    return CopyOutcome::Failed;
}

namespace {

// The progress of one lane's copy: passed on to the page only for the picture the page
// announced last (the bar follows one picture at a time), answered from the run's controls, and
// refused once the pass has ended early.
class CLaneCallback final : public CAbstractFileTransferCallback {
public:
    CLaneCallback(CAbstractFileTransferCallback& run, const std::atomic<size_t>& announced,
                  const std::atomic<bool>& abandoned, size_t picture)
        : m_run(run), m_announced(announced), m_abandoned(abandoned), m_picture(picture) {
        AttachRun(run.AttachedRun());
    }

    void OnBegin() override {}
    void OnSwitchToDelete() override {}
    int OnCopyProgress(uint64_t totalBytes, uint64_t bytesTransferred) override {
        int answer = IsCancelled() ? 1 : 0;
        if (m_announced.load() == m_picture) {
            answer = m_run.OnCopyProgress(totalBytes, bytesTransferred);
        }
        return m_abandoned.load() ? 1 : answer;
    }
    bool OnCopyFile(uint32_t, uint32_t, const std::string&) override { return IsCancelled(); }
    bool OnDeleteFile(uint32_t, uint32_t, const std::string&) override { return IsCancelled(); }
    void OnDone(bool, const TransferFailure&, const PassedOver&) override {}

private:
    CAbstractFileTransferCallback& m_run;
    const std::atomic<size_t>& m_announced;
    const std::atomic<bool>& m_abandoned;
    size_t m_picture;
};

} // namespace

struct CTransferRun::Upload {
    size_t picture = 0;
    uint32_t index = 0;
    CAbstractFileTransfer* lane = nullptr;
    std::unique_ptr<CAbstractPictureSource> source;
    std::string name;
    std::string path;
    std::unique_ptr<CLaneCallback> progress;
    std::future<TransferResult> result;
    // Set when the picture never started: the page stopped the run when it was announced, or
    // no number was left for it.
    std::optional<CopyOutcome> ending;
};

bool CTransferRun::CopiesAtOnce(const CAbstractPictureSet& set) const {
    if (m_transfer.Lanes().size() < 2 || m_properties.cameraMode) {
        return false;
    }
    for (size_t file = 0; file < set.Count(); ++file) {
        if (!set.StartsPicture(file)) {
            return false;
        }
    }
    return true;
}

void CTransferRun::CopyPictures(
    CAbstractPictureSet& set,
    const std::function<bool(size_t picture, CopyOutcome outcome)>& onOutcome) {
    if (CopiesAtOnce(set)) {
        CopyPicturesAtOnce(set, m_transfer.Lanes(), onOutcome);
        return;
    }
    for (size_t picture = 0; picture < set.Count(); ++picture) {
        const std::unique_ptr<CAbstractPictureSource> source = set.Source(picture);
        if (!onOutcome(picture, CopyPicture(*source, set.NumberOf(picture)))) {
            return;
        }
    }
}

void CTransferRun::CopyPicturesAtOnce(CAbstractPictureSet& set,
                                      const std::vector<CAbstractFileTransfer*>& lanes,
                                      const std::function<bool(size_t, CopyOutcome)>& onOutcome) {
    std::atomic<size_t> announced{SIZE_MAX};
    std::atomic<bool> abandoned{false};
    std::vector<CAbstractFileTransfer*> freeLanes(lanes.rbegin(), lanes.rend());
    std::deque<Upload> underWay; // in picture order
    size_t next = 0;
    bool starting = true;  // pictures are still given names and lanes
    bool reporting = true; // outcomes still go to onOutcome

    while (true) {
        // Every free lane takes the next picture, named now, in picture order.
        while (starting && next < set.Count() && !freeLanes.empty()) {
            Upload upload;
            upload.picture = next;
            upload.index = set.NumberOf(next);
            upload.source = set.Source(next);
            ++next;
            m_callback.WaitForRunGate();
            upload.name = DestinationName(m_properties.groupName, int64_t(m_properties.number) + 1,
                                          upload.source->Extension());
            if (m_properties.number == INT32_MAX) {
                std::printf("No free name for %s\n", upload.source->Describe().c_str());
                m_failure = {ShareStatus::AlreadyExists, EEXIST, upload.source->Describe(),
                             upload.name, 0};
                upload.ending = CopyOutcome::Failed;
            } else if (m_callback.OnCopyFile(m_properties.total, upload.index, upload.name)) {
                upload.ending = CopyOutcome::Stopped;
            }
            if (upload.ending) {
                underWay.push_back(std::move(upload));
                starting = false;
                break;
            }
            ++m_properties.number;
            announced.store(upload.picture);
            upload.lane = freeLanes.back();
            freeLanes.pop_back();
            upload.path = JoinSharePath(m_folder, upload.name);
            upload.progress =
                std::make_unique<CLaneCallback>(m_callback, announced, abandoned, upload.picture);
            Upload& placed = underWay.emplace_back(std::move(upload));
            placed.result = std::async(std::launch::async, [&placed] {
                return placed.lane->Transfer(*placed.source, placed.path, placed.progress.get());
            });
        }
        if (underWay.empty()) {
            return;
        }
        Upload& oldest = underWay.front();
        CopyOutcome outcome = oldest.ending.value_or(CopyOutcome::Stopped);
        if (!oldest.ending) {
            outcome = Settle(oldest, reporting);
            freeLanes.push_back(oldest.lane);
        }
        if (reporting && !onOutcome(oldest.picture, outcome)) {
            reporting = false;
        }
        if (!reporting) {
            // What is still under way is not wanted any more: it is cancelled, and what arrives
            // anyway is taken back with the run's other copies.
            starting = false;
            abandoned.store(true);
        }
        underWay.pop_front();
    }
}

CTransferRun::CopyOutcome CTransferRun::Settle(Upload& upload, bool mayRetry) {
    const TransferResult result = upload.result.get();
    if (result.partialLeft) {
        m_partials.push_back(result.partialPath);
    }
    const std::string source = upload.source->Describe();
    if (result.ok()) {
        m_copies.push_back({upload.path, source, result.bytes, 0});
        return CopyOutcome::Copied;
    }
    if (result.result.status == ShareStatus::AlreadyExists) {
        if (!mayRetry) {
            return CopyOutcome::Stopped;
        }
        // Taken meanwhile by someone else: this picture takes the next free number.
        return CopyPictureWith(*upload.lane, *upload.source, upload.index);
    }
    if (result.result.status == ShareStatus::Cancelled) {
        return CopyOutcome::Stopped;
    }
    std::printf("Copying %s to %s failed: %s\n", source.c_str(), upload.path.c_str(),
                result.result.Message().c_str());
    m_failure = {result.result.status, result.result.error, source, upload.name, 0};
    return CopyOutcome::Failed;
}

void CTransferRun::TakeBackLast(size_t count) {
    CAbstractShareSession* session = m_transfer.Session();
    count = std::min(count, m_copies.size());
    for (size_t taken = 0; taken < count; ++taken) {
        const std::string path = std::move(m_copies.back().path);
        m_copies.pop_back();
        if (session == nullptr || !session->Remove(path).ok()) {
            m_partials.push_back(path);
        }
    }
}

bool CTransferRun::ReadBackCopies() {
    CAbstractShareSession* session = m_transfer.Session();
    std::vector<ShareEntry> entries;
    m_readBack = session != nullptr ? session->List(m_folder, entries)
                                    : ShareResult{ShareStatus::NotSupported};
    if (!m_readBack.ok()) {
        return false;
    }
    std::map<std::string, uint64_t> sizes;
    for (const ShareEntry& entry : entries) {
        if (!entry.isFolder) {
            sizes[entry.name] = entry.size;
        }
    }
    for (Copy& copy : m_copies) {
        const std::string name = FileNameOf(copy.path);
        std::optional<uint64_t> listedSize;
        if (auto found = sizes.find(name); found != sizes.end()) {
            listedSize = found->second;
        } else if (ShareEntry entry; session->Stat(copy.path, entry).ok() && !entry.isFolder) {
            // The listing spells the name otherwise (a share that does not keep letter case):
            // the share itself says whether the name leads to the copy.
            listedSize = entry.size;
        }
        copy.readBack = listedSize.has_value();
        copy.listedSize = listedSize.value_or(0);
    }
    return true;
}

bool CTransferRun::VerifyCopies() {
    if (m_copies.empty()) {
        return true;
    }
    if (!ReadBackCopies()) {
        m_failure = {m_readBack.status, m_readBack.error, {}, {}, 0};
        return false;
    }
    for (const Copy& copy : m_copies) {
        if (!PassedReadBack(copy)) {
            std::printf("The copy %s does not match %s\n", copy.path.c_str(), copy.source.c_str());
            m_failure = {ShareStatus::SizeMismatch, 0, copy.source, FileNameOf(copy.path), 0};
            return false;
        }
    }
    return true;
}

void CTransferRun::DeleteCopies() {
    std::vector<std::string> pending;
    for (const Copy& copy : m_copies) {
        pending.push_back(copy.path);
    }
    pending.insert(pending.end(), m_partials.begin(), m_partials.end());
    m_copies.clear();
    m_partials.clear();
    m_failure.leftBehind += RemovePaths(std::move(pending));
    if (m_failure.leftBehind > 0 && !m_failure.Failed()) {
        // A cancelled run whose copies stay on the server must still say so.
        m_failure.status = ShareStatus::ConnectionLost;
    }
}

void CTransferRun::RemovePartials() {
    std::vector<std::string> pending = std::move(m_partials);
    m_partials.clear();
    m_failure.leftBehind += RemovePaths(std::move(pending));
}

int CTransferRun::RemovePaths(std::vector<std::string> pending) {
    int left = 0;
    std::string firstLeft;
    CAbstractShareSession* session = m_transfer.Session();
    const auto deadline = std::chrono::steady_clock::now() + m_patience;
    while (session != nullptr && !pending.empty()) {
        std::vector<std::string> retry;
        for (const std::string& path : pending) {
            // Every attempt on a server that does not answer lasts until the request times
            // out; once the patience is spent, the rest is not tried.
            if (!retry.empty() && std::chrono::steady_clock::now() >= deadline) {
                retry.push_back(path);
                continue;
            }
            const ShareResult removed = session->Remove(path);
            if (removed.ok() || removed.status == ShareStatus::NotFound) {
                continue;
            }
            // A server that has just come back may fail its first requests with errors of its
            // own (the share library reports some as "out of memory"): only an answer that will
            // not change is final.
            if (IsConnectionFailure(removed.status) || removed.status == ShareStatus::Failed) {
                retry.push_back(path);
            } else {
                std::printf("Cannot remove %s: %s\n", path.c_str(), removed.Message().c_str());
                ++left;
                firstLeft = firstLeft.empty() ? path : firstLeft;
            }
        }
        pending = std::move(retry);
        if (pending.empty() || std::chrono::steady_clock::now() >= deadline) {
            break;
        }
        std::this_thread::sleep_for(kCleanupRetryPeriod);
    }
    for (const std::string& path : pending) {
        std::printf("Cannot remove %s: the server cannot be reached\n", path.c_str());
        ++left;
        firstLeft = firstLeft.empty() ? path : firstLeft;
    }
    if (m_failure.leftBehindPath.empty()) {
        m_failure.leftBehindPath = firstLeft;
    }
    return left;
}
