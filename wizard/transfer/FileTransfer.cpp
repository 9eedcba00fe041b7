#include "wizard/transfer/FileTransfer.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <future>

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

void CFileTransferCallback::OnDone(bool cancelled, const TransferFailure& failure) {
    Post<kvDoneCopyAsyncData>(cancelled, failure);
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

void CRunCallback::OnDone(bool cancelled, const TransferFailure& failure) {
    m_page->OnDone(cancelled, failure);
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
                                               const std::string& destination) {
    const std::shared_ptr<CAbstractFileTransferCallback> callback = Callback();
    return Transfer(source, destination, callback.get());
}

namespace {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

} // namespace

CSambaFileTransfer::CSambaFileTransfer(std::unique_ptr<CAbstractShareSession> session,
                                       size_t chunkSize)
    : m_session(std::move(session)), m_buffer(std::max(chunkSize, kMinimumChunkSize)) {}

TransferResult CSambaFileTransfer::Transfer(const std::string& source,
                                            const std::string& destination,
                                            CAbstractFileTransferCallback* callback) {
    if (!m_session) {
        return {{ShareStatus::NotSupported, 0}, false, 0};
    }

    std::error_code sizeError;
    const bool regular = std::filesystem::is_regular_file(source, sizeError);
    const uintmax_t sourceSize = regular ? std::filesystem::file_size(source, sizeError) : 0;
    FilePtr input(regular && !sizeError ? std::fopen(source.c_str(), "rb") : nullptr);
    if (!input) {
        const int error = sizeError ? sizeError.value() : (regular ? errno : EISDIR);
        return {{ShareStatus::SourceUnreadable, error}, false, 0};
    }
    // The chunks go straight from our buffer to the server.
    std::setvbuf(input.get(), nullptr, _IONBF, 0);
    const uint64_t totalBytes = static_cast<uint64_t>(sourceSize);
    if (callback && callback->OnCopyProgress(totalBytes, 0) != 0) {
        return {{ShareStatus::Cancelled, ECANCELED}, false, 0};
    }

    std::unique_ptr<CAbstractShareFile> output;
    if (ShareResult created = m_session->CreateNew(destination, output); !created.ok()) {
        return {created, false, 0};
    }

    // While one chunk goes to the server, the next one is read: the source's disk and the
    // network work at the same time.
    struct Chunk {
        size_t size = 0;
        int error = 0;
    };
    auto readInto = [&input](std::vector<char>& buffer) {
        Chunk chunk;
        chunk.size = std::fread(buffer.data(), 1, buffer.size(), input.get());
        if (chunk.size == 0 && std::ferror(input.get())) {
            chunk.error = errno != 0 ? errno : EIO;
        }
        return chunk;
    };
    std::vector<char>* current = &m_buffer;
    std::vector<char>* ahead = &m_aheadBuffer;
    ShareResult outcome;
    uint64_t bytesDone = 0;
    Chunk chunk = readInto(*current);
    while (chunk.size > 0) {
        std::future<Chunk> next;
        if (chunk.size == current->size()) {
            ahead->resize(current->size());
            next = std::async(std::launch::async, readInto, std::ref(*ahead));
        }
        // The large chunk keeps the source's disk busy; the pieces keep the page's bar moving
        // and let a cancel in before the whole chunk is out.
        for (size_t offset = 0; offset < chunk.size && outcome.ok();) {
            const size_t piece = std::min(kProgressStep, chunk.size - offset);
            if (outcome = output->Write(current->data() + offset, piece); !outcome.ok()) {
                break;
            }
            offset += piece;
            bytesDone += piece;
            if (callback && callback->OnCopyProgress(totalBytes, bytesDone) != 0) {
                outcome = {ShareStatus::Cancelled, ECANCELED};
            }
        }
        if (!outcome.ok()) {
            break; // the read ahead is waited for as `next` goes
        }
        chunk = next.valid() ? next.get() : Chunk{};
        std::swap(current, ahead);
    }
    if (outcome.ok() && chunk.error != 0) {
        outcome = {ShareStatus::SourceUnreadable, chunk.error};
    }
    if (outcome.ok()) {
        outcome = output->Close();
    }
    if (outcome.ok() && bytesDone != totalBytes) {
        // The source changed size while it was copied: the copy is not the picture.
        outcome = {ShareStatus::SizeMismatch, 0};
    }
    output.reset();
    if (outcome.ok()) {
        return {{}, false, bytesDone};
    }
    const ShareResult removed = m_session->Remove(destination);
    return {outcome, !removed.ok() && removed.status != ShareStatus::NotFound, 0};
}
