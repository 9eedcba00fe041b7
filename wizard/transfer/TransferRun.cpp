#include "wizard/transfer/TransferRun.h"

#include "wizard/transfer/TransferNaming.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
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
        const CopyOutcome outcome = CopyUnder(picture, source, name, index);
        if (outcome == CopyOutcome::NameTaken) {
            std::printf("%s is taken: the picture of %s moves to the next number\n", name.c_str(),
                        source.c_str());
        }
        return outcome;
    }
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
        const CopyOutcome outcome = CopyUnder(picture, source, name, index);
        if (outcome == CopyOutcome::Copied || outcome == CopyOutcome::NameTaken) {
            // A name taken is someone else's file, never touched: the next number is tried.
            ++m_properties.number;
        }
        if (outcome != CopyOutcome::NameTaken) {
            return outcome;
        }
    }
}

CTransferRun::CopyOutcome CTransferRun::CopyUnder(CAbstractPictureSource& picture,
                                                  const std::string& source,
                                                  const std::string& name, uint32_t index) {
    if (m_callback.OnCopyFile(m_properties.total, index, name)) {
        return CopyOutcome::Stopped;
    }
    const std::string path = JoinSharePath(m_folder, name);
    const TransferResult result = m_transfer.Transfer(picture, path, &m_callback);
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
