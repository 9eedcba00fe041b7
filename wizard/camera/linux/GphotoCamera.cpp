#include "wizard/camera/linux/GphotoCamera.h"

#include "wizard/search/MediaKinds.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string_view>
#include <utility>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The state of one read, reached from the file handler's callbacks.
struct ReadState {
    const CameraReadSink* sink = nullptr;
    bool* stopRequested = nullptr;
    bool sinkFailed = false;
    std::uint64_t bytes = 0;
};

int WriteChunk(void* priv, unsigned char* data, uint64_t* length) {
    auto* state = static_cast<ReadState*>(priv);
    if (*state->stopRequested) {
        // Some drivers go on reading after a refused chunk; nothing more reaches the sink.
        return GP_ERROR_CANCEL;
    }
    CameraSinkAction action = CameraSinkAction::Stop;
    try {
        action = (*state->sink)(reinterpret_cast<const char*>(data), static_cast<size_t>(*length));
    } catch (...) {
        // An exception must not unwind through the library's C frames.
        state->sinkFailed = true;
    }
    if (action == CameraSinkAction::Stop) {
        *state->stopRequested = true;
        return GP_ERROR_CANCEL;
    }
    state->bytes += *length;
    return GP_OK;
}

int ReadNothing(void*, unsigned char*, uint64_t*) {
    return GP_ERROR_NOT_SUPPORTED;
}

int SizeUnknown(void*, uint64_t*) {
    return GP_ERROR_NOT_SUPPORTED;
}

CameraFileHandler g_sinkHandler = {SizeUnknown, ReadNothing, WriteChunk};

constexpr std::string_view kDiskPortPrefix = "disk:";
constexpr size_t kCardReadChunk = size_t(1) << 20;
constexpr std::int64_t kNanosecondsPerSecond = 1000000000;

struct WidgetDeleter {
    void operator()(CameraWidget* widget) const { gp_widget_free(widget); }
};

std::string CameraChild(const std::string& folder, const std::string& name) {
    return folder == "/" ? "/" + name : folder + "/" + name;
}

CameraResult ErrnoResult(int error, const std::string& path) {
    CameraResult result;
    result.status = error == ENOENT ? CameraStatus::NotFound : CameraStatus::Failed;
    result.code = GP_ERROR_IO;
    result.reason = std::string(std::strerror(error)) + ": " + path;
    return result;
}

struct DirCloser {
    void operator()(DIR* dir) const { closedir(dir); }
};
struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

} // namespace

CameraResult GphotoResult(int code, const std::string& detail) {
    if (code >= GP_OK) {
        return {};
    }
    CameraResult result;
    result.code = code;
    switch (code) {
    case GP_ERROR_IO_USB_CLAIM:
        result.status = CameraStatus::Claimed;
        break;
    case GP_ERROR_CANCEL:
        result.status = CameraStatus::Cancelled;
        break;
    case GP_ERROR_FILE_NOT_FOUND:
    case GP_ERROR_DIRECTORY_NOT_FOUND:
    case GP_ERROR_MODEL_NOT_FOUND:
    case GP_ERROR_IO_USB_FIND:
        result.status = CameraStatus::NotFound;
        break;
    default:
        result.status = CameraStatus::Failed;
    }
    const char* text = gp_result_as_string(code);
    result.reason = text != nullptr ? text : "error " + std::to_string(code);
    if (!detail.empty()) {
        result.reason += ": " + detail;
    }
    return result;
}

CGphotoCamera::CGphotoCamera(CameraPort port, GphotoPortInfoListPtr ports)
    : m_port(std::move(port)), m_ports(std::move(ports)), m_context(gp_context_new()) {
    if (m_context) {
        gp_context_set_error_func(m_context.get(), &CGphotoCamera::OnError, this);
        gp_context_set_cancel_func(m_context.get(), &CGphotoCamera::OnCancelQuery, this);
    }
    if (std::string_view(m_port.port).starts_with(kDiskPortPrefix)) {
        m_cardRoot = m_port.port.substr(kDiskPortPrefix.size());
        while (m_cardRoot.size() > 1 && m_cardRoot.back() == '/') {
            m_cardRoot.pop_back();
        }
        if (m_cardRoot == "/") {
            m_cardRoot.clear(); // a card on the root folder is left to the library alone
        }
    }
}

