// The copy step: copies the found pictures to the server on one worker thread, numbered after the
// group name, optionally deletes the sources afterwards, and removes every copy it made when the
// run is cancelled or fails.
#pragma once

#include "wizard/transfer/FileTransfer.h"
#include "wizard/transfer/TransferProperties.h"
#include "wizard/transfer/TransferRun.h"

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class CFileTransferStep {
public:
    CFileTransferStep() = default;
    // Cancels a running worker, opens its gate and waits for it: nothing of the step, its
    // callback or its transfer is freed while the worker may use it.
    ~CFileTransferStep();
    CFileTransferStep(const CFileTransferStep&) = delete;
    CFileTransferStep& operator=(const CFileTransferStep&) = delete;

    // Owned from now on. Refused (false) while a run is under way.
    bool SetTransfer(std::unique_ptr<CAbstractFileTransfer> transfer);
    CAbstractFileTransfer* Transfer() const { return m_transfer.get(); }

    // Starts one worker thread that runs `Run`. False when a run is under way, or there is no
    // transfer or no callback. `properties` must stay alive until the run has ended.
    bool Start(CTransferProperties& properties);
    bool IsRunning() const { return m_running.load(); }
    // Waits for the worker of the last Start to end.
    void Wait();

    // One run on the calling thread; always 0.
    int Run(CTransferProperties& properties);

    // The destination paths (share paths) this run copied and kept, in copy order.
    std::vector<std::string> CopiedList() const;

    void SetCleanupPatience(std::chrono::milliseconds patience) { m_patience = patience; }

private:
    void Finish(CTransferRun& run, CAbstractFileTransferCallback& callback, bool rollback);

    std::unique_ptr<CAbstractFileTransfer> m_transfer;
    std::thread m_worker;
    std::atomic<bool> m_running{false};
    std::shared_ptr<CAbstractFileTransferCallback> m_runCallback;
    mutable std::mutex m_copiedMutex;
    std::vector<std::string> m_copied;
    std::chrono::milliseconds m_patience = CTransferRun::kDefaultCleanupPatience;
};
