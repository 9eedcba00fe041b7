// What the picture search's worker works on, and the walk it runs.
#pragma once

#include "common/steps/BusyCounter.h"
#include "wizard/search/FoundPicture.h"
#include "wizard/search/SearchFolderLister.h"

#include <atomic>
#include <functional>
#include <set>
#include <string>
#include <string_view>

// Extensions with their leading dot, compared exactly: ".JPG" and ".jpg" are separate entries.
using ExtensionSet = std::set<std::string, std::less<>>;

// True when the extension set is empty or holds the name's extension: the text from its last dot
// to the end, or the empty text for a name without a dot.
bool MatchesExtension(const ExtensionSet& extensions, std::string_view name);

struct SearchContext {
    SearchContext(std::string rootFolder, ExtensionSet extensionSet)
        : root(std::move(rootFolder)), extensions(std::move(extensionSet)) {}

    CBusyCounter busy;   // guards found between the worker and the UI thread's tick
    std::string root;    // the folder to search
    bool recurse = true; // descend into sub-folders
    bool includeFiles = true;
    ExtensionSet extensions; // the step's extensions as they were when the search started
    FoundSet found;
    // Folders that could not be listed and pictures whose path is too long to be opened: what
    // the search could not reach, and the user is told of.
    std::atomic<unsigned> unreachable{0};
    std::atomic<int> stop{0};     // 1: the walk must stop, or has ended
    std::atomic<int> finished{0}; // 1: the search is complete; a waiting Start returns
};

// The worker's job: walks the tree under context.root depth first, each sub-folder's contents
// before the rest of its parent's entries, and records the files whose extension matches. Stops
// before the next entry once stop reads 1. Sets stop to 1 at its end.
void WalkSearchTree(SearchContext& context, CAbstractFolderLister& lister);
