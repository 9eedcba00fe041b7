#include "common/desktop/windows/ShellOpener.h"

#include "common/files/windows/WideText.h"

#include <windows.h>

#include <objbase.h>
#include <shellapi.h>

#include <cstdint>
#include <memory>

OpenOutcome CShellOpener::Open(const std::string& address) {
    if (address.empty()) {
        return {false, ERROR_INVALID_PARAMETER};
    }
    // Some shell extensions that serve the verb are COM objects and need the thread initialised.
    const HRESULT com =
        ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    const std::wstring wide = WideFromUtf8(address);
    const HINSTANCE result =
        ::ShellExecuteW(nullptr, L"open", wide.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    if (SUCCEEDED(com)) {
        ::CoUninitialize();
    }
    // Values above 32 mean success; the others are the shell's error codes.
    const auto code = reinterpret_cast<std::intptr_t>(result);
    if (code > 32) {
        return {true, 0};
    }
    return {false, code != 0 ? static_cast<int>(code) : static_cast<int>(ERROR_OUTOFMEMORY)};
}

std::unique_ptr<CAbstractOpener> CreatePlatformOpener() {
    return std::make_unique<CShellOpener>();
}
