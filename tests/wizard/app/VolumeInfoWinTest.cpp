// The volume facts of a folder on Windows, from the volume that holds it.
#include "wizard/app/FolderVolume.h"

#include "PortableTestSupport.h"
#include "common/files/Paths.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cwchar>
#include <filesystem>
#include <fstream>

namespace {

TEST(VolumeInfoWin, AFolderIsNamedByItsVolumeAndItsDriveLetter) {
    const std::string folder = MakeTemporaryFolder("velmora-volume");
    ASSERT_FALSE(folder.empty());
    const std::string file = JoinPath(folder, "a.jpg");
    std::ofstream(PathFromUtf8(file)) << "x";

    const FolderVolume volume = GetFolderVolume(folder);
    EXPECT_EQ(volume.status, FolderVolumeStatus::Ok);
    // The drive text is the upper-case letter and its colon, whatever case the path has.
    ASSERT_EQ(volume.driveText.size(), 2u);
    EXPECT_EQ(volume.driveText[1], ':');
    EXPECT_TRUE(volume.driveText[0] >= 'A' && volume.driveText[0] <= 'Z');
    EXPECT_EQ(
        GetFolderVolume(std::string(1, static_cast<char>(volume.driveText[0] + 'a' - 'A')) + ":\\")
            .driveText,
        volume.driveText);
    wchar_t label[MAX_PATH + 1] = {};
    const std::wstring root = std::wstring(1, volume.driveText[0]) + L":\\";
    ASSERT_TRUE(::GetVolumeInformationW(root.c_str(), label, MAX_PATH + 1, nullptr, nullptr,
                                        nullptr, nullptr, 0));
    EXPECT_EQ(volume.displayName,
              label[0] != L'\0' ? std::string(label, label + wcslen(label)) : volume.driveText);
    EXPECT_FALSE(volume.cannotDelete);

    EXPECT_EQ(GetFolderVolume(file).status, FolderVolumeStatus::Missing);
    EXPECT_EQ(GetFolderVolume(JoinPath(folder, "missing")).status, FolderVolumeStatus::Missing);
    EXPECT_EQ(GetFolderVolume("").status, FolderVolumeStatus::Missing);
    std::error_code ignored;
    std::filesystem::remove_all(PathFromUtf8(folder), ignored);
}

} // namespace
