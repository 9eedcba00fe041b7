// The volume facts of a folder, from prepared mount tables and label folders, and from a real
// read-only tmpfs in a mount namespace of the test's own.
#include "wizard/app/linux/VolumeInfo.h"
#include "PortableTestSupport.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// A path as mountinfo writes it.
std::string Escaped(const std::string& path) {
    std::string escaped;
    for (const char c : path) {
        switch (c) {
        case ' ':
            escaped += "\\040";
            break;
        case '\t':
            escaped += "\\011";
            break;
        case '\n':
            escaped += "\\012";
            break;
        case '\\':
            escaped += "\\134";
            break;
        default:
            escaped += c;
        }
    }
    return escaped;
}

std::vector<std::string> MountPoints(const std::vector<MountEntry>& mounts) {
    std::vector<std::string> points;
    for (const MountEntry& mount : mounts) {
        points.push_back(mount.mountPoint);
    }
    return points;
}

TEST(VolumeParsing, EscapesAreDecodedWhereTheyAreWhole) {
    EXPECT_EQ(DecodeMountInfoField("/media/me/My\\040Card\\011x\\134y"), "/media/me/My Card\tx\\y");
    EXPECT_EQ(DecodeMountInfoField("a\\04"), "a\\04");
    EXPECT_EQ(DecodeMountInfoField("a\\049b"), "a\\049b");
    EXPECT_EQ(DecodeDiskLabel("Holiday\\x20Card\\x2fB"), "Holiday Card/B");
    EXPECT_EQ(DecodeDiskLabel("\\xC3\\xa9t\\xC3\\xA9"), "\xC3\xA9t\xC3\xA9");
    EXPECT_EQ(DecodeDiskLabel("a\\x2"), "a\\x2");
    EXPECT_EQ(DecodeDiskLabel("a\\xg0\\y"), "a\\xg0\\y");
}

TEST(VolumeParsing, MountInfoLinesGiveMountPointFileSystemAndSource) {
    const std::vector<MountEntry> mounts = ParseMountInfo(
        "22 1 8:1 / / rw,relatime shared:1 - ext4 /dev/sda1 rw,errors=remount-ro\n"
        "30 22 8:17 / /media/me/My\\040Card rw,nosuid shared:5 master:2 - vfat /dev/sd\\040b1 "
        "rw\n"
        "31 22 0:40 / /no/separator rw tmpfs tmpfs rw\n"
        "32 22 0:41 / /short rw - tmpfs\n"
        "garbage\n"
        "\n"
        "33 22 0:42 / /last rw - tmpfs none rw"); // no line break at the end
    ASSERT_EQ(MountPoints(mounts), (std::vector<std::string>{"/", "/media/me/My Card", "/last"}));
    EXPECT_EQ(mounts[0].fileSystem, "ext4");
    EXPECT_EQ(mounts[0].source, "/dev/sda1");
    EXPECT_EQ(mounts[1].fileSystem, "vfat");
    EXPECT_EQ(mounts[1].source, "/dev/sd b1");
    EXPECT_EQ(mounts[2].source, "none");
}

TEST(VolumeParsing, TheLongestWholeComponentPrefixWinsAndTheLastOfEquals) {
    const std::vector<MountEntry> mounts = ParseMountInfo("1 0 8:1 / / rw - ext4 /dev/root rw\n"
                                                          "2 1 0:40 / /mnt/a rw - tmpfs first rw\n"
                                                          "3 2 0:41 / /mnt/a/b rw - tmpfs b rw\n"
                                                          "4 1 0:42 / /mnt/ab rw - tmpfs ab rw\n"
                                                          "5 2 0:43 / /mnt/a rw - tmpfs over rw\n");
    const auto sourceOf = [&](std::string_view path) {
        const MountEntry* mount = FindMountOf(mounts, path);
        return mount != nullptr ? mount->source : std::string("(none)");
    };
    EXPECT_EQ(sourceOf("/mnt/a/b/c"), "b");
    EXPECT_EQ(sourceOf("/mnt/a/b"), "b");
    EXPECT_EQ(sourceOf("/mnt/a/bc"), "over");
    EXPECT_EQ(sourceOf("/mnt/a"), "over");
    EXPECT_EQ(sourceOf("/mnt/abc"), "/dev/root");
    EXPECT_EQ(sourceOf("/mnt/ab/x"), "ab");
    EXPECT_EQ(sourceOf("/"), "/dev/root");
    EXPECT_EQ(FindMountOf(ParseMountInfo("2 1 0:40 / /mnt/a rw - tmpfs a rw\n"), "/mnt/b"),
              nullptr);
}

