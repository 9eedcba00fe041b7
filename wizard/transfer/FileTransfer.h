// The per-file copy to a server and the callback between the copying worker and the wizard's
// pages: the run gate the page closes while it asks a question, the cancel flag, and the records
// posted to the sheet.
#pragma once

#include "wizard/transfer/AsyncData.h"
#include "wizard/transfer/PictureSource.h"
#include "wizard/transfer/ShareAccess.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

// The controls of one run: its run gate and its cancel flag. Every run gets its own when it
// starts, so that a cancelled run still winding down is never resumed or un-cancelled by the run
// after it. Any thread may call any of these; a cancel is final for the run.
class CTransferRunControl {
public:
    void Cancel();
    bool IsCancelled() const { return m_cancelled.load(); }
    // Closes the gate: the worker stops at its next wait until Resume.
    void Pause();
    void Resume();
    // Worker thread: returns once the gate is open.
    void WaitForRunGate();
    // Set by the worker once the run's done notice has been given.
    void MarkEnded() { m_ended.store(true); }
    bool HasEnded() const { return m_ended.load(); }

private:
    std::mutex m_gateMutex;
    std::condition_variable m_gateOpened;
    bool m_gateOpen = true;
    std::atomic<bool> m_cancelled{false};
    std::atomic<bool> m_ended{false};
};

// What a run tells the wizard, and the page's handle on the run it started last.
class CAbstractFileTransferCallback {
public:
    CAbstractFileTransferCallback() : m_run(std::make_shared<CTransferRunControl>()) {}
    virtual ~CAbstractFileTransferCallback() = default;
    CAbstractFileTransferCallback(const CAbstractFileTransferCallback&) = delete;
    CAbstractFileTransferCallback& operator=(const CAbstractFileTransferCallback&) = delete;

    // Worker thread. The answers come from the controls of the attached run.
    virtual void OnBegin() = 0;
    virtual void OnSwitchToDelete() = 0;
    // After every piece of a file copy (and once before the first): 1 cancels this copy, 0 goes
    // on.
    virtual int OnCopyProgress(uint64_t totalBytes, uint64_t bytesTransferred) = 0;
    // Before a picture is copied (index from 1); true stops the run.
    virtual bool OnCopyFile(uint32_t total, uint32_t index, const std::string& name) = 0;
    // Before a source picture is deleted; true ends the delete pass.
    virtual bool OnDeleteFile(uint32_t total, uint32_t index, const std::string& name) = 0;
    // Once per run, on every path, when the run has ended and its rollback is done. `cancelled`
    // says whether the run ended through a cancel; `failure` why it failed, when it did;
    // `passedOver` the pictures that could not be copied and were passed over (a camera run
    // goes on after them).
    virtual void OnDone(bool cancelled, const TransferFailure& failure,
                        const PassedOver& passedOver) = 0;

    // UI thread: the controls of the attached run (the one the step started last with this
    // callback).
    virtual void Cancel();
    virtual void Pause();
    virtual void Resume();
    // Attaches fresh controls; the run that was attached keeps its own, cancel included.
    virtual void ResetCancel();

    // The step, when a run starts; any thread.
    void AttachRun(std::shared_ptr<CTransferRunControl> run);
    std::shared_ptr<CTransferRunControl> AttachedRun() const;

    // Worker thread: the attached run's gate and cancel flag.
    void WaitForRunGate();
    bool IsCancelled() const;

private:
    mutable std::mutex m_runMutex;
    std::shared_ptr<CTransferRunControl> m_run;
};

// Posts a record for every notice to the sheet through the poster it is given.
class CFileTransferCallback : public CAbstractFileTransferCallback {
public:
    // UI thread. The sheet's window queue and the sheet the records update. Null detaches:
    // records are then dropped, and once this returns no post to the previous target is under
    // way.
    void SetTarget(CAbstractAsyncDataPoster* poster, CAbstractAsyncDataSheet* sheet);

    void OnBegin() override {}
    void OnSwitchToDelete() override;
    int OnCopyProgress(uint64_t totalBytes, uint64_t bytesTransferred) override;
    bool OnCopyFile(uint32_t total, uint32_t index, const std::string& name) override;
    bool OnDeleteFile(uint32_t total, uint32_t index, const std::string& name) override;
    void OnDone(bool cancelled, const TransferFailure& failure,
                const PassedOver& passedOver) override;

private:
    template <class Record, class... Args> void Post(Args&&... args);

    std::mutex m_targetMutex;
    CAbstractAsyncDataPoster* m_poster = nullptr;
    CAbstractAsyncDataSheet* m_sheet = nullptr;
};

// The notices of one run as its worker gives them: passed on to the page's callback, answered
// from the run's own controls, whatever run the page's callback is attached to by then.
class CRunCallback final : public CAbstractFileTransferCallback {
public:
    CRunCallback(std::shared_ptr<CAbstractFileTransferCallback> page,
                 std::shared_ptr<CTransferRunControl> run);

