#include "wizard/sheet/AlreadyCopied.h"

#include "common/branding/Branding.h"

AlreadyCopied CheckAlreadyCopied(CAbstractCopyRecord* record, CAbstractShareSession* session,
                                 const std::string& server, const std::string& serverAddress,
                                 const std::string& library,
                                 const std::vector<SourceFacts>& facts) {
    AlreadyCopied check;
    check.server = server;
    check.library = library;
    check.serverAddress = serverAddress;
    check.pictureCount = facts.size();
    if (record == nullptr || session == nullptr || server.empty()) {
        return check;
    }
    check.checked = true;
    const std::vector<std::vector<CopyEntry>> recorded = record->Find(server, library, facts);
    check.copies = ConfirmKnownCopies(*session, recorded);
    return check;
}

bool RecordKnowsAny(CAbstractCopyRecord& record, const std::string& server,
                    const std::string& library, const std::vector<SourceFacts>& facts) {
    for (const std::vector<CopyEntry>& copies : record.Find(server, library, facts)) {
        if (!copies.empty()) {
            return true;
        }
    }
    return false;
}

std::shared_ptr<const RecordPlan>
MakeRecordPlan(std::shared_ptr<CAbstractCopyRecord> record, const std::string& server,
               const std::string& serverAddress, const FoundSet& pictures,
               const std::vector<SourceFacts>& facts, const AlreadyCopied* skipped) {
    if (!record || facts.size() != pictures.size()) {
        return nullptr;
    }
    auto plan = std::make_shared<RecordPlan>();
    plan->record = std::move(record);
    plan->server = server;
    plan->serverAddress = serverAddress;
    std::vector<std::string> paths;
    paths.reserve(pictures.size());
    size_t index = 0;
    for (const FoundPicture& picture : pictures) {
        paths.push_back(picture.FullPath());
        plan->facts.emplace(paths.back(), facts[index++]);
    }
    if (skipped != nullptr) {
        for (const KnownCopy& copy : skipped->copies) {
            if (copy.picture < paths.size()) {
                plan->alreadyThere.emplace(paths[copy.picture], copy);
            }
        }
    }
    return plan;
}

std::shared_ptr<const RecordPlan> MakeCameraRecordPlan(std::shared_ptr<CAbstractCopyRecord> record,
                                                       const std::string& server,
                                                       const std::string& serverAddress,
                                                       bool skip) {
    if (!record) {
        return nullptr;
    }
    auto plan = std::make_shared<RecordPlan>();
    plan->record = std::move(record);
    plan->server = server;
    plan->serverAddress = serverAddress;
    plan->leaveOutCopiesThere = skip;
    return plan;
}

std::string LocationOfShareFolder(const std::string& folder) {
    const std::vector<std::string> parts = SplitPathParts(folder);
    std::string location;
    for (size_t part = 1; part < parts.size(); ++part) {
        location += (part > 1 ? "/" : "") + parts[part];
    }
    return location;
}

std::string AlreadyCopiedLine(const AlreadyCopied& check) {
    if (!check.Any()) {
        return {};
    }
    if (check.All()) {
        return FormatBrandedText(kAllThereText, unsigned(check.pictureCount));
    }
    return FormatBrandedText(kAlreadyThereText, unsigned(check.copies.size()),
                             unsigned(check.pictureCount));
}
