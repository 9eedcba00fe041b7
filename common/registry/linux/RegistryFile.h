// The registry store kept in files: one text file a hive, in the registry editor's export format.
#pragma once

#include "common/registry/Registry.h"
#include "common/registry/RegistryHive.h"

#include <functional>
#include <string>

// Every operation reads the hive file afresh, so that what another process wrote is seen at
// once. A write holds an exclusive flock on the sibling "<hive>.lock" while it re-reads the
// hive, changes it, writes a temporary file beside it, syncs it and renames it over the hive:
// concurrent writers lose nothing, and a crash leaves either the old hive or the new one.
// A hive that cannot be read whole (damaged, cut off, unreadable) is never written: reads give
// what could be read, writes fail.
class CRegistryFile : public CRegistry {
public:
    // The hives at their usual places: velmora/registry.reg under the first directory of
    // $XDG_CONFIG_DIRS (machine) and under $XDG_CONFIG_HOME (user).
    CRegistryFile();
    CRegistryFile(std::string machineHivePath, std::string userHivePath);

    static std::string DefaultMachineHivePath();
    static std::string DefaultUserHivePath();

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

private:
    struct Hive {
        CRegistryKey root;
        bool readable = false;
    };
    enum class Change { Failed, None, Made };
    using Mutation = std::function<Change(CRegistryKey& root)>;

    const std::string* HivePath(int root) const;
    Hive Read(int root) const;
    // The key at keyPath in a freshly read hive, or nothing when it cannot be opened.
    const CRegistryKey* OpenKey(const Hive& hive, const std::string& keyPath) const;
    const RegistryValue* OpenValue(const Hive& hive, const std::string& keyPath,
                                   const std::string& valueName) const;
    bool Update(int root, const Mutation& mutation);
    bool SetValue(int root, const std::string& keyPath, RegistryValue value);

    std::string machineHivePath_;
    std::string userHivePath_;
};
