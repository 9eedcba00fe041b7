#include "TestProcess.h"

#include "common/desktop/linux/XdgOpener.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

using namespace std::chrono_literals;

// A stand-in for xdg-open that writes its arguments, one a line, and ends with the status named
// in the file "status" beside it (0 without one), after the delay named in "delay".
class OpenerTest : public ::testing::Test {
protected:
    void SetUp() override {
        script = folder.Path() / "fake-open";
        WriteTextFile(script, "#!/bin/sh\n"
                              "dir=$(dirname \"$0\")\n"
                              "printf '%s\\n' \"$@\" > \"$dir/arguments\"\n"
                              "[ -f \"$dir/delay\" ] && sleep \"$(cat \"$dir/delay\")\"\n"
                              "[ -f \"$dir/status\" ] && exit \"$(cat \"$dir/status\")\"\n"
                              "exit 0\n");
        std::filesystem::permissions(script, std::filesystem::perms::owner_all);
    }

    TemporaryFolder folder;
    std::filesystem::path script;
};

} // namespace

TEST_F(OpenerTest, TheAddressIsOneArgumentThatNoShellReads) {
    const std::string address = "http://host/$(touch pwned);`id` 'x' \"y\" && echo z";
    CXdgOpener opener(script.string());
    const OpenOutcome outcome = opener.Open(address);
    EXPECT_TRUE(outcome.opened);
    EXPECT_EQ(outcome.status, 0);
    EXPECT_EQ(ReadTextFile(folder.Path() / "arguments"), address + "\n");
    EXPECT_FALSE(std::filesystem::exists(folder.Path() / "pwned"));
}

TEST_F(OpenerTest, ANonZeroExitStatusIsAFailureWithThatStatus) {
    WriteTextFile(folder.Path() / "status", "3");
    CXdgOpener opener(script.string());
    const OpenOutcome outcome = opener.Open("http://host/");
    EXPECT_FALSE(outcome.opened);
    EXPECT_EQ(outcome.status, 3);
}

TEST_F(OpenerTest, AMissingOpenerIsAFailure) {
    CXdgOpener opener((folder.Path() / "no-such-opener").string());
    const OpenOutcome outcome = opener.Open("http://host/");
    EXPECT_FALSE(outcome.opened);
    EXPECT_EQ(outcome.status, CXdgOpener::kNotStarted);
}

TEST_F(OpenerTest, AnOpenerThatWaitsForItsProgramCountsAsOpenedAfterTheGrace) {
    WriteTextFile(folder.Path() / "delay", "3");
    WriteTextFile(folder.Path() / "status", "4");
    CXdgOpener opener(script.string(), 300ms);
    const auto start = std::chrono::steady_clock::now();
    const OpenOutcome outcome = opener.Open("http://host/");
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_TRUE(outcome.opened);
    EXPECT_GE(took, 250ms);
    EXPECT_LT(took, 2s);
}

TEST_F(OpenerTest, AQuickFailureIsSeenWithinTheGrace) {
    WriteTextFile(folder.Path() / "delay", "0.2");
    WriteTextFile(folder.Path() / "status", "4");
    CXdgOpener opener(script.string(), 5s);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(opener.Open("http://host/").opened);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
}
