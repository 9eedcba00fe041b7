#include "common/registry/windows/RegistryWin.h"

#include "common/files/windows/WideText.h"

#include <windows.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

namespace {

// GetString reads into a buffer of this many bytes of UTF-8, terminator included; longer text is
// not read at all.
constexpr std::size_t kTextReadLimit = 256;
// Names longer than the enumeration buffer (255 characters with its terminator) are not handed
// out.
constexpr DWORD kEnumNameLimit = 255;

// Names and texts reach the registry as a narrow interface would see them: up to the first zero
// byte.
std::wstring Wide(const std::string& text) {
    return WideFromUtf8(std::string_view(text.c_str()));
}

std::string_view SkipOneBackslash(std::string_view keyPath) {
    if (!keyPath.empty() && keyPath.front() == '\\') {
        keyPath.remove_prefix(1);
    }
    return keyPath;
}

std::optional<HKEY> HiveOf(int root) {
    switch (root) {
    case Machine:
        return HKEY_LOCAL_MACHINE;
    case User:
        return HKEY_CURRENT_USER;
    default:
        return std::nullopt;
    }
}

struct KeyCloser {
    void operator()(HKEY key) const { ::RegCloseKey(key); }
};
using UniqueKey = std::unique_ptr<std::remove_pointer_t<HKEY>, KeyCloser>;

UniqueKey OpenKey(int root, std::string_view keyPath, REGSAM access) {
    const auto hive = HiveOf(root);
    if (!hive) {
        return nullptr;
    }
    HKEY key = nullptr;
    const std::wstring path = WideFromUtf8(keyPath);
    if (::RegOpenKeyExW(*hive, path.c_str(), 0, access, &key) != ERROR_SUCCESS) {
        return nullptr;
    }
    return UniqueKey(key);
}

UniqueKey OpenKey(int root, const std::string& keyPath, REGSAM access) {
    return OpenKey(root, std::string_view(keyPath.c_str()), access);
}

// The value's type and data, or nothing when the key or the value cannot be read.
struct StoredValue {
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
};

std::optional<StoredValue> QueryValue(int root, const std::string& keyPath,
                                      const std::string& valueName) {
    const UniqueKey key = OpenKey(root, keyPath, KEY_READ);
    if (!key) {
        return std::nullopt;
    }
    const std::wstring name = Wide(valueName);
    StoredValue value;
    DWORD size = 0;
    if (::RegQueryValueExW(key.get(), name.c_str(), nullptr, &value.type, nullptr, &size) !=
        ERROR_SUCCESS) {
        return std::nullopt;
    }
    value.data.resize(size);
    if (size > 0 && ::RegQueryValueExW(key.get(), name.c_str(), nullptr, &value.type,
                                       value.data.data(), &size) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    value.data.resize(size);
    return value;
}

RegistryValueKind KindOf(DWORD type) {
    switch (type) {
    case REG_SZ:
    case REG_EXPAND_SZ:
    case REG_MULTI_SZ:
        return RegistryValueText;
    case REG_DWORD:
    case REG_DWORD_BIG_ENDIAN:
    case REG_QWORD:
        return RegistryValueNumber;
    case REG_BINARY:
        return RegistryValueBinary;
    default:
        return RegistryValueNone;
    }
}

uint64_t LittleEndian(const std::vector<BYTE>& data) {
    uint64_t number = 0;
    for (std::size_t i = data.size(); i > 0; --i) {
        number = (number << 8) | data[i - 1];
    }
    return number;
}

bool SetValue(int root, const std::string& keyPath, const std::string& valueName, DWORD type,
              const BYTE* data, DWORD size, CRegistryWin& registry) {
    if (!registry.KeyExists(root, keyPath) && !registry.CreateKey(root, keyPath)) {
        return false;
    }
    const UniqueKey key = OpenKey(root, keyPath, KEY_WRITE);
    if (!key) {
        return false;
    }
    return ::RegSetValueExW(key.get(), Wide(valueName).c_str(), 0, type, data, size) ==
           ERROR_SUCCESS;
}

// The name at an enumeration index goes to out whatever the outcome: empty when it failed.
bool HandOutName(LONG status, const wchar_t* name, DWORD length, std::string& out) {
    const bool found = status == ERROR_SUCCESS;
    out = found ? Utf8FromWide(std::wstring_view(name, length)) : std::string();
    return found;
}

} // namespace

bool CRegistryWin::SetString(int root, const std::string& keyPath, const std::string& valueName,
                             const std::string& text) {
    const std::wstring wide = Wide(text);
    // REG_SZ holds its terminating zero.
    const DWORD size = static_cast<DWORD>((wide.size() + 1) * sizeof(wchar_t));
    return SetValue(root, keyPath, valueName, REG_SZ, reinterpret_cast<const BYTE*>(wide.c_str()),
                    size, *this);
}

bool CRegistryWin::SetDword(int root, const std::string& keyPath, const std::string& valueName,
                            uint32_t value) {
    const DWORD number = value;
    return SetValue(root, keyPath, valueName, REG_DWORD, reinterpret_cast<const BYTE*>(&number),
                    sizeof number, *this);
}

std::string CRegistryWin::GetString(int root, const std::string& keyPath,
                                    const std::string& valueName, const std::string& defaultText) {
    const auto value = QueryValue(root, keyPath, valueName);
    if (!value) {
        return defaultText;
    }
    const RegistryValueKind kind = KindOf(value->type);
    if (kind == RegistryValueText) {
        std::wstring wide(value->data.size() / sizeof(wchar_t), L'\0');
        std::copy(value->data.begin(), value->data.begin() + wide.size() * sizeof(wchar_t),
                  reinterpret_cast<BYTE*>(wide.data()));
        wide.resize(std::wstring_view(wide.c_str()).size());
        std::string text = Utf8FromWide(wide);
        return text.size() < kTextReadLimit ? text : defaultText;
    }
    if (kind == RegistryValueNumber) {
        // A number asked for as text reads as its decimal digits.
        const auto& data = value->data;
        if (value->type == REG_QWORD && data.size() == 8) {
            return std::to_string(LittleEndian(data));
        }
        if (value->type == REG_DWORD && data.size() == 4) {
            return std::to_string(LittleEndian(data));
        }
        if (value->type == REG_DWORD_BIG_ENDIAN && data.size() == 4) {
            return std::to_string(uint32_t{data[3]} | uint32_t{data[2]} << 8 |
                                  uint32_t{data[1]} << 16 | uint32_t{data[0]} << 24);
        }
    }
    return defaultText;
}

uint32_t CRegistryWin::GetDword(int root, const std::string& keyPath, const std::string& valueName,
                                uint32_t defaultValue) {
    const UniqueKey key = OpenKey(root, keyPath, KEY_READ);
    if (!key) {
        return defaultValue;
    }
    // The stored type is not examined: whatever fits the number's four bytes is read.
    BYTE data[4] = {};
    DWORD size = sizeof data;
    if (::RegQueryValueExW(key.get(), Wide(valueName).c_str(), nullptr, nullptr, data, &size) !=
            ERROR_SUCCESS ||
        size == 0) {
        return defaultValue;
    }
    return static_cast<uint32_t>(LittleEndian(std::vector<BYTE>(data, data + size)));
}

bool CRegistryWin::ValueExists(int root, const std::string& keyPath, const std::string& valueName) {
    const UniqueKey key = OpenKey(root, keyPath, KEY_QUERY_VALUE);
    return key && ::RegQueryValueExW(key.get(), Wide(valueName).c_str(), nullptr, nullptr, nullptr,
                                     nullptr) == ERROR_SUCCESS;
}

bool CRegistryWin::DeleteValue(int root, const std::string& keyPath, const std::string& valueName) {
    const UniqueKey key = OpenKey(root, keyPath, KEY_SET_VALUE);
    return key && ::RegDeleteValueW(key.get(), Wide(valueName).c_str()) == ERROR_SUCCESS;
}

uint32_t CRegistryWin::GetValueSize(int root, const std::string& keyPath,
                                    const std::string& valueName) {
    const UniqueKey key = OpenKey(root, keyPath, KEY_QUERY_VALUE);
    DWORD size = 0;
    if (!key || ::RegQueryValueExW(key.get(), Wide(valueName).c_str(), nullptr, nullptr, nullptr,
                                   &size) != ERROR_SUCCESS) {
        return 0;
    }
    return size;
}

RegistryValueKind CRegistryWin::GetValueKind(int root, const std::string& keyPath,
                                             const std::string& valueName) {
    const UniqueKey key = OpenKey(root, keyPath, KEY_QUERY_VALUE);
    if (!key) {
        return RegistryValueNone;
    }
    // The type is preset to text: a value missing from an existing key reports text, which
    // GetString then answers with its default.
    DWORD type = REG_SZ;
    ::RegQueryValueExW(key.get(), Wide(valueName).c_str(), nullptr, &type, nullptr, nullptr);
    return KindOf(type);
}

uint32_t CRegistryWin::GetValueCount(int root, const std::string& keyPath) {
    const UniqueKey key = OpenKey(root, keyPath, KEY_QUERY_VALUE);
    DWORD values = 0;
    if (!key || ::RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                   &values, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
        return 0;
    }
    return values;
}

bool CRegistryWin::EnumValueName(int root, const std::string& keyPath, uint32_t index,
                                 std::string& name) {
    const UniqueKey key = OpenKey(root, keyPath, KEY_QUERY_VALUE);
    if (!key) {
        return false;
    }
    wchar_t buffer[kEnumNameLimit + 1] = {};
    DWORD length = kEnumNameLimit;
    const LONG status =
        ::RegEnumValueW(key.get(), index, buffer, &length, nullptr, nullptr, nullptr, nullptr);
    return HandOutName(status, buffer, length, name);
}

bool CRegistryWin::KeyExists(int root, const std::string& keyPath) {
    return OpenKey(root, SkipOneBackslash(keyPath.c_str()), KEY_QUERY_VALUE) != nullptr;
}

bool CRegistryWin::CreateKey(int root, const std::string& keyPath) {
    const auto hive = HiveOf(root);
    if (!hive) {
        return false;
    }
    const std::wstring path = WideFromUtf8(SkipOneBackslash(keyPath.c_str()));
    HKEY key = nullptr;
    if (::RegCreateKeyExW(*hive, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_QUERY_VALUE,
                          nullptr, &key, nullptr) != ERROR_SUCCESS) {
        return false;
    }
    ::RegCloseKey(key);
    return true;
}

bool CRegistryWin::DeleteKey(int root, const std::string& keyPath) {
    const std::string_view path = SkipOneBackslash(keyPath.c_str());
    const auto hive = HiveOf(root);
    if (!hive || path.empty()) {
        return false; // the hive's root cannot be deleted
    }
    if (!KeyExists(root, std::string(path))) {
        return true; // deleting a missing key succeeds
    }
    // Not recursive: the registry refuses a key that has sub-keys.
    return ::RegDeleteKeyW(*hive, WideFromUtf8(path).c_str()) == ERROR_SUCCESS;
}

uint32_t CRegistryWin::GetSubKeyCount(int root, const std::string& keyPath) {
    const UniqueKey key = OpenKey(root, keyPath, KEY_QUERY_VALUE);
    DWORD subKeys = 0;
    if (!key || ::RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr,
                                   nullptr, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
        return 0;
    }
    return subKeys;
}

bool CRegistryWin::EnumSubKeyName(int root, const std::string& keyPath, uint32_t index,
                                  std::string& name) {
    const UniqueKey key = OpenKey(root, keyPath, KEY_ENUMERATE_SUB_KEYS);
    if (!key) {
        return false;
    }
    wchar_t buffer[kEnumNameLimit + 1] = {};
    DWORD length = kEnumNameLimit;
    const LONG status =
        ::RegEnumKeyExW(key.get(), index, buffer, &length, nullptr, nullptr, nullptr, nullptr);
    return HandOutName(status, buffer, length, name);
}

std::unique_ptr<CRegistry> CreatePlatformRegistry() {
    return std::make_unique<CRegistryWin>();
}
