#include "common/registry/linux/RegistryFile.h"

#include "common/files/RegularFile.h"
#include "common/files/linux/FileDescriptor.h"
#include "common/files/linux/FileWriting.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <string_view>
#include <utility>

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// GetString reads into a buffer of this many bytes, terminator included; longer text is not
// read at all.
constexpr std::size_t kTextReadLimit = 256;
// GetDword reads at most this many bytes.
constexpr std::size_t kNumberReadLimit = 4;
// Names longer than the enumeration buffer (255 bytes with its terminator) are not handed out.
constexpr std::size_t kEnumNameLimit = 255;
// A hive holds a few keys; one larger than this is not a hive the programs wrote, and reading it
// whole on every access would stall them. It is treated as unreadable, so it is never rewritten.
constexpr std::size_t kMaxHiveFileSize = std::size_t{16} << 20;

// Names and texts reach the store as the narrow registry interface sees them: up to the first
// zero byte.
std::string_view NarrowText(const std::string& text) {
    return std::string_view(text.c_str());
}

std::string_view SkipOneBackslash(std::string_view keyPath) {
    if (!keyPath.empty() && keyPath.front() == '\\') {
        keyPath.remove_prefix(1);
    }
    return keyPath;
}

std::string_view HiveRootName(int root) {
    return root == Machine ? kMachineHiveRootName : kUserHiveRootName;
}

RegistryValueKind KindOf(uint32_t type) {
    switch (type) {
    case RegistryType::Sz:
    case RegistryType::ExpandSz:
    case RegistryType::MultiSz:
        return RegistryValueText;
    case RegistryType::Dword:
    case RegistryType::DwordBigEndian:
    case RegistryType::Qword:
        return RegistryValueNumber;
    case RegistryType::Binary:
        return RegistryValueBinary;
    default:
        return RegistryValueNone;
    }
}

std::string JoinPath(std::string base, std::string_view tail) {
    while (base.size() > 1 && base.back() == '/') {
        base.pop_back();
    }
    base += '/';
    base += tail;
    return base;
}

// The hive file as it stands; nothing when it exists but cannot be read whole. A missing file
// is an empty hive.
std::optional<RegistryHiveText> ReadHiveFile(const std::string& path, std::string_view rootName) {
    int error = 0;
    const std::optional<std::string> text = ReadRegularFile(path, kMaxHiveFileSize, &error);
    if (!text) {
        if (error == ENOENT) {
            return RegistryHiveText{};
        }
        return std::nullopt;
    }
    return ParseRegistryHive(*text, rootName);
}

bool SyncDirectory(const std::string& directory) {
    CFileDescriptor dir(::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!dir.IsOpen()) {
        return false;
    }
    // Some file systems cannot sync a directory; the rename is as safe as they make it.
    return ::fsync(dir.Get()) == 0 || errno == EINVAL;
}

// Replaces the hive with text through a synced temporary file, so that a crash at any moment
// leaves the old hive or the new one whole. The caller holds the hive's lock, which makes the
// temporary file's fixed name safe.
bool ReplaceHiveFile(const std::string& path, const std::string& text) {
    const std::string directory = std::filesystem::path(path).parent_path().string();
    const std::string temporary = path + ".tmp";
    ::unlink(temporary.c_str()); // left over from a crash
    CFileDescriptor file(
        ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666));
    if (!file.IsOpen()) {
        return false;
    }
    // Keep the hive's permissions, and its owner when root writes someone else's hive.
    bool written = true;
    struct stat previous {};
    if (::stat(path.c_str(), &previous) == 0) {
        written = ::fchmod(file.Get(), previous.st_mode & 07777) == 0;
        if (written && ::geteuid() == 0 &&
            (previous.st_uid != ::geteuid() || previous.st_gid != ::getegid())) {
            written = ::fchown(file.Get(), previous.st_uid, previous.st_gid) == 0;
        }
    }
    written = written && WriteAll(file.Get(), text) && ::fsync(file.Get()) == 0 && file.Close();
    if (!written || ::rename(temporary.c_str(), path.c_str()) != 0) {
        ::unlink(temporary.c_str());
        return false;
    }
    return SyncDirectory(directory.empty() ? std::string(".") : directory);
}

// The name at an enumeration index goes to out whatever the outcome: empty when the index is
// past the end or the name does not fit the enumeration buffer.
bool HandOutEnumeratedName(const std::string* found, std::string& out) {
    const bool fits = found != nullptr && found->size() < kEnumNameLimit;
    out = fits ? *found : std::string();
    return fits;
}

