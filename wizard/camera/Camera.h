// A camera as the wizard sees it: a tree of folders holding files, each with a size, a media type
// and permissions, that can be read in chunks and deleted. The platform's camera library stays
// behind these classes, so that finding the camera and naming its pictures are the same on every
// platform and can be tried against cameras made up in tests.
//
// Threads: an object of these classes is used by one thread at a time. A camera may be opened on
// one thread and handed to another (the copying worker), but never used from two at once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

enum class CameraStatus : std::uint8_t {
    Ok,
    NotFound,  // no camera on that port, or no such folder or file on it
    Claimed,   // another program holds the camera's USB interface
    Cancelled, // the reader asked to stop
    Failed,    // anything else: the camera went away, an I/O error, an unsupported operation
};

struct CameraResult {
    CameraStatus status = CameraStatus::Ok;
    int code = 0;       // the camera library's result code, 0 when there is none
    std::string reason; // readable, for the log and for messages; empty when ok

    bool ok() const { return status == CameraStatus::Ok; }
};

// One camera found by detection: the library's model name and the port it sits on ("usb:001,005",
// "disk:/media/card"). The port is the device id the desktop hands to the wizard.
struct CameraPort {
    std::string model;
    std::string port;
    // The camera's serial number as an opened camera tells it; empty when it tells none (and
    // always before the camera is opened).
    std::string serial = {};
};

// What the camera tells about one file. Facts it does not give are marked unknown, never guessed.
struct CameraFileFacts {
    bool sizeKnown = false;
    std::uint64_t size = 0;
    std::string mimeType; // empty when the camera gives none
    bool permissionsKnown = false;
    bool canRead = false;
    bool canDelete = false;
    bool modifiedKnown = false;
    std::int64_t modified = 0; // nanoseconds since 1970
};

enum class CameraSinkAction : std::uint8_t { Continue, Stop };

// Receives a file's data in the chunks the camera delivers, in order. Returning Stop ends the
// read as Cancelled. A sink must not throw; one that does ends the read as Failed.
using CameraReadSink = std::function<CameraSinkAction(const char* data, std::size_t size)>;

struct CameraReadResult {
    CameraResult result;
    std::uint64_t bytes = 0; // bytes handed to the sink
};

// One opened camera. Folders are absolute paths on the camera ("/", "/DCIM/100ABCDE"); names
// are plain file or folder names within a folder.
class CAbstractCamera {
public:
    CAbstractCamera() = default;
    virtual ~CAbstractCamera() = default;
    CAbstractCamera(const CAbstractCamera&) = delete;
    CAbstractCamera& operator=(const CAbstractCamera&) = delete;

    virtual const CameraPort& Port() const = 0;

    // The sub-folders and the files of a folder, each in the order the camera lists them.
    virtual CameraResult ListFolders(const std::string& folder,
                                     std::vector<std::string>& names) = 0;
    virtual CameraResult ListFiles(const std::string& folder, std::vector<std::string>& names) = 0;

    virtual CameraResult GetFileFacts(const std::string& folder, const std::string& name,
                                      CameraFileFacts& facts) = 0;

    // Streams the file's data to the sink as it arrives, without keeping it anywhere else.
    virtual CameraReadResult Read(const std::string& folder, const std::string& name,
                                  const CameraReadSink& sink) = 0;

    virtual CameraResult Delete(const std::string& folder, const std::string& name) = 0;
};

struct CameraOpenResult {
    CameraResult result;
    std::unique_ptr<CAbstractCamera> camera; // set exactly when result is ok
};

// Detection and opening of the cameras attached to this machine.
class CAbstractCameraSystem {
public:
    CAbstractCameraSystem() = default;
    virtual ~CAbstractCameraSystem() = default;
    CAbstractCameraSystem(const CAbstractCameraSystem&) = delete;
    CAbstractCameraSystem& operator=(const CAbstractCameraSystem&) = delete;

    // The attached cameras in the order the library detects them.
    virtual CameraResult Detect(std::vector<CameraPort>& cameras) = 0;

    // Opens the camera detected on exactly this port.
    virtual CameraOpenResult Open(const std::string& port) = 0;
};

// Asks whatever program of the desktop holds a camera to let it go.
class CAbstractCameraClaimRelease {
public:
    CAbstractCameraClaimRelease() = default;
    virtual ~CAbstractCameraClaimRelease() = default;
    CAbstractCameraClaimRelease(const CAbstractCameraClaimRelease&) = delete;
    CAbstractCameraClaimRelease& operator=(const CAbstractCameraClaimRelease&) = delete;

    // True when the holder said it let the camera go. Returns within a bounded time.
    virtual bool Release(const std::string& port) = 0;
};
