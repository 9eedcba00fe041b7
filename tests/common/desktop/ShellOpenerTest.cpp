// The shell opener reports what the shell could not open as a failure with the shell's code,
// never as opened.
#include "common/desktop/windows/ShellOpener.h"

#include "PortableTestSupport.h"
#include "common/files/Paths.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <shellapi.h>

namespace {

TEST(ShellOpener, WhatTheShellCannotOpenIsAFailure) {
    const std::string folder = MakeTemporaryFolder("velmora-opener");
    ASSERT_FALSE(folder.empty());
    CShellOpener opener;
    const OpenOutcome missing = opener.Open(JoinPath(folder, "no-such-picture.jpg"));
    EXPECT_FALSE(missing.opened);
    EXPECT_EQ(missing.status, SE_ERR_FNF);
    const OpenOutcome empty = opener.Open("");
    EXPECT_FALSE(empty.opened);
    EXPECT_NE(empty.status, 0);
    ::RemoveDirectoryW(std::wstring(folder.begin(), folder.end()).c_str());
}

} // namespace