    void OnBegin() override { m_page->OnBegin(); }
    void OnSwitchToDelete() override { m_page->OnSwitchToDelete(); }
    int OnCopyProgress(uint64_t totalBytes, uint64_t bytesTransferred) override;
    bool OnCopyFile(uint32_t total, uint32_t index, const std::string& name) override;
    bool OnDeleteFile(uint32_t total, uint32_t index, const std::string& name) override;
    void OnDone(bool cancelled, const TransferFailure& failure,
                const PassedOver& passedOver) override;

private:
    std::shared_ptr<CAbstractFileTransferCallback> m_page;
};

struct TransferResult {
    ShareResult result;
    bool partialLeft = false; // a partial file could not be removed
    std::string partialPath;  // that file's share path (a temporary name)
    uint64_t bytes = 0;       // bytes copied, when the copy succeeded

    bool ok() const { return result.ok(); }
};

// Copies one file to a server.
class CAbstractFileTransfer {
public:
    virtual ~CAbstractFileTransfer() = default;

    // Copies the picture `source` to a new file `destination` (a share path) as the source
    // streams it, reporting progress to `progress` (none: no progress, no cancel). Never
    // overwrites: a taken name fails with AlreadyExists. The name `destination` only ever holds
    // the whole picture: the bytes go under a temporary name first, which is renamed once they
    // are all there. A copy that fails or is cancelled removes what it wrote, and so does one
    // whose length differs from the size the source gave.
    virtual TransferResult Transfer(CAbstractPictureSource& source, const std::string& destination,
                                    CAbstractFileTransferCallback* progress) = 0;
    // The local file `source`.
    TransferResult Transfer(const std::string& source, const std::string& destination,
                            CAbstractFileTransferCallback* progress);
    // The local file with the callback the page set.
    TransferResult Transfer(const std::string& source, const std::string& destination);

    // The session the copies go through, for listing, creating folders and removing copies; null
    // when this transfer has none.
    virtual CAbstractShareSession* Session() = 0;

    // Further transfers to the same place that may copy at the same time as each other, each
    // on a thread of its own; none when copies go one at a time.
    virtual std::vector<CAbstractFileTransfer*> Lanes() { return {}; }

    // Set by the copying page before a run starts (UI thread); a run started afterwards posts
    // through it and keeps it alive to its end.
    void SetCallback(std::shared_ptr<CAbstractFileTransferCallback> callback);
    std::shared_ptr<CAbstractFileTransferCallback> Callback() const;

private:
    mutable std::mutex m_callbackMutex;
    std::shared_ptr<CAbstractFileTransferCallback> m_callback;
};

// Copies to an SMB share under the copy's temporary name (TemporaryCopyName), then renames it,
// writing in pieces of kProgressStep (the last one of a picture may be
// shorter), with progress after every piece. Smaller chunks from a source are gathered into whole
// pieces; a local file is read ahead in chunks of chunkSize.
class CSambaFileTransfer : public CAbstractFileTransfer {
public:
    static constexpr size_t kMinimumChunkSize = size_t(1) << 20;
    static constexpr size_t kDefaultChunkSize = size_t(4) << 20;
    // The page's bar moves at least this often, whatever the chunk size.
    static constexpr size_t kProgressStep = size_t(1) << 20;

    explicit CSambaFileTransfer(std::unique_ptr<CAbstractShareSession> session,
                                size_t chunkSize = kDefaultChunkSize);

    using CAbstractFileTransfer::Transfer;
    TransferResult Transfer(CAbstractPictureSource& source, const std::string& destination,
                            CAbstractFileTransferCallback* progress) override;
    CAbstractShareSession* Session() override { return m_session.get(); }

private:
    std::unique_ptr<CAbstractShareSession> m_session;
    PictureReadBuffers m_buffers;
};

// Copies into the user's web folder through WebDAV sessions, as to a share, with up to kLanes
// copies under way at once: each lane has a session of its own, and the run's listings, folders
// and removals go through one more. Without a session maker (a server reached through the relay
// whose web folder is not known) every copy fails.
class CWebDAVFileTransfer : public CSambaFileTransfer {
public:
    static constexpr size_t kLanes = 3;
    using SessionMaker = std::function<std::unique_ptr<CAbstractShareSession>()>;

    CWebDAVFileTransfer() : CSambaFileTransfer(nullptr, kMinimumChunkSize) {}
    explicit CWebDAVFileTransfer(const SessionMaker& makeSession, size_t lanes = kLanes);

    std::vector<CAbstractFileTransfer*> Lanes() override;

private:
    std::vector<std::unique_ptr<CSambaFileTransfer>> m_lanes;
};
