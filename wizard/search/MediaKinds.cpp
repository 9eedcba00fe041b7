#include "wizard/search/MediaKinds.h"

#include <algorithm>
#include <array>

namespace {

struct KnownExtension {
    std::string_view extension; // lower case, dot included
    MediaKind kind;
};

constexpr std::array kKnownExtensions{
    // The usual image files.
    KnownExtension{".jpg", MediaKind::Picture},
    KnownExtension{".jpeg", MediaKind::Picture},
    KnownExtension{".jpe", MediaKind::Picture},
    KnownExtension{".gif", MediaKind::Picture},
    KnownExtension{".png", MediaKind::Picture},
    KnownExtension{".bmp", MediaKind::Picture},
    KnownExtension{".tif", MediaKind::Picture},
    KnownExtension{".tiff", MediaKind::Picture},
    KnownExtension{".webp", MediaKind::Picture},
    // Phone pictures, and the cameras that write the same format.
    KnownExtension{".heic", MediaKind::Picture},
    KnownExtension{".heif", MediaKind::Picture},
    KnownExtension{".hif", MediaKind::Picture},
    // Raw files of the common camera makes.
    KnownExtension{".cr2", MediaKind::Picture},
    KnownExtension{".cr3", MediaKind::Picture},
    KnownExtension{".crw", MediaKind::Picture},
    KnownExtension{".nef", MediaKind::Picture},
    KnownExtension{".nrw", MediaKind::Picture},
    KnownExtension{".arw", MediaKind::Picture},
    KnownExtension{".srf", MediaKind::Picture},
    KnownExtension{".sr2", MediaKind::Picture},
    KnownExtension{".orf", MediaKind::Picture},
    KnownExtension{".rw2", MediaKind::Picture},
    KnownExtension{".raf", MediaKind::Picture},
    KnownExtension{".pef", MediaKind::Picture},
    KnownExtension{".dng", MediaKind::Picture},
    KnownExtension{".srw", MediaKind::Picture},
    KnownExtension{".x3f", MediaKind::Picture},
    KnownExtension{".rwl", MediaKind::Picture},
    KnownExtension{".3fr", MediaKind::Picture},
    KnownExtension{".erf", MediaKind::Picture},
    KnownExtension{".kdc", MediaKind::Picture},
    KnownExtension{".mrw", MediaKind::Picture},
    KnownExtension{".iiq", MediaKind::Picture},
    // Videos of cameras and phones.
    KnownExtension{".mp4", MediaKind::Video},
    KnownExtension{".m4v", MediaKind::Video},
    KnownExtension{".mov", MediaKind::Video},
    KnownExtension{".mts", MediaKind::Video},
    KnownExtension{".m2ts", MediaKind::Video},
    KnownExtension{".avi", MediaKind::Video},
    KnownExtension{".3gp", MediaKind::Video},
    KnownExtension{".mpg", MediaKind::Video},
    KnownExtension{".mkv", MediaKind::Video},
    // Sidecars.
    KnownExtension{".xmp", MediaKind::Sidecar},
};

// Longer than any extension of the list: a longer one is not looked up at all.
constexpr size_t kLongestExtension = 5;

char FoldAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

char RaiseAscii(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

std::string_view ExtensionOfName(std::string_view fileName) {
    const size_t dot = fileName.rfind('.');
    return dot == std::string_view::npos ? std::string_view{} : fileName.substr(dot);
}

std::string LoweredType(std::string_view mimeType) {
    // "image/jpeg; charset=x" names the same type.
    const size_t end = mimeType.find_first_of("; \t");
    std::string type(mimeType.substr(0, end));
    std::transform(type.begin(), type.end(), type.begin(), FoldAscii);
    return type;
}

// A type that tells nothing of what the file holds.
bool IsGenericType(std::string_view type) {
    return type.empty() || type == "application/octet-stream" || type == "application/unknown";
}

} // namespace

MediaKind MediaKindOfExtension(std::string_view extension) {
    if (extension.size() < 2 || extension.size() > kLongestExtension || extension[0] != '.') {
        return MediaKind::None;
    }
    char lowered[kLongestExtension];
    for (size_t i = 0; i < extension.size(); ++i) {
        lowered[i] = FoldAscii(extension[i]);
    }
    const std::string_view wanted(lowered, extension.size());
    for (const KnownExtension& known : kKnownExtensions) {
        if (known.extension == wanted) {
            return known.kind;
        }
    }
    return MediaKind::None;
}

MediaKind MediaKindOfName(std::string_view fileName) {
    return MediaKindOfExtension(ExtensionOfName(fileName));
}

MediaKind MediaKindOfCameraFile(std::string_view fileName, std::string_view mimeType) {
    const std::string type = LoweredType(mimeType);
    if (!IsGenericType(type)) {
        // A raw file may come as any image type; the type alone is enough.
        if (type.starts_with("image/") && type.size() > 6) {
            return MediaKind::Picture;
        }
        if (type.starts_with("video/") && type.size() > 6) {
            return MediaKind::Video;
        }
    }
    // No type, or one that is neither an image nor a video (a sidecar comes as text or XML):
    // the name decides, as it does in a folder.
    return MediaKindOfName(fileName);
}

std::vector<std::string> SearchExtensions() {
    std::vector<std::string> extensions;
    extensions.reserve(kKnownExtensions.size() * 2);
    for (const KnownExtension& known : kKnownExtensions) {
        std::string upper(known.extension);
        std::transform(upper.begin(), upper.end(), upper.begin(), RaiseAscii);
        extensions.emplace_back(upper);
        extensions.emplace_back(known.extension);
    }
    return extensions;
}

bool IsNumberedExtension(std::string_view extension) {
    return MediaKindOfExtension(extension) != MediaKind::None;
}
