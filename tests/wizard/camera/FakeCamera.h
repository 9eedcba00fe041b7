// A camera made up in memory: folders with files and their facts, failures where a test puts
// them, and a system that detects and opens such cameras.
#pragma once

#include "wizard/camera/Camera.h"

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
};

inline CameraFileFacts FakeFacts(const std::string& mimeType, bool canDelete = true,
                                 std::uint64_t size = 100) {
    CameraFileFacts facts;
    facts.sizeKnown = true;
    facts.size = size;
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
        m_files[folder].push_back({name, std::move(facts)});
    }
    void FailListing(const std::string& folder) { m_failingFolders.insert(folder); }
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

    CameraReadResult Read(const std::string&, const std::string&, const CameraReadSink&) override {
        return {{CameraStatus::Failed, -6, "not supported"}, 0};
    }
    CameraResult Delete(const std::string&, const std::string&) override {
        return {CameraStatus::Failed, -6, "not supported"};
    }

private:
    CameraPort m_port;
    std::map<std::string, std::vector<std::string>> m_folders;
    std::map<std::string, std::vector<FakeFile>> m_files;
    std::set<std::string> m_failingFolders;
    bool m_endless = false;
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
