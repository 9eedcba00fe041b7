#include "wizard/app/linux/GioCameraLinks.h"

#include <gio/gio.h>

#include <cstdio>
#include <memory>
#include <string>

namespace {

struct ObjectUnref {
    void operator()(gpointer object) const { g_object_unref(object); }
};
template <class T> using GObjectPtr = std::unique_ptr<T, ObjectUnref>;

struct TextFree {
    void operator()(char* text) const { g_free(text); }
};
using GText = std::unique_ptr<char, TextFree>;

struct ObjectListFree {
    void operator()(GList* list) const { g_list_free_full(list, g_object_unref); }
};
using GObjectList = std::unique_ptr<GList, ObjectListFree>;

// Whether a location GIO gives for a volume or mount names this camera.
bool NamesCamera(GFile* root, const std::string& cameraName) {
    if (root == nullptr) {
        return false;
    }
    const GText uri(g_file_get_uri(root));
    return uri && CameraNameOfGphotoUri(uri.get()) == cameraName;
}

std::string PortOfVolume(GVolume* volume) {
    if (volume == nullptr) {
        return {};
    }
    const GText device(g_volume_get_identifier(volume, G_VOLUME_IDENTIFIER_KIND_UNIX_DEVICE));
    if (!device) {
        return {};
    }
    std::string port = UsbPortOfDevicePath(device.get());
    if (port.empty()) {
        std::printf("The camera's device %s is no USB device\n", device.get());
    }
    return port;
}

} // namespace

std::string CGioCameraLinks::PortOfNamedCamera(const std::string& cameraName) {
    const GObjectPtr<GVolumeMonitor> monitor(g_volume_monitor_get());
    if (!monitor) {
        return {};
    }
    const GObjectList volumes(g_volume_monitor_get_volumes(monitor.get()));
    for (GList* item = volumes.get(); item != nullptr; item = item->next) {
        auto* volume = static_cast<GVolume*>(item->data);
        const GObjectPtr<GFile> root(g_volume_get_activation_root(volume));
        if (NamesCamera(root.get(), cameraName)) {
            return PortOfVolume(volume);
        }
    }
    const GObjectList mounts(g_volume_monitor_get_mounts(monitor.get()));
    for (GList* item = mounts.get(); item != nullptr; item = item->next) {
        auto* mount = static_cast<GMount*>(item->data);
        const GObjectPtr<GFile> root(g_mount_get_root(mount));
        if (NamesCamera(root.get(), cameraName)) {
            const GObjectPtr<GVolume> volume(g_mount_get_volume(mount));
            return PortOfVolume(volume.get());
        }
    }
    return {};
}
