// The per-file copy to a server and the callback between the copying worker and the wizard's
// pages: the run gate the page closes while it asks a question, the cancel flag, and the records
// posted to the sheet.
#pragma once

#include "wizard/transfer/AsyncData.h"
#include "wizard/transfer/ShareAccess.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class CAbstractFileTransferCallback {
public:
    CAbstractFileTransferCallback() = default;
    virtual ~CAbstractFileTransferCallback() = default;
    CAbstractFileTransferCallback(const CAbstractFileTransferCallback&) = delete;
    CAbstractFileTransferCallback& operator=(const CAbstractFileTransferCallback&) = delete;

    virtual void OnBegin() = 0;
    virtual void OnSwitchToDelete() = 0;
    // After every chunk of a file copy (and once before the first): 1 cancels this copy, 0 goes
    // on.
    virtual int OnCopyProgress(uint64_t totalBytes, uint64_t bytesTransferred) = 0;
    // Before a picture is copied (index from 1); true stops the run.
    virtual bool OnCopyFile(uint32_t total, uint32_t index, const std::string& name) = 0;
    // Before a source picture is deleted; true ends the delete pass.
    virtual bool OnDeleteFile(uint32_t total, uint32_t index, const std::string& name) = 0;
    // Once per run, on every path, when the run has ended and its rollback is done.
    virtual void OnDone(const TransferFailure& failure) = 0;

    // UI thread: the cancel flag and the run gate. The worker waits at the gate before every
    // picture and every notice; a paused run stops there until Resume.
    virtual void Cancel();
    virtual void Pause();
    virtual void Resume();
    virtual void ResetCancel();

    // Worker thread.
    void WaitForRunGate();
    bool IsCancelled() const { return m_cancelled.load(); }

private:
    std::mutex m_gateMutex;
    std::condition_variable m_gateOpened;
    bool m_gateOpen = true;
    std::atomic<bool> m_cancelled{false};
};

// Posts a record for every notice to the sheet through the poster it is given.
class CFileTransferCallback : public CAbstractFileTransferCallback {
public:
    // The sheet's window queue and the sheet the records update. Null detaches: records are then
    // dropped, and once this returns no post to the previous target is under way.
    void SetTarget(CAbstractAsyncDataPoster* poster, CAbstractAsyncDataSheet* sheet);

    void OnBegin() override {}
    void OnSwitchToDelete() override;
    int OnCopyProgress(uint64_t totalBytes, uint64_t bytesTransferred) override;
    bool OnCopyFile(uint32_t total, uint32_t index, const std::string& name) override;
    bool OnDeleteFile(uint32_t total, uint32_t index, const std::string& name) override;
    void OnDone(const TransferFailure& failure) override;

private:
    template <class Record, class... Args> void Post(Args&&... args);

    std::mutex m_targetMutex;
    CAbstractAsyncDataPoster* m_poster = nullptr;
    CAbstractAsyncDataSheet* m_sheet = nullptr;
};

struct TransferResult {
    ShareResult result;
    bool partialLeft = false; // a partial destination file could not be removed
    uint64_t bytes = 0;       // bytes copied, when the copy succeeded

    bool ok() const { return result.ok(); }
};

// Copies one file to a server.
class CAbstractFileTransfer {
public:
    virtual ~CAbstractFileTransfer() = default;

    // Copies the local file `source` to a new file `destination` (a share path). Never
    // overwrites: a taken name fails with AlreadyExists. A copy that fails or is cancelled
    // removes what it wrote.
    virtual TransferResult Transfer(const std::string& source, const std::string& destination) = 0;

    // The session the copies go through, for listing, creating folders and removing copies; null
    // when this transfer has none.
    virtual CAbstractShareSession* Session() = 0;

    // Set by the copying page before a run starts; shared with the running worker, which keeps
    // it alive to the end of the run.
    void SetCallback(std::shared_ptr<CAbstractFileTransferCallback> callback);
    std::shared_ptr<CAbstractFileTransferCallback> Callback() const;

private:
    mutable std::mutex m_callbackMutex;
    std::shared_ptr<CAbstractFileTransferCallback> m_callback;
};

// Copies to an SMB share in chunks, reporting progress after every chunk.
class CSambaFileTransfer : public CAbstractFileTransfer {
public:
    static constexpr size_t kMinimumChunkSize = size_t(1) << 20;
    static constexpr size_t kDefaultChunkSize = size_t(4) << 20;

    explicit CSambaFileTransfer(std::unique_ptr<CAbstractShareSession> session,
                                size_t chunkSize = kDefaultChunkSize);

    TransferResult Transfer(const std::string& source, const std::string& destination) override;
    CAbstractShareSession* Session() override { return m_session.get(); }

private:
    std::unique_ptr<CAbstractShareSession> m_session;
    std::vector<char> m_buffer;
    std::vector<char> m_aheadBuffer;
};

// Servers reached through the relay take no files: every copy fails.
class CWebDAVFileTransfer : public CAbstractFileTransfer {
public:
    TransferResult Transfer(const std::string&, const std::string&) override {
        return {{ShareStatus::NotSupported, 0}, false, 0};
    }
    CAbstractShareSession* Session() override { return nullptr; }
};
