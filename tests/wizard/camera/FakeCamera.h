// A camera made up in memory: folders with files and their facts, failures where a test puts
// them, and a system that detects and opens such cameras.
#pragma once

#include "wizard/camera/Camera.h"

#include <algorithm>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

struct FakeFile {
    std::string name;
    CameraFileFacts facts;
    bool readable = false; // reads of a file added without data are not supported
    std::string data;
};

// When a made-up camera's files were last changed: 2026-05-01 12:00:00.
inline constexpr std::int64_t kFakeModified = 1777636800LL * 1000000000LL;

inline CameraFileFacts FakeFacts(const std::string& mimeType, bool canDelete = true,
                                 std::uint64_t size = 100) {
    CameraFileFacts facts;
    facts.sizeKnown = true;
    facts.size = size;
    facts.modifiedKnown = true;
    facts.modified = kFakeModified;
    facts.mimeType = mimeType;
    facts.permissionsKnown = true;
    facts.canRead = true;
    facts.canDelete = canDelete;
    return facts;
}

class CFakeCamera : public CAbstractCamera {
public:
    explicit CFakeCamera(CameraPort port = {"Fake Camera", "usb:001,002"})
        : m_port(std::move(port)) {}

    void AddFolder(const std::string& parent, const std::string& name) {
        m_folders[parent].push_back(name);
    }
    void AddFile(const std::string& folder, const std::string& name, CameraFileFacts facts) {
        m_files[folder].push_back({name, std::move(facts), false, {}});
    }
    // A file the camera can read: its facts give the data's size unless `listedSize` says
    // otherwise.
    void AddData(const std::string& folder, const std::string& name, const std::string& mimeType,
                 std::string data, bool canDelete = true) {
        CameraFileFacts facts = FakeFacts(mimeType, canDelete, data.size());
        m_files[folder].push_back({name, facts, true, std::move(data)});
    }
    void FailListing(const std::string& folder) { m_failingFolders.insert(folder); }
    // Reads hand the data over in chunks of this size.
    void SetChunkSize(size_t size) { m_chunkSize = size; }
    // Called before every chunk of a read with the file's path and the bytes already delivered;
    // false makes the read fail there, as a camera pulled out does.
    std::function<bool(const std::string& path, std::uint64_t delivered)> beforeChunk;
    // From the read with this number on (from 1), every read and delete fails: the camera is gone.
    int goneFromRead = 0;
    // Deleting these paths fails.
    std::set<std::string> undeletable;

    std::vector<std::string> reads;   // the paths read, in order
    std::vector<std::string> deleted; // the paths deleted, in order

    // The facts of a file added before; the file must be there.
    CameraFileFacts& Facts(const std::string& folder, const std::string& name) {
        return const_cast<FakeFile*>(Find(folder, name))->facts;
    }
    bool Holds(const std::string& folder, const std::string& name) const {
        return Find(folder, name) != nullptr;
    }
    // Every folder holds one more folder, for ever.
    void MakeEndless() { m_endless = true; }

    const CameraPort& Port() const override { return m_port; }

    CameraResult ListFolders(const std::string& folder, std::vector<std::string>& names) override {
        names.clear();
        if (m_failingFolders.count(folder) != 0) {
            return {CameraStatus::Failed, -7, "gone"};
        }
        if (m_endless) {
            names.push_back("again");
            return {};
        }
        if (const auto found = m_folders.find(folder); found != m_folders.end()) {
            names = found->second;
        }
        return {};
    }

    CameraResult ListFiles(const std::string& folder, std::vector<std::string>& names) override {
        names.clear();
        if (m_failingFolders.count(folder) != 0) {
            return {CameraStatus::Failed, -7, "gone"};
        }
        if (const auto found = m_files.find(folder); found != m_files.end()) {
            for (const FakeFile& file : found->second) {
                names.push_back(file.name);
            }
        }
        return {};
    }

    CameraResult GetFileFacts(const std::string& folder, const std::string& name,
                              CameraFileFacts& facts) override {
        if (const auto found = m_files.find(folder); found != m_files.end()) {
            for (const FakeFile& file : found->second) {
                if (file.name == name) {
                    facts = file.facts;
                    return {};
                }
            }
        }
        return {CameraStatus::NotFound, -108, "no such file"};
    }