CGphotoCamera::~CGphotoCamera() {
    if (m_camera) {
        gp_camera_exit(m_camera.get(), m_context.get());
    }
}

void CGphotoCamera::OnError(GPContext*, const char* text, void* self) {
    if (text != nullptr) {
        static_cast<CGphotoCamera*>(self)->m_lastError = text;
    }
}

GPContextFeedback CGphotoCamera::OnCancelQuery(GPContext*, void* self) {
    return static_cast<CGphotoCamera*>(self)->m_stopRequested ? GP_CONTEXT_FEEDBACK_CANCEL
                                                              : GP_CONTEXT_FEEDBACK_OK;
}

CameraResult CGphotoCamera::ResultOf(int code) {
    CameraResult result = GphotoResult(code, code < GP_OK ? m_lastError : std::string());
    m_lastError.clear();
    return result;
}

CameraResult CGphotoCamera::Init(const CameraAbilities& abilities, int portIndex) {
    if (!m_context) {
        return GphotoResult(GP_ERROR_NO_MEMORY);
    }
    Camera* camera = nullptr;
    if (const int code = gp_camera_new(&camera); code < GP_OK) {
        return ResultOf(code);
    }
    m_camera.reset(camera);
    GPPortInfo info = nullptr;
    int code = gp_camera_set_abilities(camera, abilities);
    if (code >= GP_OK) {
        code = gp_port_info_list_get_info(m_ports.get(), portIndex, &info);
    }
    if (code >= GP_OK) {
        code = gp_camera_set_port_info(camera, info);
    }
    if (code >= GP_OK) {
        code = gp_camera_init(camera, m_context.get());
    }
    if (code < GP_OK) {
        m_camera.reset();
        return ResultOf(code);
    }
    m_port.serial = ReadSerialNumber();
    return ResultOf(code);
}

std::string CGphotoCamera::ReadSerialNumber() {
    // Cameras that tell it (PTP ones do) name it among their settings; the others, and a card
    // in a reader, have none.
    CameraWidget* raw = nullptr;
    const int code =
        gp_camera_get_single_config(m_camera.get(), "serialnumber", &raw, m_context.get());
    m_lastError.clear();
    if (code < GP_OK || raw == nullptr) {
        return {};
    }
    const std::unique_ptr<CameraWidget, WidgetDeleter> widget(raw);
    CameraWidgetType type{};
    const char* value = nullptr;
    if (gp_widget_get_type(raw, &type) < GP_OK || type != GP_WIDGET_TEXT ||
        gp_widget_get_value(raw, &value) < GP_OK || value == nullptr) {
        return {};
    }
    std::string serial = value;
    // Some cameras pad the number, or give nothing but zeros for "unknown".
    while (!serial.empty() && (serial.back() == ' ' || serial.back() == '\0')) {
        serial.pop_back();
    }
    if (serial.find_first_not_of("0 ") == std::string::npos) {
        return {};
    }
    return serial;
}

CameraResult CGphotoCamera::List(const std::string& folder, bool folders,
                                 std::vector<std::string>& names) {
    names.clear();
    CameraList* raw = nullptr;
    if (const int code = gp_list_new(&raw); code < GP_OK) {
        return ResultOf(code);
    }
    const GphotoListPtr list(raw);
    const int code =
        folders
            ? gp_camera_folder_list_folders(m_camera.get(), folder.c_str(), raw, m_context.get())
            : gp_camera_folder_list_files(m_camera.get(), folder.c_str(), raw, m_context.get());
    if (code < GP_OK) {
        return ResultOf(code);
    }
    const int count = gp_list_count(raw);
    for (int i = 0; i < count; ++i) {
        const char* name = nullptr;
        if (gp_list_get_name(raw, i, &name) >= GP_OK && name != nullptr) {
            names.emplace_back(name);
        }
    }
    return {};
}

