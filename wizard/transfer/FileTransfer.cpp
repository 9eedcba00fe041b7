#include "wizard/transfer/FileTransfer.h"

#include "wizard/transfer/TransferNaming.h"

#include <algorithm>
#include <cerrno>

void CTransferRunControl::Cancel() {
    m_cancelled.store(true);
}

void CTransferRunControl::Pause() {
    std::lock_guard lock(m_gateMutex);
    m_gateOpen = false;
}

void CTransferRunControl::Resume() {
    {
        std::lock_guard lock(m_gateMutex);
        m_gateOpen = true;
    }
    m_gateOpened.notify_all();
}

void CTransferRunControl::WaitForRunGate() {
    std::unique_lock lock(m_gateMutex);
    m_gateOpened.wait(lock, [this] { return m_gateOpen; });
}

void CAbstractFileTransferCallback::AttachRun(std::shared_ptr<CTransferRunControl> run) {
    std::lock_guard lock(m_runMutex);
    m_run = std::move(run);
}

std::shared_ptr<CTransferRunControl> CAbstractFileTransferCallback::AttachedRun() const {
    std::lock_guard lock(m_runMutex);
    return m_run;
}

void CAbstractFileTransferCallback::Cancel() {
    AttachedRun()->Cancel();
}

void CAbstractFileTransferCallback::Pause() {
    AttachedRun()->Pause();
}

void CAbstractFileTransferCallback::Resume() {
    AttachedRun()->Resume();
}

void CAbstractFileTransferCallback::ResetCancel() {
    AttachRun(std::make_shared<CTransferRunControl>());
}

void CAbstractFileTransferCallback::WaitForRunGate() {
    // Held by value: a run attached meanwhile must not free the gate being waited on.
    const std::shared_ptr<CTransferRunControl> run = AttachedRun();
    run->WaitForRunGate();
}

bool CAbstractFileTransferCallback::IsCancelled() const {
    return AttachedRun()->IsCancelled();
}

void CFileTransferCallback::SetTarget(CAbstractAsyncDataPoster* poster,
                                      CAbstractAsyncDataSheet* sheet) {
    std::lock_guard lock(m_targetMutex);
    m_poster = poster;
    m_sheet = sheet;
}

template <class Record, class... Args> void CFileTransferCallback::Post(Args&&... args) {
    std::lock_guard lock(m_targetMutex);
    if (m_poster != nullptr) {
        m_poster->Post(std::make_unique<Record>(m_sheet, std::forward<Args>(args)...));
    }
}

void CFileTransferCallback::OnSwitchToDelete() {
    Post<kvSwitchDeletePageAsyncData>();
}

int CFileTransferCallback::OnCopyProgress(uint64_t totalBytes, uint64_t bytesTransferred) {
    Post<kvFileStatusAsyncData>(totalBytes, bytesTransferred);
    return IsCancelled() ? 1 : 0;
}

bool CFileTransferCallback::OnCopyFile(uint32_t total, uint32_t index, const std::string& name) {
    Post<kvGroupStatusAsyncData>(static_cast<int>(total), static_cast<int>(index), name);
    return IsCancelled();
}

bool CFileTransferCallback::OnDeleteFile(uint32_t total, uint32_t index, const std::string& name) {
    Post<kvDeleteStatusAsyncData>(static_cast<int>(total), static_cast<int>(index), name);
    return IsCancelled();
}

void CFileTransferCallback::OnDone(bool cancelled, const TransferFailure& failure,
                                   const PassedOver& passedOver) {
    Post<kvDoneCopyAsyncData>(cancelled, failure, passedOver);
}

CRunCallback::CRunCallback(std::shared_ptr<CAbstractFileTransferCallback> page,
                           std::shared_ptr<CTransferRunControl> run)
    : m_page(std::move(page)) {
    AttachRun(std::move(run));
}

int CRunCallback::OnCopyProgress(uint64_t totalBytes, uint64_t bytesTransferred) {
    m_page->OnCopyProgress(totalBytes, bytesTransferred);
    return IsCancelled() ? 1 : 0;
}

