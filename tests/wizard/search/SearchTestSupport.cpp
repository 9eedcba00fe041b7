#include "tests/wizard/search/SearchTestSupport.h"

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <thread>

#include "PortableTestSupport.h"
#include "common/files/Paths.h"

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace fs = std::filesystem;

TempTree::TempTree() {
    const std::string folder = MakeTemporaryFolder("velmora-search");
    if (folder.empty()) {
        throw std::runtime_error("cannot make a temporary folder");
    }
    m_root = folder;
#ifndef _WIN32
    // Readable by everybody, so that a test may walk it under another user.
    chmod(m_root.c_str(), 0755);
#endif
}

TempTree::~TempTree() {
    std::error_code error;
#ifndef _WIN32
    // Folders a test locked must be opened again before they can be emptied.
    for (auto it = fs::recursive_directory_iterator(
             m_root, fs::directory_options::skip_permission_denied, error);
         it != fs::recursive_directory_iterator(); it.increment(error)) {
        if (it->is_directory(error) && !it->is_symlink(error)) {
            chmod(it->path().c_str(), 0755);
        }
    }
    chmod(m_root.c_str(), 0755);
#endif
    fs::remove_all(m_root, error);
}

void TempTree::AddFile(const std::string& relative) const {
    const fs::path path = Path(relative);
    fs::create_directories(path.parent_path());
    std::ofstream(path) << relative;
}

void TempTree::AddFolder(const std::string& relative) const {
    fs::create_directories(Path(relative));
}

void TempTree::AddLink(const std::string& relative, const std::string& target) const {
    const fs::path path = Path(relative);
    fs::create_directories(path.parent_path());
    fs::create_symlink(target, path);
}

std::vector<std::string> RelativePaths(const FoundSet& found, const std::string& root) {
    std::vector<std::string> paths;
    // Written with '/' whatever the platform, as the tests expect them.
    const auto slashed = [](std::string path) {
        for (char& c : path) {
            c = IsPathSeparator(c) ? '/' : c;
        }
        return path;
    };
    const std::string prefix = slashed(JoinPath(root, ""));
    for (const FoundPicture& picture : found) {
        std::string path = slashed(picture.FullPath());
        if (path.compare(0, prefix.size(), prefix) == 0) {
            path.erase(0, prefix.size());
        }
        paths.push_back(path);
    }
    return paths;
}

const std::vector<std::string>& WizardExtensions() {
    static const std::vector<std::string> extensions{".JPG", ".jpg", ".JPEG", ".jpeg", ".GIF",
                                                     ".gif", ".PNG", ".png",  ".BMP",  ".bmp"};
    return extensions;
}

HookedLister::HookedLister(std::function<void(const std::string&, const std::atomic<int>&)> onList)
    : m_real(CreateFolderLister()), m_onList(std::move(onList)) {}

bool HookedLister::List(const std::string& folder, bool followLink, const std::atomic<int>& stop,
                        CFolderListing& listing) {
    ++m_listed;
    if (m_onList) {
        m_onList(folder, stop);
    }
    return m_real->List(folder, followLink, stop, listing);
}

void WaitForStop(const std::atomic<int>& stop) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (stop.load() != 1 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

bool RecordingStatusWindow::Show(bool ownerless, wxWindow*) {
    ++shown;
    shownOwnerless = ownerless;
    return showResult;
}

void RecordingStatusWindow::Close() {
    ++closed;
    if (m_callback != nullptr) {
        m_callback->OnComplete(0);
    }
}

void RecordingStatusWindow::SetText(const std::string& text) {
    texts.push_back(text);
    if (cancelOnText && m_callback != nullptr) {
        cancelOnText = false;
        m_callback->OnComplete(1);
    }
}