CameraResult CGphotoCamera::ListFolders(const std::string& folder,
                                        std::vector<std::string>& names) {
    return List(folder, true, names);
}

CameraResult CGphotoCamera::ListFiles(const std::string& folder, std::vector<std::string>& names) {
    CameraResult listed = List(folder, false, names);
    if (listed.ok() && !m_cardRoot.empty()) {
        AddCardFiles(folder, names);
    }
    return listed;
}

void CGphotoCamera::AddCardFiles(const std::string& folder, std::vector<std::string>& names) {
    const std::unique_ptr<DIR, DirCloser> dir(opendir((m_cardRoot + folder).c_str()));
    if (!dir) {
        return;
    }
    const std::set<std::string> listed(names.begin(), names.end());
    std::vector<std::string> added;
    while (const dirent* entry = readdir(dir.get())) {
        const std::string name = entry->d_name;
        if (listed.count(name) != 0 || MediaKindOfName(name) == MediaKind::None) {
            continue;
        }
        struct stat info {};
        // Regular files only: a link could lead off the card.
        if (lstat((m_cardRoot + CameraChild(folder, name)).c_str(), &info) != 0 ||
            !S_ISREG(info.st_mode)) {
            continue;
        }
        added.push_back(name);
    }
    if (added.empty()) {
        return;
    }
    for (std::string& name : added) {
        m_cardOnlyFiles.insert(CameraChild(folder, name));
        names.push_back(std::move(name));
    }
    // In the order of the names, as the library gives a folder's files, so that a picture's
    // files keep their order whichever of them the library knows.
    std::sort(names.begin(), names.end());
}

std::string CGphotoCamera::CardPathOf(const std::string& folder, const std::string& name) const {
    const std::string path = CameraChild(folder, name);
    return m_cardOnlyFiles.count(path) != 0 ? m_cardRoot + path : std::string();
}

CameraResult CGphotoCamera::GetFileFacts(const std::string& folder, const std::string& name,
                                         CameraFileFacts& facts) {
    facts = {};
    if (const std::string card = CardPathOf(folder, name); !card.empty()) {
        struct stat info {};
        if (lstat(card.c_str(), &info) != 0) {
            return ErrnoResult(errno, card);
        }
        // As the library judges the card's other files: by the file's own mode.
        facts.sizeKnown = true;
        facts.size = static_cast<std::uint64_t>(info.st_size);
        facts.permissionsKnown = true;
        facts.canRead = (info.st_mode & S_IRUSR) != 0;
        facts.canDelete = (info.st_mode & S_IWUSR) != 0;
        facts.modifiedKnown = true;
        facts.modified = static_cast<std::int64_t>(info.st_mtim.tv_sec) * kNanosecondsPerSecond +
                         info.st_mtim.tv_nsec;
        return {};
    }
    CameraFileInfo info{};
    const int code = gp_camera_file_get_info(m_camera.get(), folder.c_str(), name.c_str(), &info,
                                             m_context.get());
    if (code < GP_OK) {
        return ResultOf(code);
    }
    if ((info.file.fields & GP_FILE_INFO_SIZE) != 0) {
        facts.sizeKnown = true;
        facts.size = info.file.size;
    }
    if ((info.file.fields & GP_FILE_INFO_TYPE) != 0) {
        facts.mimeType.assign(info.file.type, strnlen(info.file.type, sizeof(info.file.type)));
    }
    if ((info.file.fields & GP_FILE_INFO_PERMISSIONS) != 0) {
        facts.permissionsKnown = true;
        facts.canRead = (info.file.permissions & GP_FILE_PERM_READ) != 0;
        facts.canDelete = (info.file.permissions & GP_FILE_PERM_DELETE) != 0;
    }
    // A camera keeps whole seconds; 0 is what drivers give for a time they do not know.
    if ((info.file.fields & GP_FILE_INFO_MTIME) != 0 && info.file.mtime > 0) {
        facts.modifiedKnown = true;
        facts.modified = static_cast<std::int64_t>(info.file.mtime) * kNanosecondsPerSecond;
    }
    return {};
}

