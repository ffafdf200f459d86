#pragma once

#include "run_context.h"

namespace stackboot {

enum class GateOutcome {
  kProceed,      // nothing registered, or the registered package was removed
  kAbandon,      // a higher version is registered: the run ends without starting anything
  kOutOfMemory,  // a working buffer could not be allocated
};

// Compares a stack package already registered with Windows Installer with the setup launcher's
// and removes it when it is not newer.
GateOutcome RunInstalledPackageGate(RunContext& run);

}  // namespace stackboot
