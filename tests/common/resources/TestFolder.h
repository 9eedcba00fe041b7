// Temporary folders for the resource and branding tests, and the environment settings of the
// portable test support.
#pragma once

#include "PortableTestSupport.h"
#include "common/files/Paths.h"

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

class TestFolder {
public:
    TestFolder() { m_path = MakeTemporaryFolder("velmora-res"); }
    ~TestFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    TestFolder(const TestFolder&) = delete;
    TestFolder& operator=(const TestFolder&) = delete;

    // With a trailing separator, as the program directory is written.
    std::string Path() const { return JoinPath(m_path.string(), ""); }

    void Write(const std::string& relative, const std::string& content) const {
        const auto file = m_path / relative;
        std::filesystem::create_directories(file.parent_path());
        std::ofstream(file, std::ios::binary) << content;
    }
    void Write(const std::string& relative, const std::vector<unsigned char>& bytes) const {
        Write(relative, std::string(bytes.begin(), bytes.end()));
    }

private:
    std::filesystem::path m_path;
};

// Enough of a PNG for the bundle reader, which checks the signature only.
inline std::vector<unsigned char> FakePng(unsigned char marker) {
    return {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n', 0, 0, 0, 13, marker};
}
