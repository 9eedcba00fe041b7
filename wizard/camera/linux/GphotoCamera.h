// The cameras of this machine through libgphoto2: detection, opening by port, and the files of an
// opened camera. A memory card or any mounted file system with a DCIM folder is a camera on a
// "disk:" port here. The library lists only the kinds of file it knows there; the files of a
// card that the wizard copies and the library leaves out (phone pictures, sidecars) are listed,
// read and deleted on the mounted card itself, so that a card gives the same files as a camera
// as it does as a folder.
//
// Threads: libgphoto2 loads its drivers and port modules without locks, so one system object
// serves the whole program from one thread at a time; a camera it opened may then be used on
// another thread, one at a time, and may outlive the system object.
#pragma once

#include "wizard/camera/Camera.h"

#include <gphoto2/gphoto2.h>

#include <memory>
#include <set>
#include <string>
#include <vector>

struct GphotoContextDeleter {
    void operator()(GPContext* context) const { gp_context_unref(context); }
};
struct GphotoCameraDeleter {
    void operator()(Camera* camera) const { gp_camera_unref(camera); }
};
struct GphotoListDeleter {
    void operator()(CameraList* list) const { gp_list_unref(list); }
};
struct GphotoAbilitiesListDeleter {
    void operator()(CameraAbilitiesList* list) const { gp_abilities_list_free(list); }
};
struct GphotoPortInfoListDeleter {
    void operator()(GPPortInfoList* list) const { gp_port_info_list_free(list); }
};
struct GphotoFileDeleter {
    void operator()(CameraFile* file) const { gp_file_unref(file); }
};

using GphotoContextPtr = std::unique_ptr<GPContext, GphotoContextDeleter>;
using GphotoCameraPtr = std::unique_ptr<Camera, GphotoCameraDeleter>;
using GphotoListPtr = std::unique_ptr<CameraList, GphotoListDeleter>;
using GphotoAbilitiesListPtr = std::unique_ptr<CameraAbilitiesList, GphotoAbilitiesListDeleter>;
using GphotoPortInfoListPtr = std::unique_ptr<GPPortInfoList, GphotoPortInfoListDeleter>;
using GphotoFilePtr = std::unique_ptr<CameraFile, GphotoFileDeleter>;

class CGphotoCamera : public CAbstractCamera {
public:
    CGphotoCamera(CameraPort port, GphotoPortInfoListPtr ports);
    ~CGphotoCamera() override;

    // Connects to the camera with the driver of its model. Called once, by the system object.
    CameraResult Init(const CameraAbilities& abilities, int portIndex);

    const CameraPort& Port() const override { return m_port; }
    CameraResult ListFolders(const std::string& folder, std::vector<std::string>& names) override;
    CameraResult ListFiles(const std::string& folder, std::vector<std::string>& names) override;
    CameraResult GetFileFacts(const std::string& folder, const std::string& name,
                              CameraFileFacts& facts) override;
    CameraReadResult Read(const std::string& folder, const std::string& name,
                          const CameraReadSink& sink) override;
    CameraResult Delete(const std::string& folder, const std::string& name) override;

private:
    static void OnError(GPContext* context, const char* text, void* self);
    static GPContextFeedback OnCancelQuery(GPContext* context, void* self);

    CameraResult ResultOf(int code);
    // The serial number the camera tells among its settings; empty when it tells none.
    std::string ReadSerialNumber();
    CameraResult List(const std::string& folder, bool folders, std::vector<std::string>& names);
    // The card's own path of a file the library does not list; empty for the library's files.
    std::string CardPathOf(const std::string& folder, const std::string& name) const;
    void AddCardFiles(const std::string& folder, std::vector<std::string>& names);

    CameraPort m_port;
    GphotoPortInfoListPtr m_ports; // the port the camera was given lives in this list
    GphotoContextPtr m_context;
    GphotoCameraPtr m_camera;
    std::string m_lastError;
    bool m_stopRequested = false;
    std::string m_cardRoot;                // the mount point of a "disk:" port, else empty
    std::set<std::string> m_cardOnlyFiles; // camera paths the library does not list
};

class CGphotoCameraSystem : public CAbstractCameraSystem {
public:
    CGphotoCameraSystem();

    CameraResult Detect(std::vector<CameraPort>& cameras) override;
    CameraOpenResult Open(const std::string& port) override;

private:
    CameraResult LoadDrivers();
    CameraResult DetectOn(GPPortInfoList* ports, std::vector<CameraPort>& cameras);

    GphotoContextPtr m_context;
    GphotoAbilitiesListPtr m_abilities; // loaded once: it reads every driver
};

// Maps a libgphoto2 result code to the wizard's statuses, with the library's text for it.
CameraResult GphotoResult(int code, const std::string& detail = {});
