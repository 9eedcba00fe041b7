// The picture search: walks a folder tree for picture files on a worker thread while the UI
// thread keeps serving its events and shows how many were found.
#pragma once

#include "common/steps/ProgressCallback.h"
#include "wizard/search/FindFilesStatusWindow.h"
#include "wizard/search/SearchContext.h"
#include "wizard/search/SearchEventLoop.h"
#include "wizard/search/SearchFolderLister.h"

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>

class wxWindow;

class CFindFilesStep final : public CAbstractProgressCallback {
public:
    static constexpr std::chrono::milliseconds kTickPeriod{250};
    static constexpr int kResultEnded = 0;     // the walk ended by itself
    static constexpr int kResultCancelled = 1; // the user cancelled

    // loop serves the UI thread and must outlive the step. Without a lister, the local file
    // systems are searched.
    explicit CFindFilesStep(CAbstractSearchEventLoop& loop,
                            std::unique_ptr<CAbstractFolderLister> lister = nullptr);
    // Stops a running walk and waits for the worker to end.
    ~CFindFilesStep() override;

    CFindFilesStep(const CFindFilesStep&) = delete;
    CFindFilesStep& operator=(const CFindFilesStep&) = delete;

    // Adds an extension with its leading dot; ".JPG" and ".jpg" are separate entries. An empty
    // set matches every file. A search takes the set as it is when it starts.
    void AddExtension(const std::string& extension);

    // Searches root (a folder, with or without a trailing separator). Returns 0 at once, doing
    // nothing, while a search runs. Synchronous (the default): serves the UI thread's events
    // until the search is complete and returns 0; Result() tells how it ended. Should the loop be
    // told to quit first, the search ends as cancelled and the loop's exit code is returned.
    // Asynchronous: returns 1 once the search runs; it completes through the UI thread's loop.
    int Start(const std::string& root);

    // Ends the search with result (0 or 1); the status window calls it when it goes away. A
    // search that is already complete keeps its result. Returns 1.
    int OnComplete(int result) override;

    void SetAsynchronous(bool asynchronous) { m_asynchronous = asynchronous; }
    void SetShowStatus(bool showStatus) { m_showStatus = showStatus; }
    void SetParentWindow(wxWindow* parent) { m_parent = parent; }
    // Not owned; must outlive the search it is shown for.
    void SetStatusWindow(CAbstractStatusWindow* statusWindow) { m_statusWindow = statusWindow; }

    // The status window's text for a count of pictures found, in the user's language; English
    // unless set.
    void SetFoundText(std::function<std::string(size_t count)> text) {
        m_foundText = std::move(text);
    }

    bool IsRunning() const { return m_running; }
    int Result() const { return m_result; }
    // The pictures of the last search, in the order of the set; empty before the first search.
    // First waits for the search's worker to let go of the set: a cancelled worker ends at its
    // next entry, while a search that still runs is waited for until its walk ends.
    const FoundSet& Found();
    // The pictures of the last search, handed over without a copy (a large set is large); the
    // step keeps none afterwards.
    FoundSet TakeFound();
    // What the last search could not reach: folders it could not list and pictures whose path
    // is too long to open. Waits for the worker as Found does.
    unsigned Unreachable();

private:
    void Tick();
    void JoinWorker();

    CAbstractSearchEventLoop& m_loop;
    std::unique_ptr<CAbstractFolderLister> m_lister;
    ExtensionSet m_extensions;
    bool m_asynchronous = false;
    bool m_showStatus = true;
    wxWindow* m_parent = nullptr;
    CAbstractStatusWindow* m_statusWindow = nullptr;
    bool m_statusShown = false; // the status window is driven by the current search
    int m_result = kResultEnded;
    bool m_running = false;
    // Shared with the worker, so that it stays alive as long as either side uses it.
    std::shared_ptr<SearchContext> m_context;
    std::thread m_worker;
    FoundSet m_noPictures;
    std::function<std::string(size_t)> m_foundText;
};
