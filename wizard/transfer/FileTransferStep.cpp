#include "wizard/transfer/FileTransferStep.h"

#include "wizard/search/MediaGroups.h"
#include "wizard/transfer/TransferNaming.h"

#include "common/files/RegularFile.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <map>
#include <new>
#include <optional>
#include <system_error>

namespace {

// The file is still as it was described: same size, same modification time.
bool SourceUnchanged(const std::string& path, const SourceFacts& facts) {
    uint64_t size = 0;
    int64_t modified = 0;
    return RegularFileFacts(path, size, modified) && size == facts.size &&
           modified == facts.modified;
}

const SourceFacts* FactsIn(const std::map<std::string, SourceFacts>& facts,
                           const std::string& source) {
    const auto found = facts.find(source);
    return found == facts.end() ? nullptr : &found->second;
}

} // namespace

// What one run works on, taken when it starts: later changes to the sheet's properties, its
// found set or the step's transfer do not reach a run under way.
struct CFileTransferStep::Job {
    FoundSet pictures;
    FoundSet alreadyThere;                    // left out: their copies are on the server
    std::unique_ptr<CAbstractPictureSet> set; // over `pictures`, or the camera's
    // The facts the set gives of its files (a camera's, once it is listed), by the description
    // of their sources, as the run's copies name them.
    std::map<std::string, SourceFacts> setFacts;
    // The copies on the server of the files the set left out, by the set's left-out indexes.
    std::vector<KnownCopy> leftOut;
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
    if (const RecordPlan* plan = properties.recordPlan.get();
        plan != nullptr && !properties.cameraMode) {
        for (auto picture = job->pictures.begin(); picture != job->pictures.end();) {
            if (plan->alreadyThere.count(picture->FullPath()) != 0) {
                job->alreadyThere.insert(*picture);
                picture = job->pictures.erase(picture);
            } else {
                ++picture;
            }
        }
    }
    if (!properties.cameraMode) {
        job->set = std::make_unique<CFoundPictureSet>(job->pictures, properties.copyVideos);
    } else if (m_cameraPictures) {
        job->set = m_cameraPictures(properties.cameraDeviceId, properties.copyVideos);
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
            // Recorded before the end is reported, and only for copies that stay: a run that
            // is taken back never reaches this.
            RecordCopies(job, *run);
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
    LeaveOutCopiesThere(job);
    NoteSetFacts(job);
    run.Prepare();
    properties.total = set.Total();
    callback.OnBegin();

    std::vector<size_t> copied; // in the order of the run's copies
    PassedOver passedOver;
    // Pictures, with their files together, as the pages count them.
    passedOver.alreadyThere = static_cast<uint32_t>(
        GroupFoundPictures(job.alreadyThere, true).size() + job.leftOut.size());
    // A failed copy that the set passes over is counted and the run goes on; false when the
    // failure ends the run.
    const auto passOver = [&] {
        if (!set.PassesOver(run.Failure())) {
            return false;
        }
        if (passedOver.count++ == 0) {
            passedOver.first = run.Failure();
        }
        run.ForgetFailure();
        return true;
    };
    const bool atOnce = run.CopiesAtOnce(set);
    if (atOnce) {
        std::optional<Ending> ended;
        run.CopyPictures(set, [&](size_t picture, CTransferRun::CopyOutcome outcome) {
            switch (outcome) {
            case CTransferRun::CopyOutcome::Copied:
                copied.push_back(picture);
                return true;
            case CTransferRun::CopyOutcome::Stopped:
            case CTransferRun::CopyOutcome::NameTaken:
                ended = Ending{true, false, passedOver};
                return false;
            case CTransferRun::CopyOutcome::Failed:
                if (!passOver()) {
                    ended = Ending{false, false, passedOver};
                    return false;
                }
                return true;
            }
            return true;
        });
        if (ended) {
            return *ended;
        }
    }
    // The picture under way: its first file, and how many of its files are copied so far.
    size_t pictureStart = 0;
    size_t pictureCopies = 0;
    PassedOver passedBeforePicture;
    int moves = 0;
    for (size_t picture = 0; !atOnce && picture < set.Count(); ++picture) {
        if (set.StartsPicture(picture)) {
            pictureStart = picture;
            pictureCopies = 0;
            passedBeforePicture = passedOver;
        }
        const std::unique_ptr<CAbstractPictureSource> source = set.Source(picture);
        switch (run.CopyPicture(*source, set.NumberOf(picture), pictureCopies > 0)) {
        case CTransferRun::CopyOutcome::Copied:
            copied.push_back(picture);
            ++pictureCopies;
            break;
        case CTransferRun::CopyOutcome::NameTaken:
            if (++moves > CTransferRun::kMaxNameTries) {
                run.SetFailure({ShareStatus::AlreadyExists, EEXIST, source->Describe(), {}, 0});
                return {false, false, passedOver};
            }
            // The picture starts again under the next free number, all of its files.
            run.TakeBackLast(pictureCopies);
            copied.resize(copied.size() - pictureCopies);
            pictureCopies = 0;
            passedOver = passedBeforePicture;
            // Wraps round for the first picture; the loop's step brings it back to 0.
            picture = pictureStart - 1;
            break;
        case CTransferRun::CopyOutcome::Stopped:
            return {true, false, passedOver};
        case CTransferRun::CopyOutcome::Failed:
            if (!passOver()) {
                return {false, false, passedOver};
            }
            break;
        }
    }
    for (size_t index = 0; index < copied.size(); ++index) {
        if (index == 0 || set.NumberOf(copied[index]) != set.NumberOf(copied[index - 1])) {
            ++(set.IsVideo(copied[index]) ? passedOver.videosCopied : passedOver.picturesCopied);
        }
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
    // Reading the copies back guards the delete. When the originals stay, a listing that fails
    // must not take good copies away: it only keeps them out of the record.
    if (deleting && !run.VerifyCopies()) {
        return {false, false, passedOver};
    }
    if (!deleting && properties.recordPlan && properties.recordPlan->record &&
        !run.Copies().empty() && !run.ReadBackCopies()) {
        std::printf("The copies could not be read back; they are not recorded\n");
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
    // Pictures already on the server go with the others, once the server shows their copies
    // again now; those it does not stay.
    const std::vector<const FoundPicture*> confirmed = ConfirmAlreadyThere(job);
    const std::vector<size_t> confirmedLeftOut = ConfirmLeftOut(job);
    const uint32_t deleteTotal =
        properties.total + static_cast<uint32_t>(confirmed.size() + confirmedLeftOut.size());
    callback.OnSwitchToDelete();
    for (size_t index = 0; index < copied.size(); ++index) {
        const size_t picture = copied[index];
        callback.WaitForRunGate();
        if (control.IsCancelled()) {
            return {true, true, passedOver};
        }
        callback.WaitForRunGate();
        if (callback.OnDeleteFile(deleteTotal, set.NumberOf(picture), set.NameOf(picture))) {
            return {true, true, passedOver};
        }
        const CAbstractPictureSet::DeleteOutcome outcome = set.DeleteOriginal(picture);
        if (outcome == CAbstractPictureSet::DeleteOutcome::Kept) {
            ++passedOver.originalsKept;
        } else if (outcome == CAbstractPictureSet::DeleteOutcome::KeptAndStop) {
            passedOver.originalsKept += static_cast<uint32_t>(copied.size() - index);
            return {false, true, passedOver};
        }
    }
    FoundSet there;
    for (const FoundPicture* picture : confirmed) {
        there.insert(*picture);
    }
    CFoundPictureSet originals(there);
    for (size_t index = 0; index < originals.Count(); ++index) {
        callback.WaitForRunGate();
        if (control.IsCancelled()) {
            return {true, true, passedOver};
        }
        if (callback.OnDeleteFile(deleteTotal, properties.total + uint32_t(index) + 1,
                                  originals.NameOf(index))) {
            return {true, true, passedOver};
        }
        if (originals.DeleteOriginal(index) != CAbstractPictureSet::DeleteOutcome::Deleted) {
            ++passedOver.originalsKept;
        }
    }
    const uint32_t deletedBefore = properties.total + static_cast<uint32_t>(confirmed.size());
    for (size_t index = 0; index < confirmedLeftOut.size(); ++index) {
        const size_t file = confirmedLeftOut[index];
        callback.WaitForRunGate();
        if (control.IsCancelled()) {
            return {true, true, passedOver};
        }
        if (callback.OnDeleteFile(deleteTotal, deletedBefore + uint32_t(index) + 1,
                                  set.LeftOutNameOf(file))) {
            return {true, true, passedOver};
        }
        const CAbstractPictureSet::DeleteOutcome outcome = set.DeleteLeftOut(file);
        if (outcome == CAbstractPictureSet::DeleteOutcome::Kept) {
            ++passedOver.originalsKept;
        } else if (outcome == CAbstractPictureSet::DeleteOutcome::KeptAndStop) {
            passedOver.originalsKept += static_cast<uint32_t>(confirmedLeftOut.size() - index);
            return {false, true, passedOver};
        }
    }
    return {false, true, passedOver};
}

void CFileTransferStep::LeaveOutCopiesThere(Job& job) {
    const RecordPlan* plan = job.properties.recordPlan.get();
    CAbstractShareSession* session = job.transfer->Session();
    if (plan == nullptr || !plan->record || !plan->leaveOutCopiesThere || session == nullptr) {
        return;
    }
    CAbstractPictureSet& set = *job.set;
    std::vector<size_t> files;
    std::vector<SourceFacts> facts;
    for (size_t file = 0; file < set.Count(); ++file) {
        if (SourceFacts known = set.FactsOf(file); known.identity.Known()) {
            files.push_back(file);
            facts.push_back(std::move(known));
        }
    }
    if (facts.empty()) {
        return;
    }
    const std::vector<std::vector<CopyEntry>> recorded =
        plan->record->Find(plan->server, LibraryShareOf(job.properties), facts);
    // The server is asked only when the record knows one of the files.
    if (std::all_of(recorded.begin(), recorded.end(),
                    [](const std::vector<CopyEntry>& copies) { return copies.empty(); })) {
        return;
    }
    std::vector<KnownCopy> there = ConfirmKnownCopies(*session, recorded);
    std::vector<size_t> leaving;
    for (KnownCopy& copy : there) {
        leaving.push_back(files[copy.picture]);
        copy.picture = leaving.size() - 1;
    }
    if (leaving.empty() || !set.LeaveOut(leaving)) {
        return;
    }
    job.leftOut = std::move(there);
    std::printf("Already on the server: %u of %u file(s)\n", unsigned(job.leftOut.size()),
                unsigned(set.Count() + job.leftOut.size()));
}

std::vector<size_t> CFileTransferStep::ConfirmLeftOut(const Job& job) const {
    std::vector<size_t> confirmed;
    CAbstractShareSession* session = job.transfer->Session();
    if (job.leftOut.empty() || session == nullptr) {
        return confirmed;
    }
    std::vector<size_t> files;
    std::vector<std::vector<CopyEntry>> recorded;
    for (size_t file = 0; file < job.leftOut.size() && file < job.set->LeftOutCount(); ++file) {
        // Only a copy as long as its original may stand in for it.
        if (job.set->LeftOutFactsOf(file).size != job.leftOut[file].size) {
            continue;
        }
        CopyEntry entry;
        entry.destination = job.leftOut[file].destination;
        entry.copiedSize = job.leftOut[file].size;
        files.push_back(file);
        recorded.push_back({entry});
    }
    for (const KnownCopy& copy : ConfirmKnownCopies(*session, recorded)) {
        confirmed.push_back(files[copy.picture]);
    }
    return confirmed;
}

std::vector<const FoundPicture*> CFileTransferStep::ConfirmAlreadyThere(const Job& job) const {
    std::vector<const FoundPicture*> confirmed;
    CAbstractShareSession* session = job.transfer->Session();
    const RecordPlan* plan = job.properties.recordPlan.get();
    if (job.alreadyThere.empty() || session == nullptr || plan == nullptr) {
        return confirmed;
    }
    std::vector<const FoundPicture*> pictures;
    std::vector<std::vector<CopyEntry>> recorded;
    for (const FoundPicture& picture : job.alreadyThere) {
        const auto known = plan->alreadyThere.find(picture.FullPath());
        const auto facts = plan->facts.find(picture.FullPath());
        // An original changed since it was matched is not the picture whose copy is there.
        if (known == plan->alreadyThere.end() || facts == plan->facts.end() ||
            !SourceUnchanged(picture.FullPath(), facts->second)) {
            continue;
        }
        CopyEntry entry;
        entry.destination = known->second.destination;
        entry.copiedSize = known->second.size;
        pictures.push_back(&picture);
        recorded.push_back({entry});
    }
    for (const KnownCopy& copy : ConfirmKnownCopies(*session, recorded)) {
        confirmed.push_back(pictures[copy.picture]);
    }
    return confirmed;
}

void CFileTransferStep::NoteSetFacts(Job& job) {
    const RecordPlan* plan = job.properties.recordPlan.get();
    if (plan == nullptr || !plan->record) {
        return;
    }
    for (size_t picture = 0; picture < job.set->Count(); ++picture) {
        if (SourceFacts facts = job.set->FactsOf(picture); facts.identity.Known()) {
            job.setFacts.emplace(job.set->Source(picture)->Describe(), std::move(facts));
        }
    }
}

void CFileTransferStep::RecordCopies(const Job& job, const CTransferRun& run) {
    const RecordPlan* plan = job.properties.recordPlan.get();
    if (plan == nullptr || !plan->record) {
        return;
    }
    const int64_t now = static_cast<int64_t>(std::time(nullptr));
    const std::string library = LibraryShareOf(job.properties);
    std::vector<CopyEntry> entries;
    for (const CTransferRun::Copy& copy : run.Copies()) {
        const SourceFacts* facts = FactsIn(plan->facts, copy.source);
        if (facts == nullptr) {
            facts = FactsIn(job.setFacts, copy.source);
        }
        if (!CTransferRun::PassedReadBack(copy) || facts == nullptr || !facts->identity.Known()) {
            continue;
        }
        entries.push_back({*facts, plan->server, library, copy.path, copy.size, now});
    }
    if (!entries.empty() && !plan->record->Add(entries, plan->serverAddress)) {
        std::printf("The copies of this run were not recorded; the next run copies them again\n");
    }
}
