// Cameras for tests that need the real camera library: tmpfs file systems holding a DCIM folder,
// which libgphoto2 detects as cameras on "disk:" ports. Every case runs in a mount namespace of
// its own (the test starts itself again under unshare), so that its cameras are seen by nobody
// else and go away with it.
#pragma once

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

namespace camera_world {

namespace fs = std::filesystem;

inline constexpr const char* kWorldVariable = "VM_CAMERA_TEST_WORLD";

// True inside the namespace, where the case runs; false in the starting process, which has then
// run the case in the namespace and reported its outcome.
inline bool InCameraWorld() {
    if (std::getenv(kWorldVariable) != nullptr) {
        return true;
    }
    std::string base = (fs::temp_directory_path() / "vm-camera.XXXXXX").string();
    if (mkdtemp(base.data()) == nullptr) {
        ADD_FAILURE() << "no temporary folder: " << errno;
        return false;
    }
    const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
    const std::string filter =
        std::string("--gtest_filter=") + info->test_suite_name() + "." + info->name();
    const std::string self = fs::read_symlink("/proc/self/exe").string();
    const pid_t child = fork();
    if (child == 0) {
        setenv(kWorldVariable, base.c_str(), 1);
        execlp("unshare", "unshare", "-m", "--propagation", "private", self.c_str(), filter.c_str(),
               static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    const bool waited = child > 0 && waitpid(child, &status, 0) == child;
    std::error_code ignored;
    fs::remove_all(base, ignored); // the mounts ended with the namespace
    EXPECT_TRUE(waited && WIFEXITED(status) && WEXITSTATUS(status) == 0)
        << "the checks inside the namespace failed (see above), status " << status;
    return false;
}

// Skips the case without root; otherwise runs it in a namespace of its own and returns in the
// process that started it.
#define IN_CAMERA_WORLD()                                                                          \
    if (geteuid() != 0 && std::getenv(camera_world::kWorldVariable) == nullptr) {                  \
        GTEST_SKIP() << "mounting a tmpfs needs root";                                             \
    }                                                                                              \
    if (!camera_world::InCameraWorld())                                                            \
    return

inline std::string WorldBase() {
    return std::getenv(kWorldVariable);
}

// A tmpfs with a DCIM folder: a camera on port "disk:" + its mount point.
class TmpfsCamera {
public:
    explicit TmpfsCamera(const std::string& name, const std::string& size = "16m")
        : m_root(WorldBase() + "/" + name) {
        fs::create_directories(m_root);
        const std::string options = "size=" + size;
        m_mounted = mount("vm-camera", m_root.c_str(), "tmpfs", 0, options.c_str()) == 0;
        EXPECT_TRUE(m_mounted) << "mount failed: " << errno;
        fs::create_directories(m_root + "/DCIM");
    }
    ~TmpfsCamera() { Remove(); }
    TmpfsCamera(const TmpfsCamera&) = delete;
    TmpfsCamera& operator=(const TmpfsCamera&) = delete;

    std::string Port() const { return "disk:" + m_root; }
    const std::string& Root() const { return m_root; }

    std::string Write(const std::string& relative, const std::string& data) const {
        const std::string path = m_root + "/" + relative;
        fs::create_directories(fs::path(path).parent_path());
        std::ofstream(path, std::ios::binary) << data;
        return path;
    }

    // Pulled out of the machine.
    void Remove() {
        if (m_mounted) {
            EXPECT_EQ(umount2(m_root.c_str(), MNT_DETACH), 0) << errno;
            m_mounted = false;
        }
    }

private:
    std::string m_root;
    bool m_mounted = false;
};

inline std::string RandomBytes(size_t size, unsigned seed) {
    std::mt19937 generator(seed);
    std::string data(size, '\0');
    for (char& c : data) {
        c = static_cast<char>(generator());
    }
    return data;
}

} // namespace camera_world