// A prepared world: devices as plain files, a by-label folder linking to them, and a mount table
// with the root and a card whose mount point holds a space.
class PreparedVolumes : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(m_temp.Path().empty());
        m_cardDevice = m_temp.Write("dev/sdb1", "");
        m_rootDevice = m_temp.Write("dev/sda1", "");
        m_temp.Write("dev/sdc1", "");
        m_temp.Make("by-label");
        fs::create_symlink("../dev/sdc1", m_temp.Path() + "/by-label/Other");
        fs::create_symlink("../dev/sdb1", m_temp.Path() + "/by-label/Holiday\\x20Card");
        m_card = m_temp.Make("media/My Card");
        m_temp.Make("media/My Card/DCIM/100CANON");
        m_temp.Make("media/My Card2");
        m_sources.byLabel = m_temp.Path() + "/by-label";
    }

    void WriteMountInfo(const std::string& cardSource) {
        m_sources.mountInfo =
            m_temp.Write("mountinfo", "1 0 8:1 / / rw - ext4 " + Escaped(m_rootDevice) + " rw\n" +
                                          "2 1 8:17 / " + Escaped(m_card) + " rw - vfat " +
                                          Escaped(cardSource) + " rw\n");
    }

    ScratchFolder m_temp{"vm-volume"};
    std::string m_cardDevice;
    std::string m_rootDevice;
    std::string m_card;
    VolumeSources m_sources;
};

TEST_F(PreparedVolumes, ALabelledVolumeIsNamedByItsLabel) {
    WriteMountInfo(m_cardDevice);
    const FolderVolume volume = GetFolderVolume(m_card + "/DCIM/100CANON", m_sources);
    EXPECT_EQ(volume.status, FolderVolumeStatus::Ok);
    EXPECT_EQ(volume.displayName, "Holiday Card");
    EXPECT_EQ(volume.driveText, m_card);
    EXPECT_FALSE(volume.cannotDelete);

    // Reached through a link and with a trailing slash, it is the same folder.
    fs::create_symlink(m_card + "/DCIM", m_temp.Path() + "/shortcut");
    const FolderVolume linked = GetFolderVolume(m_temp.Path() + "/shortcut/", m_sources);
    EXPECT_EQ(linked.displayName, "Holiday Card");
    EXPECT_EQ(linked.driveText, m_card);
}

TEST_F(PreparedVolumes, WithoutALabelTheMountPointNamesTheVolume) {
    WriteMountInfo(m_temp.Path() + "/dev/sdd1"); // no label leads there
    const FolderVolume card = GetFolderVolume(m_card + "/DCIM", m_sources);
    EXPECT_EQ(card.displayName, "My Card");
    EXPECT_EQ(card.driveText, m_card);

    // A neighbour whose name only begins like the card's is on the root, which has no name:
    // the folder names itself.
    const FolderVolume neighbour = GetFolderVolume(m_temp.Path() + "/media/My Card2", m_sources);
    EXPECT_EQ(neighbour.displayName, "My Card2");
    EXPECT_EQ(neighbour.driveText, "/");
    EXPECT_EQ(GetFolderVolume("/", m_sources).displayName, "/");

    // A source that is not a path is never looked up in the working directory.
    ASSERT_EQ(chdir((m_temp.Path() + "/dev").c_str()), 0);
    fs::create_symlink("sdb1", m_temp.Path() + "/by-label/Relative");
    WriteMountInfo("sdb1");
    EXPECT_EQ(GetFolderVolume(m_card, m_sources).displayName, "My Card");
    ASSERT_EQ(chdir("/"), 0);
}

TEST_F(PreparedVolumes, AnUnreadableMountTableLeavesTheFolderAsItsOwnName) {
    m_sources.mountInfo = m_temp.Path() + "/no-such-mountinfo";
    const FolderVolume volume = GetFolderVolume(m_card + "/DCIM", m_sources);
    EXPECT_EQ(volume.status, FolderVolumeStatus::Ok);
    EXPECT_EQ(volume.displayName, "DCIM");
    EXPECT_EQ(volume.driveText, "");
}

