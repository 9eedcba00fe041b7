// Stand-ins for the copy engine's collaborators: an in-memory share, a poster that records what the
// worker posts, source pictures on disk, and a scripted credentials prompt.
#pragma once

#include "wizard/search/FoundPicture.h"
#include "wizard/transfer/AsyncData.h"
#include "wizard/transfer/Authenticator.h"
#include "wizard/transfer/ShareAccess.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

// A share in memory whose names compare without letter case, as the server's do. Failures can be
// planted; the state is shared so that a test still sees it after the engine took the session.
class FakeShare : public CAbstractShareSession {
public:
    struct State {
        std::mutex mutex;
        std::map<std::string, std::string> files; // share path -> contents
        std::set<std::string> folders;
        int creates = 0;
        // The create with this number (from 1) fails with createFailure.
        int failCreateNumber = 0;
        ShareStatus createFailure = ShareStatus::AccessDenied;
        // Every create answers that the name is taken.
        bool everyNameTaken = false;
        // Called before every write with the path the copy is to have (the final name, while the
        // bytes go to its temporary name) and the bytes already written; a failure fails the
        // write.
        std::function<ShareResult(const std::string&, uint64_t)> beforeWrite;
        // Removing these paths fails with removeFailure, removeFailures more times (-1: always).
        std::set<std::string> stuck;
        ShareStatus removeFailure = ShareStatus::ConnectionLost;
        int removeFailures = -1;
        ShareStatus listFailure = ShareStatus::Ok;
        // Sizes the listing reports instead of the real ones.
        std::map<std::string, uint64_t> listedSize;
        // Files that are stored but that neither the listing nor a lookup finds.
        std::set<std::string> unlisted;
        // The share keeps no letter case: every name is stored in lower case.
        bool lowerCaseNames = false;
        // Called before a rename with its target; a failure fails the rename.
        std::function<ShareResult(const std::string&)> beforeRename;
        // Removing these paths removes them but answers removeFailure once, as a server whose
        // reply to a delete it carried out was lost.
        std::set<std::string> removeReplyLost;

        bool Exists(const std::string& path) const; // without letter case; mutex held
        // The stored path that `path` names (without letter case), or nothing; mutex held.
        std::optional<std::string> Find(const std::string& path) const;
    };

    FakeShare() : state(std::make_shared<State>()) {}
    explicit FakeShare(std::shared_ptr<State> shared) : state(std::move(shared)) {}

    std::string Server() const override { return "fake"; }
    ShareResult List(const std::string& folder, std::vector<ShareEntry>& entries) override;
    ShareResult MakeFolder(const std::string& folder) override;
    ShareResult CreateNew(const std::string& path,
                          std::unique_ptr<CAbstractShareFile>& file) override;
    ShareResult Remove(const std::string& path) override;
    ShareResult Stat(const std::string& path, ShareEntry& entry) override;
    ShareResult RenameNew(const std::string& from, const std::string& to) override;

    std::shared_ptr<State> state;
};

// Keeps every record posted, in order; `onPost` runs on the posting thread before the record is
// kept (tests use it to act at a given moment of a run).
class RecordingPoster : public CAbstractAsyncDataPoster {
public:
    void Post(std::unique_ptr<kvAsyncData> record) override;

    std::function<void(const kvAsyncData&)> onPost;

    template <class Record> std::vector<const Record*> All() const {
        std::lock_guard lock(m_mutex);
        std::vector<const Record*> found;
        for (const auto& record : m_records) {
            if (auto* typed = dynamic_cast<const Record*>(record.get())) {
                found.push_back(typed);
            }
        }
        return found;
    }
    size_t Count() const;
    // Waits until a record kept so far satisfies `wanted`, at most `timeout`; whether one did.
    bool WaitFor(const std::function<bool(const kvAsyncData&)>& wanted,
                 std::chrono::milliseconds timeout) const;
    // The one done record of a run; fails the test when there is not exactly one.
    const kvDoneCopyAsyncData& Done() const;

private:
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_posted;
    std::vector<std::unique_ptr<kvAsyncData>> m_records;
};

// Source pictures in a temporary folder, and the found set naming them.
class SourceFolder {
public:
    SourceFolder();
    ~SourceFolder();
    SourceFolder(const SourceFolder&) = delete;
    SourceFolder& operator=(const SourceFolder&) = delete;

    // Writes a file of `size` bytes (a pattern that differs per file) and adds it to the set.
    std::string Add(const std::string& name, size_t size = 1000);
    const std::string& Root() const { return m_root; }
    FoundSet& Pictures() { return m_pictures; }
    bool Exists(const std::string& name) const;
    std::string Contents(const std::string& name) const;

private:
    std::string m_root;
    FoundSet m_pictures;
};

// A front end that answers from a script and records what it was shown.
class ScriptedPrompt : public CAbstractCredentialsPrompt {
public:
    struct Answer {
        bool ok = true; // false: the user cancels
        ShareCredentials credentials;
        bool remember = false;
    };

    bool AskCredentials(const std::string& share, const std::string& failure,
                        ShareCredentials& credentials, bool& remember) override;
    void ShowFailure(const std::string& message) override { failures.push_back(message); }

    std::deque<Answer> script;
    std::vector<std::string> askedShares;
    std::vector<std::string> shownFailures; // the failure text of each ask
    std::vector<std::string> failures;      // messages shown
};

// An in-memory keyring.
class MemoryCredentialStore : public CAbstractCredentialStore {
public:
    std::optional<ShareCredentials> Find(const std::string& server) override;
    bool Save(const std::string& server, const ShareCredentials& credentials) override;

    std::map<std::string, ShareCredentials> saved;
};

std::string ReadFile(const std::string& path);
