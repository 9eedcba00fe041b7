#include "wizard/transfer/FileTransferStep.h"

#include "wizard/transfer/TransferNaming.h"

#include <cerrno>
#include <cstdio>
#include <new>
#include <optional>
#include <system_error>

// What one run works on, taken when it starts: later changes to the sheet's properties, its
// found set or the step's transfer do not reach a run under way.
struct CFileTransferStep::Job {
    FoundSet pictures;
    std::unique_ptr<CAbstractPictureSet> set; // over `pictures`, or the camera's
    CTransferProperties properties;
    std::shared_ptr<CAbstractFileTransfer> transfer;
    std::shared_ptr<CTransferRunControl> control;
    std::shared_ptr<CRunCallback> callback;
    std::chrono::milliseconds patience{};
};

CFileTransferStep::~CFileTransferStep() {
    CancelAll();
    Wait();
}

void CFileTransferStep::SetTransfer(std::unique_ptr<CAbstractFileTransfer> transfer) {
    m_transfer = std::move(transfer);
}

std::thread CFileTransferStep::MakeWorker(std::function<void()> body) {
    return std::thread(std::move(body));
}

std::shared_ptr<CFileTransferStep::Job>
CFileTransferStep::MakeJob(const CTransferProperties& properties) {
    std::shared_ptr<CAbstractFileTransferCallback> page =
        m_transfer ? m_transfer->Callback() : nullptr;
    if (!page) {
        return nullptr;
    }
    auto job = std::make_shared<Job>();
    if (properties.pictures != nullptr) {
        job->pictures = *properties.pictures;
    }
    job->properties = properties;
    job->properties.pictures = &job->pictures;
    if (!properties.cameraMode) {
        job->set = std::make_unique<CFoundPictureSet>(job->pictures);
    } else if (m_cameraPictures) {
        job->set = m_cameraPictures(properties.cameraDeviceId);
    }
    job->transfer = m_transfer;
    job->control = std::make_shared<CTransferRunControl>();
    job->callback = std::make_shared<CRunCallback>(page, job->control);
    job->patience = m_patience;
    {
        std::lock_guard lock(m_runsMutex);
        std::erase_if(m_runs, [](const auto& run) { return run->HasEnded(); });
        m_runs.push_back(job->control);
    }
    m_active.fetch_add(1);
    page->AttachRun(job->control);
    return job;
}

std::shared_ptr<CTransferRunControl>
CFileTransferStep::Start(const CTransferProperties& properties) {
    std::shared_ptr<Job> job;
    try {
        job = MakeJob(properties);
    } catch (const std::exception& error) {
        // Without memory for the job there is nothing to report through either.
        std::printf("Cannot start the copy run: %s\n", error.what());
        return nullptr;
    }
    if (!job) {
        return nullptr;
    }
    // Held apart from the worker's body, so that the earlier worker is not lost (nor destroyed
    // unjoined) when the new thread cannot be made.
    auto previous = std::make_shared<std::thread>(std::move(m_worker));
    try {
        m_worker = MakeWorker([this, job, previous] {
            if (previous->joinable()) {
                previous->join();
            }
            Execute(*job);
        });
    } catch (const std::exception& error) {
        m_worker = std::move(*previous);
        std::printf("Cannot start the copy worker: %s\n", error.what());
        const auto* system = dynamic_cast<const std::system_error*>(&error);
        const int code = system != nullptr ? system->code().value() : ENOMEM;
        job->callback->OnDone(false, {ShareStatus::Failed, code != 0 ? code : EAGAIN, {}, {}, 0},
                              {});
        job->control->MarkEnded();
        m_active.fetch_sub(1);
    }
    return job->control;
}

void CFileTransferStep::Wait() {
    if (m_worker.joinable()) {
        m_worker.join();
    }
}

void CFileTransferStep::CancelAll() {
    std::lock_guard lock(m_runsMutex);
    // Every run is cancelled before any is let go: one let go could end at once and let the run
    // queued behind it start before its cancel came.
    for (const std::shared_ptr<CTransferRunControl>& run : m_runs) {
        run->Cancel();
    }
    for (const std::shared_ptr<CTransferRunControl>& run : m_runs) {
        run->Resume();
    }
}

int CFileTransferStep::Run(CTransferProperties& properties) {
    std::shared_ptr<Job> job;
    try {
        job = MakeJob(properties);
    } catch (const std::exception& error) {
        std::printf("Cannot start the copy run: %s\n", error.what());
    }
    Wait();
    if (!job) {
        std::lock_guard lock(m_copiedMutex);
        m_copied.clear();
        return 0;
    }
    Execute(*job);
    properties.number = job->properties.number;
    properties.total = job->properties.total;
    return 0;
}

std::vector<std::string> CFileTransferStep::CopiedList() const {
    std::lock_guard lock(m_copiedMutex);
    return m_copied;
}

