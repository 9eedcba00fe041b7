// The single-instance rule on Windows: a named mutex in the global namespace, so that the rule
// holds across all users logged on at once.
#pragma once

#include "wizard/app/SingleInstance.h"

#include <string>

inline constexpr const char* kWizardMutexName = "Global\\snapferry_RunOnce";

// The claim is the mutex object itself: it exists while a process holds a handle to it, so the
// system drops it when the holder ends in any way and a claim of a run that has ended never
// blocks. The mutex is made owned by its creator and held, never released, until the object goes.
class CSingleInstanceMutex : public CAbstractSingleInstance {
public:
    explicit CSingleInstanceMutex(std::string name);
    ~CSingleInstanceMutex() override;

    SingleInstanceResult Acquire() override;

private:
    std::string m_name;
    void* m_mutex = nullptr;
};
