// The registry store in the Windows registry: HKEY_LOCAL_MACHINE for Machine, HKEY_CURRENT_USER
// for User. Every operation opens the key it needs, makes one registry call and closes the key,
// so no handle is held between calls. Texts are UTF-8 here and UTF-16 in the registry.
#pragma once

#include "common/registry/Registry.h"

class CRegistryWin : public CRegistry {
public:
    bool SetString(int root, const std::string& keyPath, const std::string& valueName,
                   const std::string& text) override;
    bool SetDword(int root, const std::string& keyPath, const std::string& valueName,
                  uint32_t value) override;
    std::string GetString(int root, const std::string& keyPath, const std::string& valueName,
                          const std::string& defaultText) override;
    uint32_t GetDword(int root, const std::string& keyPath, const std::string& valueName,
                      uint32_t defaultValue) override;
    bool ValueExists(int root, const std::string& keyPath, const std::string& valueName) override;
    bool DeleteValue(int root, const std::string& keyPath, const std::string& valueName) override;
    uint32_t GetValueSize(int root, const std::string& keyPath,
                          const std::string& valueName) override;
    RegistryValueKind GetValueKind(int root, const std::string& keyPath,
                                   const std::string& valueName) override;
    uint32_t GetValueCount(int root, const std::string& keyPath) override;
    bool EnumValueName(int root, const std::string& keyPath, uint32_t index,
                       std::string& name) override;
    bool KeyExists(int root, const std::string& keyPath) override;
    bool CreateKey(int root, const std::string& keyPath) override;
    bool DeleteKey(int root, const std::string& keyPath) override;
    uint32_t GetSubKeyCount(int root, const std::string& keyPath) override;
    bool EnumSubKeyName(int root, const std::string& keyPath, uint32_t index,
                        std::string& name) override;
};
