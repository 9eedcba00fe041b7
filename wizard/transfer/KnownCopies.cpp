#include "wizard/transfer/KnownCopies.h"

#include <cstdio>

namespace {

std::string FolderOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

} // namespace

std::vector<KnownCopy> ConfirmKnownCopies(CAbstractShareSession& session,
                                          const std::vector<std::vector<CopyEntry>>& recorded) {
    // The file sizes of each folder named, listed once.
    std::map<std::string, std::map<std::string, uint64_t>> folders;
    for (const std::vector<CopyEntry>& copies : recorded) {
        for (const CopyEntry& copy : copies) {
            folders.emplace(FolderOf(copy.destination), std::map<std::string, uint64_t>{});
        }
    }
    for (auto& [folder, sizes] : folders) {
        std::vector<ShareEntry> entries;
        if (const ShareResult listed = session.List(folder, entries); !listed.ok()) {
            std::printf("Cannot list %s to find earlier copies: %s\n", folder.c_str(),
                        listed.Message().c_str());
            continue;
        }
        for (const ShareEntry& entry : entries) {
            if (!entry.isFolder) {
                sizes.emplace(entry.name, entry.size);
            }
        }
    }
    std::vector<KnownCopy> confirmed;
    for (size_t picture = 0; picture < recorded.size(); ++picture) {
        for (const CopyEntry& copy : recorded[picture]) {
            const std::map<std::string, uint64_t>& sizes = folders[FolderOf(copy.destination)];
            const auto listed = sizes.find(NameOf(copy.destination));
            if (listed != sizes.end() && listed->second == copy.copiedSize) {
                confirmed.push_back({picture, copy.destination, copy.copiedSize});
                break;
            }
        }
    }
    return confirmed;
}

std::string FolderOfMostCopies(const std::vector<KnownCopy>& copies) {
    std::map<std::string, size_t> counts;
    std::string best;
    size_t bestCount = 0;
    for (const KnownCopy& copy : copies) {
        const std::string folder = FolderOf(copy.destination);
        if (const size_t count = ++counts[folder]; count > bestCount) {
            best = folder;
            bestCount = count;
        }
    }
    return best;
}
