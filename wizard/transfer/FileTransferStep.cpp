#include "wizard/transfer/FileTransferStep.h"

#include "wizard/transfer/TransferNaming.h"

#include <cstdio>
#include <filesystem>

CFileTransferStep::~CFileTransferStep() {
    if (m_worker.joinable()) {
        if (IsRunning() && m_runCallback) {
            m_runCallback->Cancel();
            m_runCallback->Resume();
        }
        m_worker.join();
    }
}

bool CFileTransferStep::SetTransfer(std::unique_ptr<CAbstractFileTransfer> transfer) {
    if (IsRunning()) {
        return false;
    }
    Wait();
    m_transfer = std::move(transfer);
    return true;
}

bool CFileTransferStep::Start(CTransferProperties& properties) {
    if (IsRunning() || !m_transfer) {
        return false;
    }
    Wait();
    m_runCallback = m_transfer->Callback();
    if (!m_runCallback) {
        return false;
    }
    m_running.store(true);
    m_worker = std::thread([this, &properties] {
        Run(properties);
        m_running.store(false);
    });
    return true;
}

void CFileTransferStep::Wait() {
    if (m_worker.joinable()) {
        m_worker.join();
    }
}

std::vector<std::string> CFileTransferStep::CopiedList() const {
    std::lock_guard lock(m_copiedMutex);
    return m_copied;
}

void CFileTransferStep::Finish(CTransferRun& run, CAbstractFileTransferCallback& callback,
                               bool rollback) {
    if (rollback) {
        run.DeleteCopies();
    } else {
        std::lock_guard lock(m_copiedMutex);
        for (const CTransferRun::Copy& copy : run.Copies()) {
            m_copied.push_back(copy.path);
        }
    }
    callback.OnDone(run.Failure());
}

int CFileTransferStep::Run(CTransferProperties& properties) {
    const std::shared_ptr<CAbstractFileTransferCallback> callback =
        m_transfer ? m_transfer->Callback() : nullptr;
    {
        std::lock_guard lock(m_copiedMutex);
        m_copied.clear();
    }
    if (!callback) {
        return 0;
    }
    CTransferRun run(*m_transfer, *callback, properties);
    run.SetCleanupPatience(m_patience);
    run.Prepare();
    if (!properties.cameraMode) {
        properties.total =
            properties.pictures != nullptr ? static_cast<uint32_t>(properties.pictures->size()) : 0;
    }
    callback->OnBegin();

    static const FoundSet kNoPictures;
    const FoundSet& pictures = properties.pictures != nullptr ? *properties.pictures : kNoPictures;
    uint32_t index = 0;
    for (const FoundPicture& picture : pictures) {
        ++index;
        if (run.CopyPicture(picture.FullPath(), FileExtension(picture.name), index) !=
            CTransferRun::CopyOutcome::Copied) {
            Finish(run, *callback, true);
            return 0;
        }
    }
    // The sources may only go once every copy is known to be whole on the server.
    if (!run.VerifyCopies()) {
        Finish(run, *callback, true);
        return 0;
    }
    if (properties.deleteAfterCopy) {
        callback->WaitForRunGate();
        if (callback->IsCancelled()) {
            Finish(run, *callback, true);
            return 0;
        }
        callback->OnSwitchToDelete();
        index = 0;
        for (const FoundPicture& picture : pictures) {
            ++index;
            callback->WaitForRunGate();
            if (callback->IsCancelled()) {
                break;
            }
            callback->WaitForRunGate();
            if (callback->OnDeleteFile(properties.total, index, picture.name)) {
                break;
            }
            const std::string source = picture.FullPath();
            std::error_code error;
            if (!std::filesystem::remove(source, error)) {
                std::printf("Cannot delete %s: %s\n", source.c_str(),
                            error ? error.message().c_str() : "it is gone");
            }
        }
    }
    Finish(run, *callback, false);
    return 0;
}