bool CRunCallback::OnCopyFile(uint32_t total, uint32_t index, const std::string& name) {
    m_page->OnCopyFile(total, index, name);
    return IsCancelled();
}

bool CRunCallback::OnDeleteFile(uint32_t total, uint32_t index, const std::string& name) {
    m_page->OnDeleteFile(total, index, name);
    return IsCancelled();
}

void CRunCallback::OnDone(bool cancelled, const TransferFailure& failure,
                          const PassedOver& passedOver) {
    m_page->OnDone(cancelled, failure, passedOver);
}

void CAbstractFileTransfer::SetCallback(std::shared_ptr<CAbstractFileTransferCallback> callback) {
    std::lock_guard lock(m_callbackMutex);
    m_callback = std::move(callback);
}

std::shared_ptr<CAbstractFileTransferCallback> CAbstractFileTransfer::Callback() const {
    std::lock_guard lock(m_callbackMutex);
    return m_callback;
}

TransferResult CAbstractFileTransfer::Transfer(const std::string& source,
                                               const std::string& destination,
                                               CAbstractFileTransferCallback* progress) {
    CLocalPictureSource local(source);
    return Transfer(local, destination, progress);
}

TransferResult CAbstractFileTransfer::Transfer(const std::string& source,
                                               const std::string& destination) {
    const std::shared_ptr<CAbstractFileTransferCallback> callback = Callback();
    return Transfer(source, destination, callback.get());
}

namespace {

// Sends a picture's bytes to the share file in pieces of `piece` bytes, with progress after each.
// A source that delivers small chunks (a camera) has them gathered first: a share write per small
// chunk would cost a round trip each.
class ShareChunkWriter final : public CAbstractChunkWriter {
public:
    ShareChunkWriter(CAbstractShareFile& output, CAbstractFileTransferCallback* callback,
                     uint64_t totalBytes, size_t piece)
        : m_output(output), m_callback(callback), m_total(totalBytes), m_piece(piece) {}

    bool Write(const char* data, size_t size) override {
        if (!m_outcome.ok()) {
            return false;
        }
        bool wrote = false;
        if (!m_pending.empty()) {
            const size_t taken = std::min(size, m_piece - m_pending.size());
            m_pending.insert(m_pending.end(), data, data + taken);
            data += taken;
            size -= taken;
            if (m_pending.size() == m_piece) {
                wrote = true;
                if (!WritePiece(m_pending.data(), m_pending.size())) {
                    return false;
                }
                m_pending.clear();
            }
        }
        // The large chunk of a local file goes out as it is, piece by piece: the pieces keep the
        // page's bar moving and let a cancel in before the whole chunk is out.
        while (size >= m_piece) {
            wrote = true;
            if (!WritePiece(data, m_piece)) {
                return false;
            }
            data += m_piece;
            size -= m_piece;
        }
        if (size > 0) {
            if (m_pending.capacity() < m_piece) {
                m_pending.reserve(m_piece);
            }
            m_pending.insert(m_pending.end(), data, data + size);
        }
        if (!wrote && m_callback != nullptr && m_callback->IsCancelled()) {
            // A slow source fills a piece slowly; a cancel must not wait for it.
            m_outcome = {ShareStatus::Cancelled, ECANCELED};
            return false;
        }
        return true;
    }

    // Writes what is still gathered.
    ShareResult Finish() {
        if (m_outcome.ok() && !m_pending.empty()) {
            WritePiece(m_pending.data(), m_pending.size());
            m_pending.clear();
        }
        return m_outcome;
    }

    const ShareResult& Outcome() const { return m_outcome; }
    uint64_t BytesWritten() const { return m_written; }

private:
    bool WritePiece(const char* data, size_t size) {
        if (m_outcome = m_output.Write(data, size); !m_outcome.ok()) {
            return false;
        }
        m_written += size;
        if (m_callback != nullptr && m_callback->OnCopyProgress(m_total, m_written) != 0) {
            m_outcome = {ShareStatus::Cancelled, ECANCELED};
            return false;
        }
        return true;
    }

