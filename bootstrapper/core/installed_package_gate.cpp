#include "installed_package_gate.h"

namespace stackboot {

// Every run counts as a first installation until the registration lookup lands (issue #4).
GateOutcome RunInstalledPackageGate(RunContext&) { return GateOutcome::kProceed; }

}  // namespace stackboot
