// Persistent per-user and machine-wide values of both programs.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

enum RegistryRoot : int {
    Machine = 0,
    User = 1,
};

enum RegistryValueKind : int {
    RegistryValueNone = 0,
    RegistryValueText = 1,
    RegistryValueNumber = 2,
    RegistryValueBinary = 5,
};

inline constexpr const char* kProductKeyPath =
    "Software\\Corvanta Corporation\\Velmora Desktop Applications\\1.2";
inline constexpr const char* kWizardSettingsKeyPath =
    "Software\\Corvanta Corporation\\Velmora Desktop Applications\\1.2\\Camera\\Default";

// The store every registry access of both programs goes through. No operation throws; a failure
// is the operation's result (false, 0, or the caller's default), so an absent value and an
// unreadable one look alike to a reader.
//
// root is Machine or User; any other value fails. Key paths are relative to the root, with
// single backslashes between components and none in front (only KeyExists, CreateKey and
// DeleteKey skip one leading backslash). Key and value names ignore case. Texts are UTF-8.
// Writes create the whole key path. GetString reads text of at most 255 bytes and numbers (as
// decimal digits), GetDword values of at most 4 bytes; anything else gives the default.
class CRegistry {
public:
    virtual ~CRegistry() = default;

    virtual bool SetString(int root, const std::string& keyPath, const std::string& valueName,
                           const std::string& text) = 0;
    virtual bool SetDword(int root, const std::string& keyPath, const std::string& valueName,
                          uint32_t value) = 0;
    virtual std::string GetString(int root, const std::string& keyPath,
                                  const std::string& valueName, const std::string& defaultText) = 0;
    virtual uint32_t GetDword(int root, const std::string& keyPath, const std::string& valueName,
                              uint32_t defaultValue) = 0;
    virtual bool ValueExists(int root, const std::string& keyPath,
                             const std::string& valueName) = 0;
    virtual bool DeleteValue(int root, const std::string& keyPath,
                             const std::string& valueName) = 0;
    virtual uint32_t GetValueSize(int root, const std::string& keyPath,
                                  const std::string& valueName) = 0;
    virtual RegistryValueKind GetValueKind(int root, const std::string& keyPath,
                                           const std::string& valueName) = 0;
    virtual uint32_t GetValueCount(int root, const std::string& keyPath) = 0;
    virtual bool EnumValueName(int root, const std::string& keyPath, uint32_t index,
                               std::string& name) = 0;
    virtual bool KeyExists(int root, const std::string& keyPath) = 0;
    virtual bool CreateKey(int root, const std::string& keyPath) = 0;
    virtual bool DeleteKey(int root, const std::string& keyPath) = 0;
    virtual uint32_t GetSubKeyCount(int root, const std::string& keyPath) = 0;
    virtual bool EnumSubKeyName(int root, const std::string& keyPath, uint32_t index,
                                std::string& name) = 0;
};

// The store of the platform being built: the registry itself on Windows, the hive files on Linux.
std::unique_ptr<CRegistry> CreatePlatformRegistry();

// The process-wide instance, created and destroyed by the program's start-up routine.
CRegistry* CreateRegistry();
CRegistry* GetRegistry();
void DestroyRegistry();

// The process-wide instance for the life of a scope: a program's run makes one.
class CRegistryScope {
public:
    CRegistryScope() { CreateRegistry(); }
    ~CRegistryScope() { DestroyRegistry(); }
    CRegistryScope(const CRegistryScope&) = delete;
    CRegistryScope& operator=(const CRegistryScope&) = delete;
};
