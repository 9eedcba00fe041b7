// One registry hive held in memory, and its text form: the registry editor's export format,
// which is how the file-backed store keeps a hive on disk and what people edit by hand.
//
//   Windows Registry Editor Version 5.00
//
//   [HKEY_CURRENT_USER\Software\Example]
//   @="the key's default value"
//   "name"="text with \\ and \" escaped"
//   "count"=dword:0000002a
//   "blob"=hex:01,02,03
//   "path"=hex(2):25,00,48,00,00,00
//
// Long hex data goes on over lines that end with a backslash.
// Key and value names compare without regard to case, as the registry does, and keep the case
// they were written with.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// Data types, numbered as the registry numbers them (and as hex(N): spells them).
namespace RegistryType {
inline constexpr uint32_t None = 0;
inline constexpr uint32_t Sz = 1;
inline constexpr uint32_t ExpandSz = 2;
inline constexpr uint32_t Binary = 3;
inline constexpr uint32_t Dword = 4;
inline constexpr uint32_t DwordBigEndian = 5;
inline constexpr uint32_t MultiSz = 7;
inline constexpr uint32_t Qword = 11;

inline constexpr bool IsText(uint32_t type) {
    return type == Sz || type == ExpandSz || type == MultiSz;
}
} // namespace RegistryType

// Longest key name component and value name the registry accepts, in bytes.
inline constexpr std::size_t kMaxRegistryKeyNameLength = 255;
inline constexpr std::size_t kMaxRegistryValueNameLength = 16383;

struct RegistryValue {
    std::string name;
    uint32_t type = RegistryType::None;
    // Text types hold UTF-8 with their terminating zero byte, so an empty text is one byte long.
    std::vector<uint8_t> data;
    // Text given in the file as UTF-16 that does not convert (an odd byte count, a lone
    // surrogate) stays as the file gave it, so that rewriting the hive loses nothing.
    bool rawUtf16 = false;

    bool operator==(const RegistryValue&) const = default;
};

class CRegistryKey {
public:
    CRegistryKey() = default;
    explicit CRegistryKey(std::string name);
    CRegistryKey(CRegistryKey&&) noexcept = default;
    CRegistryKey& operator=(CRegistryKey&&) noexcept = default;

    const std::string& Name() const { return name_; }

    // Values in the order they were first set.
    const std::vector<RegistryValue>& Values() const { return values_; }
    const RegistryValue* FindValue(std::string_view name) const;
    // Replaces the value of that name in place (keeping its position and its name's case) or
    // appends it.
    void SetValue(RegistryValue value);
    bool DeleteValue(std::string_view name);

    // Sub-keys in the registry's enumeration order: by name, ignoring case.
    std::size_t SubKeyCount() const { return subKeys_.size(); }
    const CRegistryKey& SubKey(std::size_t index) const { return *subKeys_[index]; }
    CRegistryKey* FindSubKey(std::string_view name);
    const CRegistryKey* FindSubKey(std::string_view name) const;
    // The sub-key of that name, created when missing.
    CRegistryKey& AddSubKey(std::string_view name);
    bool RemoveSubKey(std::string_view name);

    // Comment lines found in the key's section; they are written back after its key line.
    std::vector<std::string> comments;

private:
    std::size_t SubKeyPosition(std::string_view foldedName) const;

    std::string name_;
    std::string foldedName_;
    std::vector<RegistryValue> values_;
    std::unordered_map<std::string, std::size_t> valuePositions_; // folded name -> index
    std::vector<std::unique_ptr<CRegistryKey>> subKeys_;
};

// The name folded the way the registry compares names (upper case for ASCII, Latin, Greek and
// Cyrillic letters); other bytes, including invalid UTF-8, stay as they are.
std::string FoldRegistryName(std::string_view name);

// Splits a key path relative to a hive's root into its components. The empty path is the root
// itself. An empty component (a leading, doubled or trailing backslash) or one longer than
// kMaxRegistryKeyNameLength makes the path invalid.
std::optional<std::vector<std::string_view>> SplitRegistryKeyPath(std::string_view path);

CRegistryKey* FindRegistryKey(CRegistryKey& root, const std::vector<std::string_view>& path);
const CRegistryKey* FindRegistryKey(const CRegistryKey& root,
                                    const std::vector<std::string_view>& path);
// The key at that path, created with every missing key on the way.
CRegistryKey& CreateRegistryKey(CRegistryKey& root, const std::vector<std::string_view>& path);

// Hive roots as the key lines spell them.
inline constexpr std::string_view kMachineHiveRootName = "HKEY_LOCAL_MACHINE";
inline constexpr std::string_view kUserHiveRootName = "HKEY_CURRENT_USER";

struct RegistryHiveText {
    CRegistryKey root;
    // False when any part of the text was not understood, or the text was cut off (its last
    // line has no line break). Everything that could be read is in root all the same; a hive
    // that is not whole must never be written back, or what was not understood would be lost.
    bool whole = true;
};

// rootName is the root every key line must start with. An empty text is an empty hive.
RegistryHiveText ParseRegistryHive(std::string_view text, std::string_view rootName);

// The hive's text; nothing when a name or value cannot be written in the format (a line break
// in a name, text with a line break that is not valid UTF-8).
std::optional<std::string> SerializeRegistryHive(const CRegistryKey& root,
                                                 std::string_view rootName);

// UTF-16LE as the hex(2) and hex(7) forms hold text, to UTF-8 and back; nothing when the input
// does not convert exactly.
std::optional<std::string> Utf16LeToUtf8(const std::vector<uint8_t>& bytes);
std::optional<std::vector<uint8_t>> Utf8ToUtf16Le(std::string_view text);
// As Utf16LeToUtf8, with U+FFFD for what does not convert.
std::string Utf16LeToUtf8Lossy(const std::vector<uint8_t>& bytes);
