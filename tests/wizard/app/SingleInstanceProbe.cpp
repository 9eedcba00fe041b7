// Tries the wizard's single-instance claim once and says through its exit status what it got:
// 0 acquired, 1 already running, 2 could not check. With an argument it then waits for that many
// milliseconds while it holds the claim.
#include "wizard/app/SingleInstance.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

int main(int argc, char** argv) {
    const auto instance = CreateWizardSingleInstance();
    const SingleInstanceResult claim = instance->Acquire();
    switch (claim.status) {
    case SingleInstanceStatus::Acquired:
        if (argc > 1) {
            std::this_thread::sleep_for(std::chrono::milliseconds(std::atoi(argv[1])));
        }
        return 0;
    case SingleInstanceStatus::AlreadyRunning:
        return 1;
    case SingleInstanceStatus::CouldNotCheck:
        std::printf("%s\n", claim.diagnostic.c_str());
        return 2;
    }
    return 3;
}