void CFileTransferStep::Execute(Job& job) {
    {
        std::lock_guard lock(m_copiedMutex);
        m_copied.clear();
    }
    bool cancelled = false;
    PassedOver passedOver;
    TransferFailure failure;
    std::optional<CTransferRun> run;
    try {
        run.emplace(*job.transfer, *job.callback, job.properties);
        run->SetCleanupPatience(job.patience);
        const Ending ending = CopyAndDelete(job, *run);
        cancelled = ending.cancelled;
        passedOver = ending.passedOver;
        if (ending.keepCopies) {
            std::vector<std::string> kept;
            for (const CTransferRun::Copy& copy : run->Copies()) {
                kept.push_back(copy.path);
            }
            {
                std::lock_guard lock(m_copiedMutex);
                m_copied = std::move(kept);
            }
            // A picture passed over may have left a piece of itself behind.
            run->RemovePartials();
        } else {
            run->DeleteCopies();
        }
        failure = run->Failure();
        // The camera goes before the page hears of the end, so that it is free again by then.
        job.set.reset();
    } catch (const std::exception& error) {
        // The worker is where the run ends; nothing may leave it, and what it copied goes.
        std::printf("The copy run stopped: %s\n", error.what());
        const bool memory = dynamic_cast<const std::bad_alloc*>(&error) != nullptr;
        failure = {ShareStatus::Failed, memory ? ENOMEM : 0, {}, {}, 0};
        if (run) {
            try {
                run->DeleteCopies();
                failure.leftBehind = run->Failure().leftBehind;
            } catch (const std::exception&) {
                failure.leftBehind = static_cast<int>(run->Copies().size());
            }
        }
    }
    try {
        job.set.reset();
        job.callback->OnDone(cancelled, failure, passedOver);
    } catch (const std::exception& error) {
        std::printf("Cannot report the end of the copy run: %s\n", error.what());
    }
    job.control->MarkEnded();
    m_active.fetch_sub(1);
}

CFileTransferStep::Ending CFileTransferStep::CopyAndDelete(Job& job, CTransferRun& run) {
    CTransferProperties& properties = job.properties;
    CAbstractFileTransferCallback& callback = *job.callback;
    CTransferRunControl& control = *job.control;
    // A run cancelled while it waited for the one before it leaves the server alone.
    if (control.IsCancelled()) {
        return {true, false};
    }
    if (!job.set) {
        std::printf("No way to reach the camera %s\n", properties.cameraDeviceId.c_str());
        run.SetFailure({ShareStatus::NotSupported, 0, properties.cameraDeviceId, {}, 0});
        return {false, false};
    }
    CAbstractPictureSet& set = *job.set;
    if (TransferFailure opened = set.Open(); opened.Failed()) {
        run.SetFailure(opened);
        return {false, false};
    }
    run.Prepare();
    properties.total = set.Total();
    callback.OnBegin();

    std::vector<size_t> copied; // in the order of the run's copies
    PassedOver passedOver;
    std::optional<Ending> ended;
    run.CopyPictures(set, [&](size_t picture, CTransferRun::CopyOutcome outcome) {
        switch (outcome) {
        case CTransferRun::CopyOutcome::Copied:
            copied.push_back(picture);
            return true;
        case CTransferRun::CopyOutcome::Stopped:
            ended = Ending{true, false, passedOver};
            return false;
        case CTransferRun::CopyOutcome::Failed:
            if (!set.PassesOver(run.Failure())) {
                ended = Ending{false, false, passedOver};
                return false;
            }
            if (passedOver.count++ == 0) {
                passedOver.first = run.Failure();
            }
            run.ForgetFailure();
            return true;
        }
        return true;
    });
    if (ended) {
        return *ended;
    }
    if (passedOver.count > 0 && copied.empty()) {
        // Nothing arrived: the run failed, for the reason of its first picture, however many
        // it passed over.
        run.SetFailure(passedOver.first);
        return {false, false, passedOver};
    }
    // Originals go only when every one of them has its copy: a run that passed over a picture
    // deletes none.
    const bool deleting =
        properties.deleteAfterCopy && passedOver.count == 0 && copied.size() == set.Count();
    // Reading the copies back only guards the delete: when the originals stay, a listing that
    // fails must not take good copies away.
    if (deleting && !run.VerifyCopies()) {
        return {false, false, passedOver};
    }
    // A cancel confirmed while the last picture was copied still takes the run back.
    callback.WaitForRunGate();
    if (control.IsCancelled()) {
        return {true, false, passedOver};
    }
    if (!deleting) {
        return {false, true, passedOver};
    }
    const std::vector<CTransferRun::Copy>& copies = run.Copies();
    for (size_t index = 0; index < copied.size(); ++index) {
        if (!set.CopyStandsIn(copied[index], copies[index].size, copies[index].listedSize)) {
            std::printf("The copy %s cannot stand in for %s: no original is deleted\n",
                        copies[index].path.c_str(), copies[index].source.c_str());
            return {false, true, passedOver};
        }
    }
    callback.OnSwitchToDelete();
    for (size_t index = 0; index < copied.size(); ++index) {
        const size_t picture = copied[index];
        callback.WaitForRunGate();
        if (control.IsCancelled()) {
            return {true, true, passedOver};
        }
        callback.WaitForRunGate();
        if (callback.OnDeleteFile(properties.total, set.NumberOf(picture), set.NameOf(picture))) {
            return {true, true, passedOver};
        }
        const CAbstractPictureSet::DeleteOutcome outcome = set.DeleteOriginal(picture);
        if (outcome == CAbstractPictureSet::DeleteOutcome::Kept) {
            ++passedOver.originalsKept;
        } else if (outcome == CAbstractPictureSet::DeleteOutcome::KeptAndStop) {
            passedOver.originalsKept += static_cast<uint32_t>(copied.size() - index);
            break;
        }
    }
    return {false, true, passedOver};
}
