#include "LauncherTestWorld.h"

#include "TestProcess.h"

#include "common/registry/Registry.h"

#include <gtest/gtest.h>

#include <cstdlib>

void PrepareLauncherWorld(const std::filesystem::path& folder, const std::string& settings) {
    ClearProxyEnvironment();
    WriteTextFile(folder / "program" / "settings.ini", settings);
    setenv("VELMORA_PROGRAM_DIR", (folder / "program").c_str(), 1);
    setenv("XDG_CONFIG_DIRS", (folder / "machine").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (folder / "user").c_str(), 1);
}

bool InstallRecordingOpener(const std::filesystem::path& folder,
                            const std::vector<std::string>& schemes) {
    std::vector<std::string> command{
        "bash", std::string(VELMORA_SOURCE_DIR) + "/tests/support/recording-opener.sh",
        (folder / "opened.log").string()};
    command.insert(command.end(), schemes.begin(), schemes.end());
    ChildProcess install(command);
    return install.Wait(std::chrono::seconds(20)) == 0;
}

std::vector<std::string> OpenedAddresses(const std::filesystem::path& folder) {
    return ReadLines(folder / "opened.log");
}

void SetProductValue(int root, const char* name, const char* value) {
    CreateRegistry();
    EXPECT_TRUE(GetRegistry()->SetString(root, kProductKeyPath, name, value)) << name;
    DestroyRegistry();
}

std::string ProductValue(int root, const char* name) {
    CreateRegistry();
    std::string value = GetRegistry()->GetString(root, kProductKeyPath, name, "<none>");
    DestroyRegistry();
    return value;
}