    CAbstractShareFile& m_output;
    CAbstractFileTransferCallback* m_callback;
    uint64_t m_total;
    size_t m_piece;
    std::vector<char> m_pending;
    ShareResult m_outcome;
    uint64_t m_written = 0;
};

} // namespace

CSambaFileTransfer::CSambaFileTransfer(std::unique_ptr<CAbstractShareSession> session,
                                       size_t chunkSize)
    : m_session(std::move(session)) {
    m_buffers.chunkSize = std::max(chunkSize, kMinimumChunkSize);
    m_buffers.current.resize(m_buffers.chunkSize);
}

TransferResult CSambaFileTransfer::Transfer(CAbstractPictureSource& source,
                                            const std::string& destination,
                                            CAbstractFileTransferCallback* callback) {
    TransferResult result;
    if (!m_session) {
        result.result = {ShareStatus::NotSupported, 0};
        return result;
    }
    PictureSourceFacts facts;
    if (result.result = source.Open(facts); !result.ok()) {
        return result;
    }
    const uint64_t totalBytes = facts.sizeKnown ? facts.size : 0;
    if (callback && callback->OnCopyProgress(totalBytes, 0) != 0) {
        result.result = {ShareStatus::Cancelled, ECANCELED};
        return result;
    }

    // Creating the temporary file reserves the final name: a wizard that finds it taken moves on
    // to the next number, as it does for a taken final name.
    const std::string temporary = TemporaryCopyPath(destination);
    std::unique_ptr<CAbstractShareFile> output;
    if (result.result = m_session->CreateNew(temporary, output); !result.ok()) {
        return result;
    }
    ShareChunkWriter writer(*output, callback, totalBytes, kProgressStep);
    const PictureReadResult read = source.ReadTo(writer, m_buffers);
    // The writer's own failure or cancel says more than the source's stop it caused.
    ShareResult outcome = writer.Outcome();
    if (outcome.ok() && !read.result.ok()) {
        outcome = read.result;
    }
    if (outcome.ok()) {
        outcome = writer.Finish();
    }
    if (outcome.ok()) {
        outcome = output->Close();
    }
    // A server that takes the whole body before it answers (a web folder) refuses it only then
    // when the temporary name was taken meanwhile: the file under it is another copy's.
    const bool temporaryTaken = outcome.status == ShareStatus::AlreadyExists;
    if (outcome.ok() && facts.sizeKnown && writer.BytesWritten() != facts.size) {
        // The source changed size while it was copied: the copy is not the picture.
        outcome = {ShareStatus::SizeMismatch, 0};
    }
    output.reset();
    if (outcome.ok()) {
        outcome = m_session->RenameNew(temporary, destination);
    }
    if (outcome.ok()) {
        result.bytes = writer.BytesWritten();
        return result;
    }
    result.result = outcome;
    // A server that went away or stopped answering would only make the user wait again: the
    // run's rollback, which waits for the server for a while, takes the temporary file.
    const bool serverGone = IsConnectionFailure(outcome.status);
    if (temporaryTaken) {
        return result;
    }
    if (const ShareResult removed = serverGone ? outcome : m_session->Remove(temporary);
        !removed.ok() && removed.status != ShareStatus::NotFound) {
        result.partialLeft = true;
        result.partialPath = temporary;
    }
    return result;
}

CWebDAVFileTransfer::CWebDAVFileTransfer(const SessionMaker& makeSession, size_t lanes)
    : CSambaFileTransfer(makeSession(), kMinimumChunkSize) {
    for (size_t lane = 0; lane < lanes && lanes > 1; ++lane) {
        if (std::unique_ptr<CAbstractShareSession> session = makeSession()) {
            m_lanes.push_back(
                std::make_unique<CSambaFileTransfer>(std::move(session), kMinimumChunkSize));
        }
    }
}

std::vector<CAbstractFileTransfer*> CWebDAVFileTransfer::Lanes() {
    std::vector<CAbstractFileTransfer*> lanes;
    for (const auto& lane : m_lanes) {
        lanes.push_back(lane.get());
    }
    return lanes.size() > 1 ? lanes : std::vector<CAbstractFileTransfer*>{};
}
