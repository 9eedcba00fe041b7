#include "wizard/search/SearchContext.h"

#include "common/files/Paths.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <memory>
#include <unordered_set>
#include <vector>

namespace {

// How long the worker waits before it looks again whether the UI thread let go of the found set.
constexpr std::chrono::milliseconds kFoundSetRetry{50};

class SearchWalker {
public:
    SearchWalker(SearchContext& context, CAbstractFolderLister& lister)
        : m_context(context), m_lister(lister) {
        // The set's strings outlive the walk; a hash of the few bytes of an extension costs less
        // than the set's comparisons once the list is long.
        m_wanted.reserve(context.extensions.size());
        for (const std::string& extension : context.extensions) {
            m_wanted.insert(extension);
            m_longest = std::max(m_longest, extension.size());
        }
    }

    // folder ends with a separator; it is restored before the call returns.
    void Walk(std::string& folder, size_t depth) {
        // One listing per level, kept for the next folder at the same level.
        if (depth == m_listings.size()) {
            m_listings.push_back(std::make_unique<CFolderListing>());
        }
        CFolderListing& listing = *m_listings[depth];
        if (!m_lister.List(folder, depth == 0, m_context.stop, listing)) {
            // Whatever the folder holds is out of reach; a stopped walk has nothing to count.
            if (m_context.stop.load(std::memory_order_relaxed) != 1) {
                m_context.unreachable.fetch_add(1, std::memory_order_relaxed);
            }
            return;
        }
        const size_t folderLength = folder.size();
        for (size_t i = 0; i < listing.Size(); ++i) {
            if (m_context.stop.load(std::memory_order_relaxed) == 1) {
                break;
            }
            const std::string_view name = listing.Name(i);
            if (name == "." || name == "..") {
                continue;
            }
            switch (listing.Kind(i)) {
            case FolderEntryKind::Folder:
                if (m_context.recurse) {
                    folder.append(name);
                    folder += kPathSeparator;
                    Walk(folder, depth + 1);
                    folder.resize(folderLength);
                }
                break;
            case FolderEntryKind::File:
                if (m_context.includeFiles && Wanted(name)) {
                    // A path the system cannot open would only fail in the copy.
                    if (folder.size() + name.size() >= PATH_MAX) {
                        m_context.unreachable.fetch_add(1, std::memory_order_relaxed);
                    } else {
                        Record(folder, name);
                    }
                }
                break;
            case FolderEntryKind::Other:
                break;
            }
        }
    }

private:
    // As MatchesExtension.
    bool Wanted(std::string_view name) const {
        if (m_wanted.empty()) {
            return true;
        }
        const size_t dot = name.rfind('.');
        const std::string_view extension =
            dot == std::string_view::npos ? std::string_view{} : name.substr(dot);
        return extension.size() <= m_longest && m_wanted.count(extension) != 0;
    }

    void Record(const std::string& folder, std::string_view name) {
        FoundPicture picture{folder, std::string(name)};
        m_context.busy.Acquire(kFoundSetRetry);
        m_context.found.insert(std::move(picture));
        m_context.busy.Release();
    }

    SearchContext& m_context;
    CAbstractFolderLister& m_lister;
    std::vector<std::unique_ptr<CFolderListing>> m_listings;
    std::unordered_set<std::string_view> m_wanted;
    size_t m_longest = 0;
};

} // namespace

bool MatchesExtension(const ExtensionSet& extensions, std::string_view name) {
    if (extensions.empty()) {
        return true;
    }
    const size_t dot = name.rfind('.');
    const std::string_view extension =
        dot == std::string_view::npos ? std::string_view{} : name.substr(dot);
    return extensions.find(extension) != extensions.end();
}

void WalkSearchTree(SearchContext& context, CAbstractFolderLister& lister) {
    std::string folder = context.root;
    AppendSeparator(folder);
    SearchWalker walker(context, lister);
    walker.Walk(folder, 0);
    context.stop.store(1, std::memory_order_release);
}
