#include "wizard/sheet/AlreadyCopied.h"

#include "common/branding/Branding.h"
#include "wizard/search/MediaGroups.h"

#include <algorithm>
#include <set>
#include <unordered_map>

namespace {

// The found pictures' files grouped into pictures, as their indexes in the found set.
std::vector<std::vector<size_t>> PictureIndexGroups(const FoundSet& pictures) {
    std::unordered_map<const FoundPicture*, size_t> indexes;
    size_t index = 0;
    for (const FoundPicture& picture : pictures) {
        indexes.emplace(&picture, index++);
    }
    std::vector<std::vector<size_t>> groups;
    for (const FoundGroup& group : GroupFoundPictures(pictures, true)) {
        std::vector<size_t>& files = groups.emplace_back();
        for (const FoundPicture* file : group.files) {
            files.push_back(indexes.at(file));
        }
    }
    return groups;
}

bool EveryFileThere(const std::vector<size_t>& files, const std::set<size_t>& there) {
    return std::all_of(files.begin(), files.end(),
                       [&](size_t file) { return there.count(file) != 0; });
}

std::set<size_t> IndexesOf(const std::vector<KnownCopy>& copies) {
    std::set<size_t> there;
    for (const KnownCopy& copy : copies) {
        there.insert(copy.picture);
    }
    return there;
}

} // namespace

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

void CountWholePictures(AlreadyCopied& check, const FoundSet& pictures) {
    const std::set<size_t> there = IndexesOf(check.copies);
    const std::vector<std::vector<size_t>> groups = PictureIndexGroups(pictures);
    check.wholePictures = groups.size();
    check.wholePicturesThere =
        size_t(std::count_if(groups.begin(), groups.end(), [&](const std::vector<size_t>& files) {
            return EveryFileThere(files, there);
        }));
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
        const std::set<size_t> there = IndexesOf(skipped->copies);
        std::set<size_t> whole;
        for (const std::vector<size_t>& files : PictureIndexGroups(pictures)) {
            if (EveryFileThere(files, there)) {
                whole.insert(files.begin(), files.end());
            }
        }
        for (const KnownCopy& copy : skipped->copies) {
            if (copy.picture < paths.size() && whole.count(copy.picture) != 0) {
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
        return FormatBrandedText(kAllThereText, unsigned(check.wholePictures));
    }
    return FormatBrandedText(kAlreadyThereText, unsigned(check.wholePicturesThere),
                             unsigned(check.wholePictures));
}
