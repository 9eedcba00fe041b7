// The wizard's named mutex as a second process sees it: held while a run holds it, free as soon
// as that run has ended in any way.
#include "wizard/app/windows/SingleInstanceMutex.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

namespace {

// Runs the probe and returns its exit status, or -1 when it did not end within the limit.
int RunProbe(const std::wstring& arguments = L"") {
    const std::string program = VELMORA_SINGLE_INSTANCE_PROBE;
    std::wstring commandLine = L"\"" + std::wstring(program.begin(), program.end()) + L"\"";
    if (!arguments.empty()) {
        commandLine += L" " + arguments;
    }
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                          &startup, &process)) {
        return -1;
    }
    DWORD status = static_cast<DWORD>(-1);
    if (::WaitForSingleObject(process.hProcess, 30000) == WAIT_OBJECT_0) {
        ::GetExitCodeProcess(process.hProcess, &status);
    } else {
        ::TerminateProcess(process.hProcess, 9);
    }
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    return static_cast<int>(status);
}

TEST(SingleInstanceWinTest, ASecondProcessSeesTheClaimOnlyWhileItIsHeld) {
    ASSERT_EQ(RunProbe(), 0) << "nothing holds the claim before the test";
    {
        const auto instance = CreateWizardSingleInstance();
        ASSERT_EQ(instance->Acquire().status, SingleInstanceStatus::Acquired);
        EXPECT_EQ(instance->Acquire().status, SingleInstanceStatus::Acquired);
        EXPECT_EQ(RunProbe(), 1);
        // Within the process too: a second object is a second run.
        EXPECT_EQ(CSingleInstanceMutex(kWizardMutexName).Acquire().status,
                  SingleInstanceStatus::AlreadyRunning);
    }
    EXPECT_EQ(RunProbe(), 0);
}

TEST(SingleInstanceWinTest, AClaimOfAProcessThatWasKilledNeverBlocks) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION holder{};
    const std::string program = VELMORA_SINGLE_INSTANCE_PROBE;
    std::wstring commandLine = L"\"" + std::wstring(program.begin(), program.end()) + L"\" 20000";
    ASSERT_TRUE(::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                 nullptr, &startup, &holder));
    // Wait, within a limit, until the holder has its claim; looking must not claim it.
    bool held = false;
    for (int attempt = 0; attempt < 100 && !held; ++attempt) {
        const HANDLE existing = ::OpenMutexW(SYNCHRONIZE, FALSE, L"Global\\snapferry_RunOnce");
        held = existing != nullptr;
        if (held) {
            ::CloseHandle(existing);
        } else {
            ::Sleep(100);
        }
    }
    EXPECT_TRUE(held);
    ::TerminateProcess(holder.hProcess, 9);
    EXPECT_EQ(::WaitForSingleObject(holder.hProcess, 10000), WAIT_OBJECT_0);
    ::CloseHandle(holder.hThread);
    ::CloseHandle(holder.hProcess);
    EXPECT_EQ(CSingleInstanceMutex(kWizardMutexName).Acquire().status,
              SingleInstanceStatus::Acquired);
}

} // namespace