CameraReadResult CGphotoCamera::Read(const std::string& folder, const std::string& name,
                                     const CameraReadSink& sink) {
    CameraReadResult read;
    if (const std::string card = CardPathOf(folder, name); !card.empty()) {
        const std::unique_ptr<std::FILE, FileCloser> file(std::fopen(card.c_str(), "rb"));
        if (!file) {
            read.result = ErrnoResult(errno, card);
            return read;
        }
        std::vector<char> chunk(kCardReadChunk);
        for (;;) {
            const size_t got = std::fread(chunk.data(), 1, chunk.size(), file.get());
            if (got == 0) {
                if (std::ferror(file.get()) != 0) {
                    read.result = ErrnoResult(EIO, card);
                }
                return read;
            }
            CameraSinkAction action = CameraSinkAction::Stop;
            try {
                action = sink(chunk.data(), got);
            } catch (...) {
                read.result = {CameraStatus::Failed, GP_ERROR, "the receiver of the data failed"};
                return read;
            }
            if (action == CameraSinkAction::Stop) {
                read.result = {CameraStatus::Cancelled, GP_ERROR_CANCEL, "cancelled"};
                return read;
            }
            read.bytes += got;
        }
    }
    m_stopRequested = false;
    ReadState state{&sink, &m_stopRequested, false, 0};
    CameraFile* raw = nullptr;
    if (const int code = gp_file_new_from_handler(&raw, &g_sinkHandler, &state); code < GP_OK) {
        read.result = ResultOf(code);
        return read;
    }
    const GphotoFilePtr file(raw);
    const int code = gp_camera_file_get(m_camera.get(), folder.c_str(), name.c_str(),
                                        GP_FILE_TYPE_NORMAL, raw, m_context.get());
    read.bytes = state.bytes;
    if (state.sinkFailed) {
        read.result = {CameraStatus::Failed, code, "the receiver of the data failed"};
    } else if (m_stopRequested) {
        // The driver may have ignored the refusal and reported success; the read is still cut.
        read.result = {CameraStatus::Cancelled, GP_ERROR_CANCEL, "cancelled"};
    } else {
        read.result = ResultOf(code);
    }
    m_stopRequested = false;
    m_lastError.clear();
    return read;
}

CameraResult CGphotoCamera::Delete(const std::string& folder, const std::string& name) {
    if (const std::string card = CardPathOf(folder, name); !card.empty()) {
        if (unlink(card.c_str()) != 0) {
            return ErrnoResult(errno, card);
        }
        m_cardOnlyFiles.erase(CameraChild(folder, name));
        return {};
    }
    return ResultOf(
        gp_camera_file_delete(m_camera.get(), folder.c_str(), name.c_str(), m_context.get()));
}

CGphotoCameraSystem::CGphotoCameraSystem() : m_context(gp_context_new()) {}

CameraResult CGphotoCameraSystem::LoadDrivers() {
    if (m_abilities) {
        return {};
    }
    if (!m_context) {
        return GphotoResult(GP_ERROR_NO_MEMORY);
    }
    CameraAbilitiesList* raw = nullptr;
    if (const int code = gp_abilities_list_new(&raw); code < GP_OK) {
        return GphotoResult(code);
    }
    GphotoAbilitiesListPtr abilities(raw);
    if (const int code = gp_abilities_list_load(raw, m_context.get()); code < GP_OK) {
        return GphotoResult(code, "the camera drivers could not be loaded");
    }
    m_abilities = std::move(abilities);
    return {};
}

