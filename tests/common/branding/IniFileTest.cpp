#include "common/branding/IniFile.h"
#include "tests/common/resources/TestFolder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

TEST(IniFile, WindowsConventions) {
    const IniFile ini = IniFile::Parse("\xEF\xBB\xBF"
                                       "orphan=ignored\r\n"
                                       "; comment\r\n"
                                       "[Default]\r\n"
                                       "  ProductName  =  My Server  \r\n"
                                       "# also a comment\n"
                                       "quoted=\"  spaced  \"\n"
                                       "single='x'\n"
                                       "unbalanced=\"x\n"
                                       "path=C:\\new\\table\n"
                                       "empty=\n"
                                       "novalue\n"
                                       "=nokey\n"
                                       "ProductName=second\n"
                                       "[domain]\n"
                                       "Domain=a=b\n"
                                       "[Default]\n"
                                       "late=found\n"
                                       "[broken\n"
                                       "after=broken header keeps the section\n");
    EXPECT_EQ(ini.Find("Default", "ProductName"), "My Server");
    EXPECT_EQ(ini.Find("DEFAULT", "productname"), "My Server");
    EXPECT_EQ(ini.Find("Default", "quoted"), "  spaced  ");
    EXPECT_EQ(ini.Find("Default", "single"), "x");
    EXPECT_EQ(ini.Find("Default", "unbalanced"), "\"x");
    EXPECT_EQ(ini.Find("Default", "path"), "C:\\new\\table");
    EXPECT_EQ(ini.Find("Default", "empty"), "");
    EXPECT_EQ(ini.Find("Default", "novalue"), std::nullopt);
    EXPECT_EQ(ini.Find("Default", ""), std::nullopt);
    EXPECT_EQ(ini.Find("", "orphan"), std::nullopt);
    EXPECT_EQ(ini.Find("Domain", "Domain"), "a=b");
    EXPECT_EQ(ini.Find("Default", "late"), "found");
    EXPECT_EQ(ini.Find("default", "after"), "broken header keeps the section");
    EXPECT_EQ(ini.Find("Default", "Domain"), std::nullopt);
}

TEST(IniFile, UnreadableOrOversizedFileIsEmpty) {
    TestFolder folder;
    EXPECT_EQ(IniFile::Load(folder.Path() + "missing.ini").EntryCount(), 0u);
    EXPECT_EQ(IniFile::Load(folder.Path()).EntryCount(), 0u);
    std::string big = "[Default]\nProductName=Big\n";
    big.append(IniFile::kMaxFileSize, ';');
    folder.Write("big.ini", big);
    EXPECT_EQ(IniFile::Load(folder.Path() + "big.ini").EntryCount(), 0u);
    folder.Write("small.ini", "[Default]\nProductName=Small\n");
    EXPECT_EQ(IniFile::Load(folder.Path() + "small.ini").Find("Default", "ProductName"), "Small");
}

#ifndef _WIN32
// Anyone who can write the program's folder could leave a FIFO there; a blocking open of it would
// hang every branded text, so start-up would never show a window.
TEST(IniFile, OnlyARegularFileIsRead) {
    TestFolder folder;
    const std::string fifo = folder.Path() + "settings.ini";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    auto load = std::async(std::launch::async, [&] { return IniFile::Load(fifo).EntryCount(); });
    const auto status = load.wait_for(std::chrono::seconds(5));
    if (status != std::future_status::ready) {
        // Let the blocked reader go, so that the test fails instead of hanging.
        const int writer = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
        if (writer >= 0) {
            ::close(writer);
        }
    }
    ASSERT_EQ(status, std::future_status::ready) << "reading a FIFO blocked";
    EXPECT_EQ(load.get(), 0u);
    EXPECT_EQ(IniFile::Load("/dev/zero").EntryCount(), 0u);
    EXPECT_EQ(IniFile::Load("/dev/null").EntryCount(), 0u);
}
#endif