    CameraReadResult Read(const std::string& folder, const std::string& name,
                          const CameraReadSink& sink) override {
        const std::string path = Path(folder, name);
        reads.push_back(path);
        if (Gone()) {
            return {{CameraStatus::Failed, -7, "gone"}, 0};
        }
        const FakeFile* file = Find(folder, name);
        if (file == nullptr) {
            return {{CameraStatus::NotFound, -108, "no such file"}, 0};
        }
        if (!file->readable) {
            return {{CameraStatus::Failed, -6, "not supported"}, 0};
        }
        CameraReadResult read;
        const std::string data = file->data; // the sink may change the camera
        while (read.bytes < data.size()) {
            if (beforeChunk && !beforeChunk(path, read.bytes)) {
                read.result = {CameraStatus::Failed, -7, "gone"};
                return read;
            }
            const size_t size = std::min(m_chunkSize, data.size() - size_t(read.bytes));
            if (sink(data.data() + read.bytes, size) == CameraSinkAction::Stop) {
                read.result = {CameraStatus::Cancelled, -112, "cancelled"};
                return read;
            }
            read.bytes += size;
        }
        return read;
    }

    CameraResult Delete(const std::string& folder, const std::string& name) override {
        const std::string path = Path(folder, name);
        if (Gone() || undeletable.count(path) != 0) {
            return {CameraStatus::Failed, -7, "cannot delete"};
        }
        auto found = m_files.find(folder);
        if (found == m_files.end()) {
            return {CameraStatus::NotFound, -108, "no such file"};
        }
        for (auto file = found->second.begin(); file != found->second.end(); ++file) {
            if (file->name == name) {
                if (!file->readable) {
                    return {CameraStatus::Failed, -6, "not supported"};
                }
                found->second.erase(file);
                deleted.push_back(path);
                return {};
            }
        }
        return {CameraStatus::NotFound, -108, "no such file"};
    }

private:
    static std::string Path(const std::string& folder, const std::string& name) {
        return folder == "/" ? "/" + name : folder + "/" + name;
    }
    bool Gone() const { return goneFromRead > 0 && int(reads.size()) >= goneFromRead; }
    const FakeFile* Find(const std::string& folder, const std::string& name) const {
        if (const auto found = m_files.find(folder); found != m_files.end()) {
            for (const FakeFile& file : found->second) {
                if (file.name == name) {
                    return &file;
                }
            }
        }
        return nullptr;
    }

    CameraPort m_port;
    std::map<std::string, std::vector<std::string>> m_folders;
    std::map<std::string, std::vector<FakeFile>> m_files;
    std::set<std::string> m_failingFolders;
    bool m_endless = false;
    size_t m_chunkSize = 64 * 1024;
};

// A camera the test keeps, handed out as a camera of its own, so that the test still sees it
// after a run closed what it opened.
class CBorrowedCamera : public CAbstractCamera {
public:
    explicit CBorrowedCamera(CFakeCamera& camera) : m_camera(camera) {}
    const CameraPort& Port() const override { return m_camera.Port(); }
    CameraResult ListFolders(const std::string& folder, std::vector<std::string>& names) override {
        return m_camera.ListFolders(folder, names);
    }
    CameraResult ListFiles(const std::string& folder, std::vector<std::string>& names) override {
        return m_camera.ListFiles(folder, names);
    }
    CameraResult GetFileFacts(const std::string& folder, const std::string& name,
                              CameraFileFacts& facts) override {
        return m_camera.GetFileFacts(folder, name, facts);
    }
    CameraReadResult Read(const std::string& folder, const std::string& name,
                          const CameraReadSink& sink) override {
        return m_camera.Read(folder, name, sink);
    }
    CameraResult Delete(const std::string& folder, const std::string& name) override {
        return m_camera.Delete(folder, name);
    }

private:
    CFakeCamera& m_camera;
};

// Detects the cameras it is given; opening answers with the queued results first (a test queues
// Claimed to play a camera the desktop holds), then with a copy of the prepared camera.
class CFakeCameraSystem : public CAbstractCameraSystem {
public:
    std::vector<CameraPort> cameras;
    CameraResult detectResult;
    std::deque<CameraResult> openResults;
    std::vector<std::string> opened; // the ports Open was asked for
    std::function<std::unique_ptr<CAbstractCamera>(const CameraPort&)> makeCamera;

    CameraResult Detect(std::vector<CameraPort>& found) override {
        found = detectResult.ok() ? cameras : std::vector<CameraPort>();
        return detectResult;
    }

    CameraOpenResult Open(const std::string& port) override {
        opened.push_back(port);
        CameraOpenResult result;
        if (!openResults.empty()) {
            result.result = openResults.front();
            openResults.pop_front();
            if (!result.result.ok()) {
                return result;
            }
        }
        for (const CameraPort& camera : cameras) {
            if (camera.port == port && makeCamera) {
                result.camera = makeCamera(camera);
                return result;
            }
        }
        result.result = {CameraStatus::NotFound, -105, "no camera there"};
        return result;
    }
};

class CRecordingRelease : public CAbstractCameraClaimRelease {
public:
    bool answer = true;
    std::vector<std::string> ports;

    bool Release(const std::string& port) override {
        ports.push_back(port);
        return answer;
    }
};
