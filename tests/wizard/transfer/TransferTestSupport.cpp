#include "TransferTestSupport.h"

#include "PortableTestSupport.h"

#include "wizard/transfer/TransferNaming.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace {

std::string Folded(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) {
        return static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    });
    return text;
}

std::string ParentOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

class FakeFile : public CAbstractShareFile {
public:
    FakeFile(std::shared_ptr<FakeShare::State> state, std::string path)
        : m_state(std::move(state)), m_path(std::move(path)) {}

    ShareResult Write(const void* data, size_t size) override {
        std::function<ShareResult(const std::string&, uint64_t)> check;
        uint64_t written = 0;
        {
            std::lock_guard lock(m_state->mutex);
            check = m_state->beforeWrite;
            written = m_state->files[m_path].size();
        }
        if (check) {
            if (ShareResult result = check(FinalCopyPath(m_path), written); !result.ok()) {
                return result;
            }
        }
        std::lock_guard lock(m_state->mutex);
        m_state->files[m_path].append(static_cast<const char*>(data), size);
        return {};
    }
    ShareResult Close() override { return {}; }

private:
    std::shared_ptr<FakeShare::State> m_state;
    std::string m_path;
};

} // namespace

std::optional<std::string> FakeShare::State::Find(const std::string& path) const {
    const std::string wanted = Folded(path);
    for (const auto& [name, contents] : files) {
        if (Folded(name) == wanted && unlisted.count(name) == 0) {
            return name;
        }
    }
    return std::nullopt;
}

bool FakeShare::State::Exists(const std::string& path) const {
    const std::string wanted = Folded(path);
    for (const auto& [name, contents] : files) {
        if (Folded(name) == wanted) {
            return true;
        }
    }
    for (const std::string& folder : folders) {
        if (Folded(folder) == wanted) {
            return true;
        }
    }
    return false;
}

ShareResult FakeShare::List(const std::string& folder, std::vector<ShareEntry>& entries) {
    std::lock_guard lock(state->mutex);
    entries.clear();
    if (state->listFailure != ShareStatus::Ok) {
        return {state->listFailure, EIO};
    }
    const std::string folded = Folded(folder);
    if (folder.find('/') != std::string::npos && !state->Exists(folder)) {
        return {ShareStatus::NotFound, ENOENT};
    }
    for (const auto& [path, contents] : state->files) {
        if (Folded(ParentOf(path)) == folded && state->unlisted.count(path) == 0) {
            const std::string name = path.substr(path.rfind('/') + 1);
            auto reported = state->listedSize.find(path);
            entries.push_back(
                {name, false,
                 reported != state->listedSize.end() ? reported->second : contents.size()});
        }
    }
    for (const std::string& path : state->folders) {
        if (Folded(ParentOf(path)) == folded) {
            entries.push_back({path.substr(path.rfind('/') + 1), true, 0});
        }
    }
    return {};
}

ShareResult FakeShare::MakeFolder(const std::string& folder) {
    std::lock_guard lock(state->mutex);
    if (state->Exists(folder)) {
        return {ShareStatus::AlreadyExists, EEXIST};
    }
    state->folders.insert(folder);
    return {};
}

ShareResult FakeShare::CreateNew(const std::string& path,
                                 std::unique_ptr<CAbstractShareFile>& file) {
    std::lock_guard lock(state->mutex);
    ++state->creates;
    if (state->creates == state->failCreateNumber) {
        return {state->createFailure, EIO};
    }
    if (state->everyNameTaken || state->Exists(path)) {
        return {ShareStatus::AlreadyExists, EEXIST};
    }
    const std::string parent = ParentOf(path);
    if (parent.find('/') != std::string::npos && !state->Exists(parent)) {
        return {ShareStatus::NotFound, ENOENT};
    }
    const std::string stored = state->lowerCaseNames ? Folded(path) : path;
    state->files[stored];
    file = std::make_unique<FakeFile>(state, stored);
    return {};
}

ShareResult FakeShare::Stat(const std::string& path, ShareEntry& entry) {
    std::lock_guard lock(state->mutex);
    if (std::optional<std::string> found = state->Find(path)) {
        entry = {found->substr(found->rfind('/') + 1), false, state->files[*found].size()};
        return {};
    }
    for (const std::string& folder : state->folders) {
        if (Folded(folder) == Folded(path)) {
            entry = {folder.substr(folder.rfind('/') + 1), true, 0};
            return {};
        }
    }
    return {ShareStatus::NotFound, ENOENT};
}

