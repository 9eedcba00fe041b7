#include "wizard/app/WizardCommandLine.h"

#include "common/text/HexDigits.h"

#include <algorithm>
#include <optional>

namespace {

constexpr std::string_view kCameraPrefix = "/StiDevice:";

char LowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Compares ASCII letters without regard to case, so that a Turkish or other locale cannot make
// "/UPLOAD" fail.
bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (LowerAscii(a[i]) != LowerAscii(b[i])) {
            return false;
        }
    }
    return true;
}

bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() &&
           EqualsIgnoringCase(text.substr(0, prefix.size()), prefix);
}

// Undoes the %XX escapes of a URI part. A broken escape, or one that yields a NUL, makes the
// whole location unusable rather than a path that names some other file.
std::optional<std::string> PercentDecode(std::string_view text) {
    std::string decoded;
    decoded.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            decoded += text[i];
            continue;
        }
        if (i + 2 >= text.size()) {
            return std::nullopt;
        }
        const int high = HexDigitValue(text[i + 1]);
        const int low = HexDigitValue(text[i + 2]);
        if (high < 0 || low < 0 || (high == 0 && low == 0)) {
            return std::nullopt;
        }
        decoded += static_cast<char>(high * 16 + low);
        i += 2;
    }
    return decoded;
}

// A query or fragment has no meaning for a local folder or a camera; a raw '?' or '#' means the
// location was not escaped as a URI, and cutting it there would name another place.
bool HasQueryOrFragment(std::string_view uri) {
    return uri.find_first_of("?#") != std::string_view::npos;
}

bool HasControlCharacter(std::string_view text) {
    for (const char c : text) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) {
            return true;
        }
    }
    return false;
}

// The folder of an /autoplay location, or empty.
std::string FolderOfLocation(const std::string& location) {
    if (!location.empty() && location.front() == '/') {
        return location;
    }
    return LocalPathOfFileUri(location);
}

} // namespace

std::string LocalPathOfFileUri(std::string_view uri) {
    constexpr std::string_view scheme = "file:";
    if (!StartsWithIgnoringCase(uri, scheme) || HasQueryOrFragment(uri)) {
        return {};
    }
    std::string_view rest = uri.substr(scheme.size());
    if (rest.starts_with("//")) {
        rest.remove_prefix(2);
        const size_t slash = rest.find('/');
        if (slash == std::string_view::npos) {
            return {};
        }
        const std::string_view host = rest.substr(0, slash);
        if (!host.empty() && !EqualsIgnoringCase(host, "localhost")) {
            return {};
        }
        rest.remove_prefix(slash);
    }
    if (!rest.starts_with('/')) {
        return {};
    }
    const std::optional<std::string> path = PercentDecode(rest);
    return path ? *path : std::string();
}

std::string CameraPortOfGphotoUri(std::string_view uri) {
    constexpr std::string_view scheme = "gphoto2://";
    if (!StartsWithIgnoringCase(uri, scheme) || HasQueryOrFragment(uri)) {
        return {};
    }
    std::string_view rest = uri.substr(scheme.size());
    // A port such as "disk:/media/card" may come unescaped, slash and all, so the location is
    // taken whole: "[PORT]" and at most one closing slash, nothing below the camera's root.
    if (rest.ends_with('/')) {
        rest.remove_suffix(1);
    }
    const std::optional<std::string> decoded = PercentDecode(rest);
    if (!decoded || decoded->size() < 3 || decoded->front() != '[' || decoded->back() != ']') {
        return {};
    }
    std::string port = decoded->substr(1, decoded->size() - 2);
    if (port.find_first_of("[]") != std::string::npos || HasControlCharacter(port)) {
        return {};
    }
    return port;
}

std::string CameraNameOfGphotoUri(std::string_view uri) {
    constexpr std::string_view scheme = "gphoto2://";
    if (!StartsWithIgnoringCase(uri, scheme) || HasQueryOrFragment(uri)) {
        return {};
    }
    std::string_view rest = uri.substr(scheme.size());
    if (rest.ends_with('/')) {
        rest.remove_suffix(1);
    }
    const size_t slash = rest.find('/');
    const std::string_view host = rest.substr(0, slash);
    if (slash != std::string_view::npos) {
        // One storage folder at most: a link into the camera's folders is not the camera.
        const std::string_view store = rest.substr(slash + 1);
        if (store.empty() || store.find('/') != std::string_view::npos) {
            return {};
        }
    }
    const std::optional<std::string> name = PercentDecode(host);
    if (!name || name->empty() || name->find_first_of("[]/") != std::string::npos ||
        HasControlCharacter(*name)) {
        return {};
    }
    return *name;
}

std::string UsbPortOfDevicePath(std::string_view devicePath) {
    constexpr std::string_view prefix = "/dev/bus/usb/";
    if (!devicePath.starts_with(prefix)) {
        return {};
    }
    const std::string_view rest = devicePath.substr(prefix.size());
    auto isNumber = [](std::string_view text) {
        return text.size() == 3 &&
               std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
    };
    const size_t slash = rest.find('/');
    if (slash == std::string_view::npos || !isNumber(rest.substr(0, slash)) ||
        !isNumber(rest.substr(slash + 1))) {
        return {};
    }
    return std::string("usb:")
        .append(rest.substr(0, slash))
        .append(",")
        .append(rest.substr(slash + 1));
}

WizardCommand ResolveNamedCamera(WizardCommand command, CAbstractCameraLinks& links) {
    if (command.mode != WizardMode::NamedCamera) {
        return command;
    }
    if (std::string port = links.PortOfNamedCamera(command.cameraName); !port.empty()) {
        command.mode = WizardMode::Camera;
        command.deviceId = std::move(port);
    }
    return command;
}

WizardCommand ParseWizardCommandLine(std::span<const std::string> args) {
    WizardCommand command;
    if (args.empty()) {
        return command;
    }
    const std::string& first = args[0];
    if (args.size() == 1) {
        if (EqualsIgnoringCase(first, "/register")) {
            command.mode = WizardMode::Register;
        } else if (EqualsIgnoringCase(first, "/unregister")) {
            command.mode = WizardMode::Unregister;
        }
        return command;
    }
    const std::string& second = args[1];
    if (first.starts_with(kCameraPrefix)) {
        command.mode = WizardMode::Camera;
        command.deviceId = first.substr(kCameraPrefix.size());
    } else if (EqualsIgnoringCase(first, "/upload")) {
        if (!second.empty()) {
            command.mode = WizardMode::Folder;
            command.folder = second;
        }
    } else if (EqualsIgnoringCase(first, "/autoplay")) {
        if (std::string folder = FolderOfLocation(second); !folder.empty()) {
            command.mode = WizardMode::Folder;
            command.folder = std::move(folder);
        } else if (std::string port = CameraPortOfGphotoUri(second); !port.empty()) {
            command.mode = WizardMode::Camera;
            command.deviceId = std::move(port);
        } else if (std::string name = CameraNameOfGphotoUri(second); !name.empty()) {
            command.mode = WizardMode::NamedCamera;
            command.cameraName = std::move(name);
            command.location = second;
        } else if (!second.empty()) {
            // The usage text would not say what was wrong with what the desktop gave.
            command.mode = WizardMode::UnusableLocation;
            command.location = second;
        }
    }
    return command;
}
