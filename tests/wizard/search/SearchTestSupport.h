// Folder trees on disk and stand-ins for the search's collaborators, shared by the search tests.
#pragma once

#include "wizard/search/FindFilesStatusWindow.h"
#include "wizard/search/FoundPicture.h"
#include "wizard/search/SearchFolderLister.h"

#include <atomic>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

// A temporary folder removed with everything in it at the end.
class TempTree {
public:
    TempTree();
    ~TempTree();
    TempTree(const TempTree&) = delete;
    TempTree& operator=(const TempTree&) = delete;

    // The root, without a trailing '/'.
    const std::string& Root() const { return m_root; }
    std::string Path(const std::string& relative) const { return m_root + "/" + relative; }
    // Creates the file (and its folders) under the root.
    void AddFile(const std::string& relative) const;
    void AddFolder(const std::string& relative) const;
    void AddLink(const std::string& relative, const std::string& target) const;

private:
    std::string m_root;
};

// The full paths of a found set relative to root, in the set's order.
std::vector<std::string> RelativePaths(const FoundSet& found, const std::string& root);

// The wizard's picture extensions.
const std::vector<std::string>& WizardExtensions();

// Lists like the real lister, but lets a test act when a folder is listed: onList runs on the
// worker before the folder is listed, with the folder's path.
class HookedLister final : public CAbstractFolderLister {
public:
    explicit HookedLister(std::function<void(const std::string&, const std::atomic<int>&)> onList);
    bool List(const std::string& folder, bool followLink, const std::atomic<int>& stop,
              CFolderListing& listing) override;
    int ListedCount() const { return m_listed.load(); }

private:
    std::unique_ptr<CAbstractFolderLister> m_real;
    std::function<void(const std::string&, const std::atomic<int>&)> m_onList;
    std::atomic<int> m_listed{0};
};

// Waits until stop reads 1, or 10 seconds as a safety net for a broken test.
void WaitForStop(const std::atomic<int>& stop);

// Records what the step asks of its status window. Close tells the callback at once, as a window
// that is gone does; CancelOnText makes the user press Cancel when the text is first set.
class RecordingStatusWindow final : public CAbstractStatusWindow {
public:
    bool Show(bool ownerless, wxWindow* parent) override;
    void Close() override;
    void SetText(const std::string& text) override;
    void BringToTop() override { ++raised; }

    bool showResult = true;
    bool cancelOnText = false;
    int shown = 0;
    bool shownOwnerless = false;
    int closed = 0;
    int raised = 0;
    std::vector<std::string> texts;
};