CFileDescriptor LockHive(const std::string& path) {
    const std::string lockPath = path + ".lock";
    int fd = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0666);
    if (fd < 0 && errno == EACCES) {
        fd = ::open(lockPath.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    }
    CFileDescriptor lock(fd);
    if (!lock.IsOpen()) {
        return lock;
    }
    while (::flock(lock.Get(), LOCK_EX) != 0) {
        if (errno != EINTR) {
            return CFileDescriptor(-1);
        }
    }
    return lock;
}

} // namespace

CRegistryFile::CRegistryFile() : CRegistryFile(DefaultMachineHivePath(), DefaultUserHivePath()) {}

CRegistryFile::CRegistryFile(std::string machineHivePath, std::string userHivePath)
    : machineHivePath_(std::move(machineHivePath)), userHivePath_(std::move(userHivePath)) {}

std::string CRegistryFile::DefaultMachineHivePath() {
    std::string base = "/etc/xdg";
    if (const char* dirs = std::getenv("XDG_CONFIG_DIRS")) {
        // The first usable entry; relative entries are invalid and skipped.
        std::string_view list(dirs);
        while (!list.empty()) {
            const auto colon = list.find(':');
            const auto entry = list.substr(0, colon);
            if (!entry.empty() && entry.front() == '/') {
                base = entry;
                break;
            }
            list = colon == std::string_view::npos ? std::string_view() : list.substr(colon + 1);
        }
    }
    return JoinPath(base, "velmora/registry.reg");
}

std::string CRegistryFile::DefaultUserHivePath() {
    const char* configHome = std::getenv("XDG_CONFIG_HOME");
    if (configHome != nullptr && configHome[0] == '/') {
        return JoinPath(configHome, "velmora/registry.reg");
    }
    std::string home;
    if (const char* homeVariable = std::getenv("HOME");
        homeVariable != nullptr && homeVariable[0] == '/') {
        home = homeVariable;
    } else if (const passwd* account = ::getpwuid(::getuid());
               account != nullptr && account->pw_dir != nullptr && account->pw_dir[0] == '/') {
        home = account->pw_dir;
    } else {
        return {}; // no home: the user hive is unavailable and every access to it fails
    }
    return JoinPath(home, ".config/velmora/registry.reg");
}

const std::string* CRegistryFile::HivePath(int root) const {
    const std::string* path = nullptr;
    if (root == Machine) {
        path = &machineHivePath_;
    } else if (root == User) {
        path = &userHivePath_;
    }
    return path != nullptr && !path->empty() ? path : nullptr;
}

CRegistryFile::Hive CRegistryFile::Read(int root) const {
    Hive hive;
    if (const auto* path = HivePath(root)) {
        if (auto text = ReadHiveFile(*path, HiveRootName(root))) {
            hive.root = std::move(text->root);
            hive.readable = true;
        }
    }
    return hive;
}

const CRegistryKey* CRegistryFile::OpenKey(const Hive& hive, const std::string& keyPath) const {
    if (!hive.readable) {
        return nullptr;
    }
    const auto path = SplitRegistryKeyPath(NarrowText(keyPath));
    return path ? FindRegistryKey(hive.root, *path) : nullptr;
}

const RegistryValue* CRegistryFile::OpenValue(const Hive& hive, const std::string& keyPath,
                                              const std::string& valueName) const {
    const auto* key = OpenKey(hive, keyPath);
    return key != nullptr ? key->FindValue(NarrowText(valueName)) : nullptr;
}

bool CRegistryFile::Update(int root, const Mutation& mutation) {
    const auto* configuredPath = HivePath(root);
    if (configuredPath == nullptr) {
        return false;
    }
    const auto path = ResolveSymbolicLinks(*configuredPath);
    if (!path) {
        return false;
    }
    const auto rootName = HiveRootName(root);
    // A change that is already in place, or cannot be made, needs neither the lock nor a
    // write; in a hive that is not whole, nothing may be written at all.
    auto current = ReadHiveFile(*path, rootName);
    if (!current || !current->whole) {
        return false;
    }
    if (const Change change = mutation(current->root); change != Change::Made) {
        return change == Change::None;
    }

    if (const auto directory = std::filesystem::path(*path).parent_path(); !directory.empty()) {
        std::error_code error;
        std::filesystem::create_directories(directory, error);
        if (error) {
            return false;
        }
    }
    const CFileDescriptor lock = LockHive(*path);
    if (!lock.IsOpen()) {
        return false;
    }
    // Another process may have written since the first read: change what is there now.
    current = ReadHiveFile(*path, rootName);
    if (!current || !current->whole) {
        return false;
    }
    const Change change = mutation(current->root);
    if (change != Change::Made) {
        return change == Change::None;
    }
    const auto text = SerializeRegistryHive(current->root, rootName);
    return text && ReplaceHiveFile(*path, *text);
}

