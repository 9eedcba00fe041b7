// Whole files and local paths through the platform's calls, with names outside ASCII, which a
// narrow call on Windows would lose.
#include "common/files/Paths.h"
#include "common/files/RegularFile.h"

#include "PortableTestSupport.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <memory>
#include <string>

namespace {

struct PathCase {
    std::string folder;
    std::string name;
    std::string joined;
};

TEST(PathsTest, JoinsWithTheSeparatorOnlyWhereOneIsMissing) {
    const std::string s(1, kPathSeparator);
    const PathCase cases[] = {
        {"pictures", "a.jpg", "pictures" + s + "a.jpg"},
        {"pictures" + s, "a.jpg", "pictures" + s + "a.jpg"},
        {"pictures/", "a.jpg", "pictures/a.jpg"},
        {"", "a.jpg", "a.jpg"},
    };
    for (const PathCase& c : cases) {
        EXPECT_EQ(JoinPath(c.folder, c.name), c.joined) << c.folder;
        EXPECT_EQ(FileNameOf(c.joined), c.name) << c.joined;
    }
    EXPECT_EQ(FileNameOf("a/b/"), "");
#ifdef _WIN32
    EXPECT_EQ(FileNameOf("D:\\DCIM/100CANON\\IMG_1.JPG"), "IMG_1.JPG");
    EXPECT_TRUE(IsAbsolutePath("d:\\DCIM"));
    EXPECT_TRUE(IsAbsolutePath("\\\\server\\share"));
    EXPECT_FALSE(IsAbsolutePath("D:DCIM"));
    EXPECT_FALSE(IsAbsolutePath("languages\\de-de"));
#else
    EXPECT_EQ(FileNameOf("/media/card/a\\b.jpg"), "a\\b.jpg");
    EXPECT_TRUE(IsAbsolutePath("/media/card"));
    EXPECT_FALSE(IsAbsolutePath("C:\\DCIM"));
#endif
}

class WholeFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(m_root.empty());
        // "Ferien März 東京": a folder the ANSI code page cannot name.
        m_folder = JoinPath(m_root, "Ferien M\xc3\xa4rz \xe6\x9d\xb1\xe4\xba\xac");
        std::filesystem::create_directory(PathFromUtf8(m_folder));
    }
    void TearDown() override {
        std::error_code ignored;
        std::filesystem::remove_all(PathFromUtf8(m_root), ignored);
    }

    std::string m_root = MakeTemporaryFolder("velmora-files");
    std::string m_folder;
};

TEST_F(WholeFileTest, ReplacesAndReadsFilesUnderNamesOutsideAscii) {
    const std::string path = JoinPath(m_folder, "\xc3\xa9t\xc3\xa9.ini");
    ASSERT_TRUE(ReplaceRegularFile(path, "first"));
    ASSERT_TRUE(ReplaceRegularFile(path, std::string("second\0line", 11)));
    EXPECT_EQ(ReadRegularFile(path, 100), std::string("second\0line", 11));
    // Nothing but the file itself is left in the folder.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(PathFromUtf8(m_folder)),
                            std::filesystem::directory_iterator()),
              1);

    int error = 0;
    EXPECT_FALSE(ReadRegularFile(path, 10, &error));
    EXPECT_EQ(error, EFBIG);

    uint64_t size = 0;
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(
        OpenRegularFileForReading(path, size, error), &std::fclose);
    ASSERT_TRUE(file);
    EXPECT_EQ(size, 11u);
    char start[6] = {};
    EXPECT_EQ(std::fread(start, 1, 6, file.get()), 6u);
    EXPECT_EQ(std::string(start, 6), "second");
    file.reset();

    EXPECT_TRUE(LocalPathExists(path));
    EXPECT_TRUE(RemoveLocalFile(path, error));
    EXPECT_FALSE(LocalPathExists(path));
    EXPECT_FALSE(RemoveLocalFile(path, error));
    EXPECT_EQ(error, ENOENT);
}

TEST_F(WholeFileTest, RefusesWhatIsNotARegularFile) {
    int error = 0;
    EXPECT_FALSE(ReadRegularFile(m_folder, 100, &error));
    EXPECT_EQ(error, EINVAL);
    EXPECT_FALSE(ReadRegularFile(JoinPath(m_folder, "missing"), 100, &error));
    EXPECT_EQ(error, ENOENT);
    uint64_t size = 0;
    EXPECT_EQ(OpenRegularFileForReading(m_folder, size, error), nullptr);
    EXPECT_EQ(error, EISDIR);
    // A replacement into a folder that is not there fails and leaves nothing behind.
    EXPECT_FALSE(ReplaceRegularFile(JoinPath(JoinPath(m_folder, "missing"), "a.ini"), "x"));
    EXPECT_EQ(FolderWriteError(m_folder), 0);
}

} // namespace