namespace {

// The ports as they are now: cards come and go, so the list is read afresh every time.
CameraResult LoadPorts(GphotoPortInfoListPtr& ports) {
    GPPortInfoList* raw = nullptr;
    if (const int code = gp_port_info_list_new(&raw); code < GP_OK) {
        return GphotoResult(code);
    }
    ports.reset(raw);
    if (const int code = gp_port_info_list_load(raw); code < GP_OK) {
        return GphotoResult(code, "the camera ports could not be listed");
    }
    return {};
}

} // namespace

CameraResult CGphotoCameraSystem::DetectOn(GPPortInfoList* ports,
                                           std::vector<CameraPort>& cameras) {
    cameras.clear();
    CameraList* raw = nullptr;
    if (const int code = gp_list_new(&raw); code < GP_OK) {
        return GphotoResult(code);
    }
    const GphotoListPtr list(raw);
    if (const int code = gp_abilities_list_detect(m_abilities.get(), ports, raw, m_context.get());
        code < GP_OK) {
        return GphotoResult(code);
    }
    const int count = gp_list_count(raw);
    for (int i = 0; i < count; ++i) {
        const char* model = nullptr;
        const char* port = nullptr;
        if (gp_list_get_name(raw, i, &model) < GP_OK || gp_list_get_value(raw, i, &port) < GP_OK ||
            model == nullptr || port == nullptr) {
            continue;
        }
        // A bare "usb:" is the generic USB entry, not a camera on a port of its own.
        if (std::string_view(port) == "usb:") {
            continue;
        }
        cameras.push_back({model, port});
    }
    return {};
}

CameraResult CGphotoCameraSystem::Detect(std::vector<CameraPort>& cameras) {
    cameras.clear();
    if (CameraResult loaded = LoadDrivers(); !loaded.ok()) {
        return loaded;
    }
    GphotoPortInfoListPtr ports;
    if (CameraResult loaded = LoadPorts(ports); !loaded.ok()) {
        return loaded;
    }
    return DetectOn(ports.get(), cameras);
}

CameraOpenResult CGphotoCameraSystem::Open(const std::string& port) {
    CameraOpenResult opened;
    if (opened.result = LoadDrivers(); !opened.result.ok()) {
        return opened;
    }
    GphotoPortInfoListPtr ports;
    if (opened.result = LoadPorts(ports); !opened.result.ok()) {
        return opened;
    }
    std::vector<CameraPort> cameras;
    if (opened.result = DetectOn(ports.get(), cameras); !opened.result.ok()) {
        return opened;
    }
    const CameraPort* match = nullptr;
    for (const CameraPort& camera : cameras) {
        if (camera.port == port) {
            match = &camera;
            break;
        }
    }
    if (match == nullptr) {
        opened.result = {CameraStatus::NotFound, GP_ERROR_MODEL_NOT_FOUND,
                         "no camera is attached on " + port};
        return opened;
    }
    CameraAbilities abilities{};
    const int model = gp_abilities_list_lookup_model(m_abilities.get(), match->model.c_str());
    int code = model;
    if (code >= GP_OK) {
        code = gp_abilities_list_get_abilities(m_abilities.get(), model, &abilities);
    }
    const int portIndex = gp_port_info_list_lookup_path(ports.get(), port.c_str());
    if (code >= GP_OK) {
        code = portIndex;
    }
    if (code < GP_OK) {
        opened.result = GphotoResult(code, port);
        return opened;
    }
    auto camera = std::make_unique<CGphotoCamera>(*match, std::move(ports));
    if (opened.result = camera->Init(abilities, portIndex); opened.result.ok()) {
        opened.camera = std::move(camera);
    }
    return opened;
}
