#include "wizard/search/FindFilesStep.h"

#include <cstdio>
#include <system_error>

namespace {

std::string FoundText(size_t count) {
    return "Found: " + std::to_string(count) + " picture(s)";
}

} // namespace

CFindFilesStep::CFindFilesStep(CAbstractSearchEventLoop& loop,
                               std::unique_ptr<CAbstractFolderLister> lister)
    : m_loop(loop), m_lister(lister ? std::move(lister) : CreateFolderLister()) {}

CFindFilesStep::~CFindFilesStep() {
    if (m_context) {
        m_context->stop.store(1, std::memory_order_release);
    }
    if (m_running) {
        m_running = false;
        m_loop.StopTimer();
        // The window must not call back into a step that is gone.
        if (m_statusShown && m_statusWindow->Callback() == this) {
            m_statusWindow->SetCallback(nullptr);
            m_statusWindow->Close();
        }
    }
    JoinWorker();
}

void CFindFilesStep::AddExtension(const std::string& extension) {
    m_extensions.insert(extension);
}

int CFindFilesStep::Start(const std::string& root) {
    if (m_running) {
        return 0;
    }
    m_statusShown = false;
    if (m_showStatus && m_statusWindow != nullptr) {
        m_statusWindow->SetCallback(this);
        // A window that cannot be made leaves the search to end without it.
        m_statusShown = m_statusWindow->Show(true, m_parent);
    }
    m_running = true;
    // A cancelled search's worker ends at its next entry; it must be gone before the next one.
    JoinWorker();
    auto context = std::make_shared<SearchContext>(root, m_extensions);
    m_context = context;
    m_loop.StartTimer(kTickPeriod, [this] { Tick(); });

    CAbstractFolderLister* lister = m_lister.get();
    CAbstractSearchEventLoop* loop = &m_loop;
    try {
        m_worker = std::thread([context, lister, loop] {
            WalkSearchTree(*context, *lister);
            // Done: the tick closes the search now rather than at the end of its period.
            loop->TickSoon();
        });
    } catch (const std::system_error& error) {
        std::printf("Cannot start the picture search: %s\n", error.what());
        context->stop.store(1, std::memory_order_release);
    }

    if (m_asynchronous) {
        return 1;
    }
    const std::optional<int> quitCode =
        m_loop.RunUntil([context] { return context->finished.load() == 1; });
    if (!quitCode) {
        return 0;
    }
    // The loop was told to quit before the search was complete: what was found is not the whole
    // tree, so the search ends as cancelled.
    if (m_running) {
        const bool closeWindow = m_statusShown && m_statusWindow->Callback() == this;
        OnComplete(kResultCancelled);
        if (closeWindow) {
            m_statusWindow->SetCallback(nullptr);
            m_statusWindow->Close();
        }
    }
    return *quitCode;
}

int CFindFilesStep::OnComplete(int result) {
    if (!m_running) {
        return 1;
    }
    m_loop.StopTimer();
    m_result = result;
    m_context->stop.store(1, std::memory_order_release);
    m_context->finished.store(1, std::memory_order_release);
    m_running = false;
    m_loop.WakeUp();
    return 1;
}

const FoundSet& CFindFilesStep::Found() {
    if (!m_context) {
        return m_noPictures;
    }
    JoinWorker();
    return m_context->found;
}

FoundSet CFindFilesStep::TakeFound() {
    if (!m_context) {
        return {};
    }
    JoinWorker();
    return std::move(m_context->found);
}

unsigned CFindFilesStep::Unreachable() {
    if (!m_context) {
        return 0;
    }
    JoinWorker();
    return m_context->unreachable.load();
}

void CFindFilesStep::Tick() {
    if (!m_running) {
        return;
    }
    // The tick may end the search; the context stays alive until it is done with it.
    const std::shared_ptr<SearchContext> context = m_context;
    if (m_statusShown) {
        m_statusWindow->BringToTop();
    }
    if (!context->busy.TryAcquire()) {
        return; // the worker is recording; the next tick shows it
    }
    if (m_statusShown) {
        const size_t count = context->found.size();
        m_statusWindow->SetText(m_foundText ? m_foundText(count) : FoundText(count));
    }
    // The window may have ended the search while it showed the text.
    if (m_running && context->stop.load(std::memory_order_acquire) == 1) {
        if (m_statusShown) {
            m_statusWindow->Close(); // the window's going away completes the search
        } else {
            OnComplete(kResultEnded);
        }
    }
    context->busy.Release();
}

void CFindFilesStep::JoinWorker() {
    if (m_worker.joinable()) {
        m_worker.join();
    }
}