bool CRegistryFile::SetString(int root, const std::string& keyPath, const std::string& valueName,
                              const std::string& text) {
    const auto narrow = NarrowText(text);
    RegistryValue value{std::string(NarrowText(valueName)), RegistryType::Sz,
                        std::vector<uint8_t>(narrow.begin(), narrow.end()), false};
    value.data.push_back(0);
    return SetValue(root, keyPath, std::move(value));
}

bool CRegistryFile::SetDword(int root, const std::string& keyPath, const std::string& valueName,
                             uint32_t number) {
    RegistryValue value{std::string(NarrowText(valueName)), RegistryType::Dword, {}, false};
    for (int shift = 0; shift < 32; shift += 8) {
        value.data.push_back(static_cast<uint8_t>(number >> shift));
    }
    return SetValue(root, keyPath, std::move(value));
}

bool CRegistryFile::SetValue(int root, const std::string& keyPath, RegistryValue value) {
    const auto path = SplitRegistryKeyPath(NarrowText(keyPath));
    if (!path || value.name.size() > kMaxRegistryValueNameLength) {
        return false;
    }
    return Update(root, [&](CRegistryKey& hiveRoot) {
        CreateRegistryKey(hiveRoot, *path).SetValue(value);
        return Change::Made;
    });
}

std::string CRegistryFile::GetString(int root, const std::string& keyPath,
                                     const std::string& valueName, const std::string& defaultText) {
    const Hive hive = Read(root);
    const auto* value = OpenValue(hive, keyPath, valueName);
    if (value == nullptr || value->data.size() > kTextReadLimit) {
        return defaultText;
    }
    const RegistryValueKind kind = KindOf(value->type);
    if (kind == RegistryValueText) {
        std::string text = value->rawUtf16 ? Utf16LeToUtf8Lossy(value->data)
                                           : std::string(value->data.begin(), value->data.end());
        text.resize(NarrowText(text).size());
        return text.size() < kTextReadLimit ? text : defaultText;
    }
    if (kind == RegistryValueNumber) {
        // A number asked for as text reads as its decimal digits.
        const auto& data = value->data;
        uint64_t number = 0;
        if (value->type == RegistryType::Qword && data.size() == 8) {
            for (std::size_t i = 0; i < 8; ++i) {
                number |= static_cast<uint64_t>(data[i]) << (8 * i);
            }
        } else if (value->type == RegistryType::Dword && data.size() == 4) {
            number =
                data[0] | (data[1] << 8) | (data[2] << 16) | (static_cast<uint64_t>(data[3]) << 24);
        } else if (value->type == RegistryType::DwordBigEndian && data.size() == 4) {
            number =
                data[3] | (data[2] << 8) | (data[1] << 16) | (static_cast<uint64_t>(data[0]) << 24);
        } else {
            return defaultText;
        }
        return std::to_string(number);
    }
    return defaultText;
}

uint32_t CRegistryFile::GetDword(int root, const std::string& keyPath, const std::string& valueName,
                                 uint32_t defaultValue) {
    const Hive hive = Read(root);
    const auto* value = OpenValue(hive, keyPath, valueName);
    // The stored type is not examined: whatever fits the number's four bytes is read.
    if (value == nullptr || value->data.empty() || value->data.size() > kNumberReadLimit) {
        return defaultValue;
    }
    uint32_t number = 0;
    for (std::size_t i = 0; i < value->data.size(); ++i) {
        number |= static_cast<uint32_t>(value->data[i]) << (8 * i);
    }
    return number;
}

bool CRegistryFile::ValueExists(int root, const std::string& keyPath,
                                const std::string& valueName) {
    return OpenValue(Read(root), keyPath, valueName) != nullptr;
}

