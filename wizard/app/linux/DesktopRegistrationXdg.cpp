#include "wizard/app/linux/DesktopRegistrationXdg.h"

#include "common/files/RegularFile.h"
#include "common/files/linux/FileWriting.h"

#include "common/files/linux/FileDescriptor.h"
#include "wizard/app/DesktopEntry.h"
#include "wizard/app/MimeAppsList.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <vector>

namespace {

constexpr mode_t kNewFileMode = 0644;

std::string AbsoluteVariable(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && value[0] == '/' ? std::string(value) : std::string();
}

std::string FirstAbsoluteEntry(const char* name, const char* fallback) {
    if (const char* list = std::getenv(name)) {
        std::string_view rest(list);
        while (!rest.empty()) {
            const size_t colon = rest.find(':');
            const std::string_view entry = rest.substr(0, colon);
            if (entry.starts_with('/')) {
                return std::string(entry);
            }
            rest.remove_prefix(colon == std::string_view::npos ? rest.size() : colon + 1);
        }
    }
    return fallback;
}

std::string HomeDirectory() {
    if (std::string home = AbsoluteVariable("HOME"); !home.empty()) {
        return home;
    }
    const passwd* user = ::getpwuid(::geteuid());
    return user != nullptr && user->pw_dir != nullptr && user->pw_dir[0] == '/' ? user->pw_dir : "";
}

RegistrationResult Failed(const std::string& what, const std::string& path, int error) {
    return {false, "cannot " + what + " " + path + ": " + std::strerror(error)};
}

// The whole file; an empty text when it does not exist, nullopt when it cannot be read.
std::optional<std::string> ReadFile(const std::string& path, int& error) {
    // Far beyond any desktop entry or list of defaults; only a stray file is that large.
    constexpr std::size_t kMaxFileSize = std::size_t{64} << 20;
    std::optional<std::string> text = ReadRegularFile(path, kMaxFileSize, &error);
    if (!text && error == ENOENT) {
        return std::string();
    }
    return text;
}

// Creates the missing folders of `path`: private to the user as the base directory rules ask
// (~/.local/share, ~/.config), readable by all when root makes system folders.
bool MakeFolders(const std::string& path) {
    struct stat status {};
    if (::stat(path.c_str(), &status) == 0) {
        errno = ENOTDIR;
        return S_ISDIR(status.st_mode);
    }
    const std::string parent = std::filesystem::path(path).parent_path().string();
    if (errno != ENOENT || parent.empty() || parent == path || !MakeFolders(parent)) {
        return false;
    }
    return ::mkdir(path.c_str(), ::geteuid() == 0 ? 0755 : 0700) == 0 || errno == EEXIST;
}

// Replaces `path` with `text` through a synced temporary file in the same folder, creating the
// folder when needed. An existing file keeps its mode (and, when root writes, its owner).
RegistrationResult WriteFileAtomically(const std::string& requestedPath, const std::string& text) {
    const std::optional<std::string> resolved = ResolveSymbolicLinks(requestedPath);
    if (!resolved) {
        return Failed("resolve", requestedPath, ELOOP);
    }
    const std::string& path = *resolved;
    const std::string directory = std::filesystem::path(path).parent_path().string();
    if (!MakeFolders(directory)) {
        return Failed("create the folder", directory, errno);
    }
    std::string temporary = path + ".XXXXXX";
    CFileDescriptor file(::mkostemp(temporary.data(), O_CLOEXEC));
    if (!file.IsOpen()) {
        return Failed("create a file in", directory, errno);
    }
    mode_t mode = kNewFileMode;
    bool ok = true;
    struct stat previous {};
    if (::stat(path.c_str(), &previous) == 0) {
        mode = previous.st_mode & 07777;
        if (::geteuid() == 0 && (previous.st_uid != 0 || previous.st_gid != 0)) {
            ok = ::fchown(file.Get(), previous.st_uid, previous.st_gid) == 0;
        }
    }
    ok = ok && ::fchmod(file.Get(), mode) == 0 && WriteAll(file.Get(), text) &&
         ::fsync(file.Get()) == 0 && file.Close() && ::rename(temporary.c_str(), path.c_str()) == 0;
    if (!ok) {
        const int error = errno;
        ::unlink(temporary.c_str());
        return Failed("write", path, error);
    }
    CFileDescriptor folder(::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    // Some file systems cannot sync a folder; the rename is then as safe as they make it.
    if (folder.IsOpen() && ::fsync(folder.Get()) != 0 && errno != EINVAL) {
        return Failed("sync", directory, errno);
    }
    return {true, {}};
}

std::vector<std::string> Without(std::vector<std::string> ids, const std::string& id) {
    ids.erase(std::remove(ids.begin(), ids.end(), id), ids.end());
    return ids;
}

bool Contains(const std::vector<std::string>& ids, const std::string& id) {
    return std::find(ids.begin(), ids.end(), id) != ids.end();
}

} // namespace

DesktopRegistrationPaths UserRegistrationPaths() {
    const std::string home = HomeDirectory();
    std::string data = AbsoluteVariable("XDG_DATA_HOME");
    std::string config = AbsoluteVariable("XDG_CONFIG_HOME");
    if (data.empty() && !home.empty()) {
        data = home + "/.local/share";
    }
    if (config.empty() && !home.empty()) {
        config = home + "/.config";
    }
    if (data.empty() || config.empty()) {
        return {};
    }
    return {data + "/applications", config + "/mimeapps.list"};
}

DesktopRegistrationPaths SystemRegistrationPaths() {
    return {FirstAbsoluteEntry("XDG_DATA_DIRS", "/usr/local/share") + "/applications",
            FirstAbsoluteEntry("XDG_CONFIG_DIRS", "/etc/xdg") + "/mimeapps.list"};
}

CDesktopRegistrationXdg::CDesktopRegistrationXdg(DesktopRegistrationPaths paths)
    : paths_(std::move(paths)) {}

std::string CDesktopRegistrationXdg::EntryPath() const {
    return paths_.applicationsDirectory + "/" + kWizardDesktopId;
}

RegistrationResult CDesktopRegistrationXdg::Register(const std::string& programPath,
                                                     const WizardEntryTexts& texts) {
    if (paths_.applicationsDirectory.empty() || paths_.mimeAppsListPath.empty()) {
        return {false, "cannot register: no home directory"};
    }
    if (programPath.empty() || programPath.front() != '/') {
        return {false, "cannot register: the program path is not absolute: " + programPath};
    }
    if (texts.name.empty()) {
        return {false, "cannot register: the handler has no name"};
    }
    int error = 0;
    const std::optional<std::string> listText = ReadFile(paths_.mimeAppsListPath, error);
    if (!listText) {
        return Failed("read", paths_.mimeAppsListPath, error);
    }
    const std::string entryPath = EntryPath();
    int entryError = 0;
    const std::optional<std::string> oldEntry = ReadFile(entryPath, entryError);
    if (!oldEntry) {
        return Failed("read", entryPath, entryError);
    }
    const bool hadEntry = entryError != ENOENT;
    const std::string id = kWizardDesktopId;
    CMimeAppsList list(*listText);
    const std::vector<std::string> others =
        Without(list.Get(kDefaultApplicationsSection, kCameraContentType), id);
    // A default that is ours alone (registered before, or chosen in a file manager) replaced
    // nothing new: what the first registration remembered stays.
    std::vector<std::string> previous = others;
    if (previous.empty()) {
        previous =
            SplitDesktopIdList(DesktopEntryValue(*oldEntry, kPreviousDefaultKey).value_or(""));
    }

    std::string entry =
        WizardDesktopEntryText(texts.name, texts.comment, kWizardIconName, programPath);
    if (!previous.empty()) {
        entry += std::string(kPreviousDefaultKey) + "=" +
                 EscapeDesktopEntryValue(JoinDesktopIdList(previous)) + "\n";
    }
    if (RegistrationResult written = WriteFileAtomically(entryPath, entry); !written.ok) {
        return written;
    }

    // The others stay behind ours, for a desktop that skips an entry it cannot use.
    std::vector<std::string> defaults{id};
    defaults.insert(defaults.end(), others.begin(), others.end());
    list.Set(kDefaultApplicationsSection, kCameraContentType, defaults);
    std::vector<std::string> added = list.Get(kAddedAssociationsSection, kCameraContentType);
    if (!Contains(added, id)) {
        added.push_back(id);
        list.Set(kAddedAssociationsSection, kCameraContentType, added);
    }
    const std::vector<std::string> removed =
        list.Get(kRemovedAssociationsSection, kCameraContentType);
    if (Contains(removed, id)) {
        list.Set(kRemovedAssociationsSection, kCameraContentType, Without(removed, id));
    }
    RegistrationResult result = WriteFileAtomically(paths_.mimeAppsListPath, list.Text());
    if (!result.ok) {
        // Without the default the entry is only a stray menu item: the registration either
        // happens whole or leaves things as they were.
        if (hadEntry) {
            WriteFileAtomically(entryPath, *oldEntry);
        } else {
            ::unlink(entryPath.c_str());
        }
    }
    return result;
}

RegistrationResult CDesktopRegistrationXdg::Unregister() {
    if (paths_.applicationsDirectory.empty() || paths_.mimeAppsListPath.empty()) {
        return {false, "cannot unregister: no home directory"};
    }
    int error = 0;
    const std::optional<std::string> listText = ReadFile(paths_.mimeAppsListPath, error);
    if (!listText) {
        return Failed("read", paths_.mimeAppsListPath, error);
    }
    const std::string entryPath = EntryPath();
    const std::optional<std::string> entry = ReadFile(entryPath, error);
    if (!entry) {
        return Failed("read", entryPath, error);
    }
    const std::string id = kWizardDesktopId;
    CMimeAppsList list(*listText);
    bool changed = false;
    const std::vector<std::string> defaults =
        list.Get(kDefaultApplicationsSection, kCameraContentType);
    if (Contains(defaults, id)) {
        std::vector<std::string> rest = Without(defaults, id);
        if (rest.empty()) {
            rest = SplitDesktopIdList(DesktopEntryValue(*entry, kPreviousDefaultKey).value_or(""));
        }
        list.Set(kDefaultApplicationsSection, kCameraContentType, rest);
        changed = true;
    }
    const std::vector<std::string> added = list.Get(kAddedAssociationsSection, kCameraContentType);
    if (Contains(added, id)) {
        list.Set(kAddedAssociationsSection, kCameraContentType, Without(added, id));
        changed = true;
    }
    if (changed) {
        if (RegistrationResult written = WriteFileAtomically(paths_.mimeAppsListPath, list.Text());
            !written.ok) {
            return written;
        }
    }
    if (::unlink(entryPath.c_str()) != 0 && errno != ENOENT) {
        return Failed("remove", entryPath, errno);
    }
    return {true, {}};
}

std::unique_ptr<CAbstractDesktopRegistration> CreateDesktopRegistration() {
    return std::make_unique<CDesktopRegistrationXdg>(::geteuid() == 0 ? SystemRegistrationPaths()
                                                                      : UserRegistrationPaths());
}
