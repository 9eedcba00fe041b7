// One running wizard at a time on the whole machine, whoever started it: a second start while
// the first shows its sheet only tells the user and ends.
#pragma once

#include <memory>
#include <string>

enum class SingleInstanceStatus {
    Acquired,       // this process is now the running instance
    AlreadyRunning, // another instance, of this or any other user, is running
    CouldNotCheck,  // the rule could not be checked; run anyway, after a diagnostic line
};

struct SingleInstanceResult {
    SingleInstanceStatus status = SingleInstanceStatus::CouldNotCheck;
    // For CouldNotCheck, why, naming the place that failed; empty otherwise.
    std::string diagnostic;
};

class CAbstractSingleInstance {
public:
    virtual ~CAbstractSingleInstance() = default;
    CAbstractSingleInstance(const CAbstractSingleInstance&) = delete;
    CAbstractSingleInstance& operator=(const CAbstractSingleInstance&) = delete;

    // Tries once, without waiting. After Acquired the object holds the claim until it is
    // destroyed; keep it alive for the whole run (the start-up routine holds it until the process
    // ends). A stray or left-over claim of a run that has ended never blocks: only a live
    // process does. Calling it again after Acquired returns Acquired.
    virtual SingleInstanceResult Acquire() = 0;

protected:
    CAbstractSingleInstance() = default;
};

// The wizard's claim on this platform. The program calls, before anything is shown:
//   auto instance = CreateWizardSingleInstance();
//   const SingleInstanceResult claim = instance->Acquire();
// and keeps `instance` until it ends; AlreadyRunning shows the message and ends the run,
// CouldNotCheck prints claim.diagnostic and goes on (a home user is never locked out by a stray
// file).
std::unique_ptr<CAbstractSingleInstance> CreateWizardSingleInstance();
