// What tests need of the system on Linux and Windows alike: a private temporary folder, the
// environment, and the user's home folder. Paths and values are UTF-8 on both.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

// A new, empty folder of this process's own under the system's temporary folder, named after
// prefix; empty when none could be made. Its path has no trailing separator.
std::string MakeTemporaryFolder(const std::string& prefix);

// Sets (or, with nullopt, removes) an environment variable of this process, seen by getenv and by
// the system's own environment calls alike.
void SetTestEnvironment(const std::string& name, const std::optional<std::string>& value);
std::optional<std::string> TestEnvironment(const std::string& name);

// The user's home folder (the account's, not $HOME); empty when it cannot be found.
std::string UserHomeFolder();

// A UTF-8 path as the file system library takes it on every platform.
inline std::filesystem::path PathFromUtf8(const std::string& path) {
    return std::filesystem::path(std::u8string(path.begin(), path.end()));
}

// A temporary folder of the test's own (MakeTemporaryFolder), removed with all it holds when the
// object goes.
class ScratchFolder {
public:
    explicit ScratchFolder(const std::string& prefix) : m_path(MakeTemporaryFolder(prefix)) {}
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::string& Path() const { return m_path; }
    // Makes the folder `relative` (with its parents) inside; its path.
    std::string Make(const std::string& relative) const;
    // Writes `text` to the file `relative` inside, making its folders; its path.
    std::string Write(const std::string& relative, const std::string& text) const;

private:
    std::string m_path;
};

// Sets (or, with nullopt, removes) an environment variable for the life of the object.
class ScopedEnvironment {
public:
    ScopedEnvironment(const char* name, std::optional<std::string> value)
        : m_name(name), m_old(TestEnvironment(name)) {
        SetTestEnvironment(m_name, value);
    }
    ~ScopedEnvironment() { SetTestEnvironment(m_name, m_old); }
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

private:
    std::string m_name;
    std::optional<std::string> m_old;
};
