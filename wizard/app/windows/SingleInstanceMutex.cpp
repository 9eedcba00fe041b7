#include "wizard/app/windows/SingleInstanceMutex.h"

#include "common/files/windows/WideText.h"

#include <windows.h>

CSingleInstanceMutex::CSingleInstanceMutex(std::string name) : m_name(std::move(name)) {}

CSingleInstanceMutex::~CSingleInstanceMutex() {
    if (m_mutex != nullptr) {
        ::CloseHandle(m_mutex);
    }
}

SingleInstanceResult CSingleInstanceMutex::Acquire() {
    if (m_mutex != nullptr) {
        return {SingleInstanceStatus::Acquired, {}};
    }
    const HANDLE mutex = ::CreateMutexW(nullptr, TRUE, WideFromUtf8(m_name).c_str());
    const DWORD error = ::GetLastError();
    if (mutex == nullptr) {
        // Another user's mutex that this one may not open is still another run.
        if (error == ERROR_ACCESS_DENIED) {
            return {SingleInstanceStatus::AlreadyRunning, {}};
        }
        return {SingleInstanceStatus::CouldNotCheck,
                "Cannot create the mutex " + m_name + ": " + SystemErrorText(error)};
    }
    if (error == ERROR_ALREADY_EXISTS) {
        ::CloseHandle(mutex);
        return {SingleInstanceStatus::AlreadyRunning, {}};
    }
    m_mutex = mutex;
    return {SingleInstanceStatus::Acquired, {}};
}

std::unique_ptr<CAbstractSingleInstance> CreateWizardSingleInstance() {
    return std::make_unique<CSingleInstanceMutex>(kWizardMutexName);
}