TEST_F(PreparedVolumes, MissingAndUnreadableFoldersAreToldApart) {
    WriteMountInfo(m_cardDevice);
    const FolderVolume missing = GetFolderVolume(m_card + "/NOPE", m_sources);
    EXPECT_EQ(missing.status, FolderVolumeStatus::Missing);
    EXPECT_EQ(missing.error, ENOENT);
    EXPECT_TRUE(missing.displayName.empty());

    EXPECT_EQ(GetFolderVolume("", m_sources).status, FolderVolumeStatus::Missing);
    const std::string file = m_temp.Write("media/My Card/a.jpg", "x");
    EXPECT_EQ(GetFolderVolume(file, m_sources).status, FolderVolumeStatus::Missing);
    EXPECT_EQ(GetFolderVolume(file + "/sub", m_sources).status, FolderVolumeStatus::Missing);

    fs::create_symlink("loop-b", m_temp.Path() + "/loop-a");
    fs::create_symlink("loop-a", m_temp.Path() + "/loop-b");
    const FolderVolume looping = GetFolderVolume(m_temp.Path() + "/loop-a", m_sources);
    EXPECT_EQ(looping.status, FolderVolumeStatus::Unreadable);
    EXPECT_EQ(looping.error, ELOOP);

    if (geteuid() != 0) { // root reads every folder whatever its mode
        const std::string locked = m_temp.Make("locked");
        fs::permissions(locked, fs::perms::none);
        const FolderVolume denied = GetFolderVolume(locked, m_sources);
        EXPECT_EQ(denied.status, FolderVolumeStatus::Unreadable);
        EXPECT_EQ(denied.error, EACCES);
        fs::permissions(locked, fs::perms::owner_all);
    }
}

// Run in a mount namespace of its own (the test starts itself again under unshare), so that the
// tmpfs is seen by nobody else and goes away with the process.
constexpr const char* kNamespaceVariable = "VM_VOLUME_TEST_FOLDER";

void CheckReadOnlyTmpfs(const std::string& base) {
    const std::string device = base + "/card-device";
    std::ofstream(device) << "";
    fs::create_directories(base + "/by-label");
    fs::create_symlink(device, base + "/by-label/VM\\x20TEST");
    const std::string mountPoint = base + "/Card Reader";
    fs::create_directories(mountPoint);
    // tmpfs takes any text as its source; a path lets the label link lead to it.
    ASSERT_EQ(mount(device.c_str(), mountPoint.c_str(), "tmpfs", 0, "size=1m"), 0) << errno;
    fs::create_directories(mountPoint + "/DCIM");

    const FolderVolume writable = GetFolderVolume(mountPoint + "/DCIM");
    EXPECT_EQ(writable.status, FolderVolumeStatus::Ok);
    EXPECT_FALSE(writable.cannotDelete);
    EXPECT_EQ(writable.driveText, mountPoint); // the kernel's "\040" decoded
    EXPECT_EQ(writable.displayName, "Card Reader");

    ASSERT_EQ(mount(nullptr, mountPoint.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr), 0)
        << errno;
    const FolderVolume readOnly = GetFolderVolume(mountPoint + "/DCIM");
    EXPECT_EQ(readOnly.status, FolderVolumeStatus::Ok);
    EXPECT_TRUE(readOnly.cannotDelete);
    EXPECT_EQ(readOnly.driveText, mountPoint);

    VolumeSources sources;
    sources.byLabel = base + "/by-label";
    EXPECT_EQ(GetFolderVolume(mountPoint, sources).displayName, "VM TEST");

    // The folder above the mount is on another, writable file system.
    const FolderVolume outside = GetFolderVolume(base);
    EXPECT_FALSE(outside.cannotDelete);
    EXPECT_NE(outside.driveText, mountPoint);
}

TEST(RealVolume, ReadOnlyTmpfsInAPrivateMountNamespace) {
    if (const char* base = std::getenv(kNamespaceVariable)) {
        CheckReadOnlyTmpfs(base);
        return;
    }
    if (geteuid() != 0) {
        GTEST_SKIP() << "mounting a tmpfs needs root";
    }
    ScratchFolder temp{"vm-volume"};
    ASSERT_FALSE(temp.Path().empty());
    const std::string self = fs::read_symlink("/proc/self/exe").string();
    const std::string filter =
        std::string("--gtest_filter=") +
        ::testing::UnitTest::GetInstance()->current_test_info()->test_suite_name() + "." +
        ::testing::UnitTest::GetInstance()->current_test_info()->name();
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        setenv(kNamespaceVariable, temp.Path().c_str(), 1);
        execlp("unshare", "unshare", "-m", "--propagation", "private", self.c_str(), filter.c_str(),
               static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the checks inside the namespace failed (see above)";
}

} // namespace
