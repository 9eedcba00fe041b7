// The copy step: copies the pictures of a run to the server on a worker thread, numbered after
// the group name, optionally deletes the originals afterwards, and removes every copy it made when
// the run is cancelled or fails. A run that keeps its copies records them, just before it reports
// its end; pictures whose copies are already on the server are left out. The pictures are the found
// set of a folder, or in camera mode those of the camera the run's properties name; the run is the
// same for both.
//
// Threads: Start, Run, Wait, CancelAll, SetTransfer, Transfer and the destructor belong to the UI
// thread (the thread that owns the step); IsRunning and CopiedList may be called from any thread.
// The page controls a run through the controls Start returns, or through the transfer's callback,
// whose Pause, Cancel and Resume act on the run started last.
#pragma once

#include "wizard/transfer/FileTransfer.h"
#include "wizard/transfer/PictureSet.h"
#include "wizard/transfer/TransferProperties.h"
#include "wizard/transfer/TransferRun.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class CFileTransferStep {
public:
    CFileTransferStep() = default;
    // Cancels every run that has not ended, opens its gate and waits for its worker: nothing of
    // the step, a callback or a transfer is freed while a worker may use it.
    virtual ~CFileTransferStep();
    CFileTransferStep(const CFileTransferStep&) = delete;
    CFileTransferStep& operator=(const CFileTransferStep&) = delete;

    // Owned from now on, and used by the runs started afterwards; a run already started keeps
    // the transfer it started with until it ends.
    void SetTransfer(std::unique_ptr<CAbstractFileTransfer> transfer);
    CAbstractFileTransfer* Transfer() const { return m_transfer.get(); }

    // How a run in camera mode gets its pictures; a camera run without it fails at once, before
    // anything reaches the server. Used by the runs started afterwards.
    void SetCameraPictures(CameraPictureSetMaker maker) { m_cameraPictures = std::move(maker); }

    // Starts a run on a worker thread of its own with a copy of `properties` and of its found
    // set taken now, reporting through the transfer's callback, and attaches the run's fresh
    // controls to that callback. A run started before this one and not yet ended (a cancelled
    // one rolling back) ends first; this one waits for it, then runs. Never throws. Every run
    // started gives exactly one done notice; one whose thread cannot be made gives it at once,
    // as a failure. Null only when there is no transfer or it has no callback.
    std::shared_ptr<CTransferRunControl> Start(const CTransferProperties& properties);

    // A run started has not ended yet.
    bool IsRunning() const { return m_active.load() > 0; }
    // Waits until every run started has ended and its worker is gone.
    void Wait();
    // Cancels every run that has not ended and opens its gate; they end (a run in its delete
    // pass keeps its copies) without further notice from the page.
    void CancelAll();

    // One run on the calling thread, after every run started before it has ended, with the
    // same controls and notices as a started run; `properties` gets the run's last number and
    // total. Always 0.
    int Run(CTransferProperties& properties);

    // The destination paths (share paths) that the last run to end copied and kept, in copy
    // order.
    std::vector<std::string> CopiedList() const;

    void SetCleanupPatience(std::chrono::milliseconds patience) { m_patience = patience; }

protected:
    // Makes the worker thread of a run. May throw (std::system_error when the system has no
    // thread to give).
    virtual std::thread MakeWorker(std::function<void()> body);

private:
    struct Job;
    struct Ending {
        bool cancelled = false;
        bool keepCopies = false;
        PassedOver passedOver = {};
    };

    std::shared_ptr<Job> MakeJob(const CTransferProperties& properties);
    void Execute(Job& job);
    Ending CopyAndDelete(Job& job, CTransferRun& run);
    // The originals of the pictures left out as already on the server whose copies the server
    // still shows now, in the found set's order.
    std::vector<const FoundPicture*> ConfirmAlreadyThere(const Job& job) const;
    // Takes out of the run's set the files whose recorded copies the server holds, when the
    // plan says so: one listing per folder of those copies.
    static void LeaveOutCopiesThere(Job& job);
    // The files left out whose copies the server still shows now, by the set's left-out indexes.
    std::vector<size_t> ConfirmLeftOut(const Job& job) const;
    // Notes the facts the run's set gives of its files, for the record.
    static void NoteSetFacts(Job& job);
    // Records the run's copies that passed their read-back, all in one transaction.
    static void RecordCopies(const Job& job, const CTransferRun& run);

    std::shared_ptr<CAbstractFileTransfer> m_transfer;
    CameraPictureSetMaker m_cameraPictures;
    // The worker of the last run started; each worker first waits for the one started before it.
    std::thread m_worker;
    std::atomic<int> m_active{0};
    std::mutex m_runsMutex;
    std::vector<std::shared_ptr<CTransferRunControl>> m_runs; // not ended, oldest first
    mutable std::mutex m_copiedMutex;
    std::vector<std::string> m_copied;
    std::chrono::milliseconds m_patience = CTransferRun::kDefaultCleanupPatience;
};