ShareResult FakeShare::RenameNew(const std::string& from, const std::string& to) {
    std::function<ShareResult(const std::string&)> check;
    {
        std::lock_guard lock(state->mutex);
        check = state->beforeRename;
    }
    if (check) {
        if (ShareResult result = check(to); !result.ok()) {
            return result;
        }
    }
    std::lock_guard lock(state->mutex);
    const std::optional<std::string> source = state->Find(from);
    if (!source) {
        return {ShareStatus::NotFound, ENOENT};
    }
    if (state->Exists(to)) {
        return {ShareStatus::AlreadyExists, EEXIST};
    }
    std::string contents = std::move(state->files[*source]);
    state->files.erase(*source);
    state->files[state->lowerCaseNames ? Folded(to) : to] = std::move(contents);
    return {};
}

ShareResult FakeShare::Remove(const std::string& path) {
    std::lock_guard lock(state->mutex);
    if (state->stuck.count(path) != 0 && state->removeFailures != 0) {
        if (state->removeFailures > 0) {
            --state->removeFailures;
        }
        return {state->removeFailure, EIO};
    }
    const std::string wanted = Folded(path);
    for (auto file = state->files.begin(); file != state->files.end(); ++file) {
        if (Folded(file->first) == wanted) {
            state->files.erase(file);
            if (state->removeReplyLost.erase(path) != 0) {
                return {state->removeFailure, EIO};
            }
            return {};
        }
    }
    return {ShareStatus::NotFound, ENOENT};
}

void RecordingPoster::Post(std::unique_ptr<kvAsyncData> record) {
    if (onPost) {
        onPost(*record);
    }
    {
        std::lock_guard lock(m_mutex);
        m_records.push_back(std::move(record));
    }
    m_posted.notify_all();
}

bool RecordingPoster::WaitFor(const std::function<bool(const kvAsyncData&)>& wanted,
                              std::chrono::milliseconds timeout) const {
    std::unique_lock lock(m_mutex);
    return m_posted.wait_for(lock, timeout, [&] {
        return std::any_of(m_records.begin(), m_records.end(),
                           [&](const auto& record) { return wanted(*record); });
    });
}

size_t RecordingPoster::Count() const {
    std::lock_guard lock(m_mutex);
    return m_records.size();
}

const kvDoneCopyAsyncData& RecordingPoster::Done() const {
    const std::vector<const kvDoneCopyAsyncData*> done = All<kvDoneCopyAsyncData>();
    EXPECT_EQ(done.size(), 1u);
    static const kvDoneCopyAsyncData kMissing(nullptr, false,
                                              {ShareStatus::Failed, 0, "no done record", {}, 0});
    return done.empty() ? kMissing : *done.back();
}

SourceFolder::SourceFolder() {
    m_root = MakeTemporaryFolder("velmora-sources");
}

SourceFolder::~SourceFolder() {
    std::error_code ignored;
    fs::remove_all(m_root, ignored);
}

std::string SourceFolder::Add(const std::string& name, size_t size) {
    const std::string path = m_root + "/" + name;
    std::string contents(size, '\0');
    const size_t seed = std::hash<std::string>{}(name);
    for (size_t i = 0; i < size; ++i) {
        contents[i] = static_cast<char>((seed + i * 31 + i / 4096) & 0xFF);
    }
    std::ofstream(path, std::ios::binary) << contents;
    m_pictures.insert(FoundPicture{m_root + "/", name});
    return path;
}

bool SourceFolder::Exists(const std::string& name) const {
    return fs::exists(m_root + "/" + name);
}

std::string SourceFolder::Contents(const std::string& name) const {
    return ReadFile(m_root + "/" + name);
}

bool ScriptedPrompt::AskCredentials(const std::string& share, const std::string& failure,
                                    ShareCredentials& credentials, bool& remember) {
    askedShares.push_back(share);
    shownFailures.push_back(failure);
    if (script.empty()) {
        return false;
    }
    Answer answer = script.front();
    script.pop_front();
    if (answer.ok) {
        credentials = answer.credentials;
        remember = answer.remember;
    }
    return answer.ok;
}

std::optional<ShareCredentials> MemoryCredentialStore::Find(const std::string& server) {
    auto found = saved.find(server);
    if (found == saved.end()) {
        return std::nullopt;
    }
    return found->second;
}

bool MemoryCredentialStore::Save(const std::string& server, const ShareCredentials& credentials) {
    saved[server] = credentials;
    return true;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream contents;
    contents << in.rdbuf();
    return contents.str();
}