bool CRegistryFile::DeleteValue(int root, const std::string& keyPath,
                                const std::string& valueName) {
    const auto path = SplitRegistryKeyPath(NarrowText(keyPath));
    if (!path) {
        return false;
    }
    const auto name = NarrowText(valueName);
    return Update(root, [&](CRegistryKey& hiveRoot) {
        auto* key = FindRegistryKey(hiveRoot, *path);
        return key != nullptr && key->DeleteValue(name) ? Change::Made : Change::Failed;
    });
}

uint32_t CRegistryFile::GetValueSize(int root, const std::string& keyPath,
                                     const std::string& valueName) {
    const Hive hive = Read(root);
    const auto* value = OpenValue(hive, keyPath, valueName);
    return value != nullptr ? static_cast<uint32_t>(value->data.size()) : 0;
}

RegistryValueKind CRegistryFile::GetValueKind(int root, const std::string& keyPath,
                                              const std::string& valueName) {
    const Hive hive = Read(root);
    const auto* key = OpenKey(hive, keyPath);
    if (key == nullptr) {
        return RegistryValueNone;
    }
    // As the registry's type query with its type preset to text: a value missing from an
    // existing key reports text (GetString then answers it with its default).
    const auto* value = key->FindValue(NarrowText(valueName));
    return value != nullptr ? KindOf(value->type) : RegistryValueText;
}

uint32_t CRegistryFile::GetValueCount(int root, const std::string& keyPath) {
    const Hive hive = Read(root);
    const auto* key = OpenKey(hive, keyPath);
    return key != nullptr ? static_cast<uint32_t>(key->Values().size()) : 0;
}

bool CRegistryFile::EnumValueName(int root, const std::string& keyPath, uint32_t index,
                                  std::string& name) {
    const Hive hive = Read(root);
    const auto* key = OpenKey(hive, keyPath);
    if (key == nullptr) {
        return false;
    }
    return HandOutEnumeratedName(
        index < key->Values().size() ? &key->Values()[index].name : nullptr, name);
}

bool CRegistryFile::KeyExists(int root, const std::string& keyPath) {
    const Hive hive = Read(root);
    if (!hive.readable) {
        return false;
    }
    const auto path = SplitRegistryKeyPath(SkipOneBackslash(NarrowText(keyPath)));
    return path && FindRegistryKey(hive.root, *path) != nullptr;
}

bool CRegistryFile::CreateKey(int root, const std::string& keyPath) {
    const auto path = SplitRegistryKeyPath(SkipOneBackslash(NarrowText(keyPath)));
    if (!path) {
        return false;
    }
    return Update(root, [&](CRegistryKey& hiveRoot) {
        if (FindRegistryKey(hiveRoot, *path) != nullptr) {
            return Change::None;
        }
        CreateRegistryKey(hiveRoot, *path);
        return Change::Made;
    });
}

bool CRegistryFile::DeleteKey(int root, const std::string& keyPath) {
    const auto path = SplitRegistryKeyPath(SkipOneBackslash(NarrowText(keyPath)));
    if (!path || path->empty()) {
        return false; // the hive's root cannot be deleted
    }
    const std::vector<std::string_view> parentPath(path->begin(), path->end() - 1);
    const auto name = path->back();
    return Update(root, [&](CRegistryKey& hiveRoot) {
        auto* parent = FindRegistryKey(hiveRoot, parentPath);
        const auto* key = parent != nullptr ? parent->FindSubKey(name) : nullptr;
        if (key == nullptr) {
            return Change::None; // deleting a missing key succeeds
        }
        if (key->SubKeyCount() > 0) {
            return Change::Failed; // not recursive
        }
        parent->RemoveSubKey(name);
        return Change::Made;
    });
}

uint32_t CRegistryFile::GetSubKeyCount(int root, const std::string& keyPath) {
    const Hive hive = Read(root);
    const auto* key = OpenKey(hive, keyPath);
    return key != nullptr ? static_cast<uint32_t>(key->SubKeyCount()) : 0;
}

bool CRegistryFile::EnumSubKeyName(int root, const std::string& keyPath, uint32_t index,
                                   std::string& name) {
    const Hive hive = Read(root);
    const auto* key = OpenKey(hive, keyPath);
    if (key == nullptr) {
        return false;
    }
    return HandOutEnumeratedName(index < key->SubKeyCount() ? &key->SubKey(index).Name() : nullptr,
                                 name);
}

std::unique_ptr<CRegistry> CreatePlatformRegistry() {
    return std::make_unique<CRegistryFile>();
}
