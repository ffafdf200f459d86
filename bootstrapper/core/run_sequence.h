#pragma once

#include <cstddef>

#include "boot_system.h"
#include "bounded_text.h"
#include "diagnostic_log.h"
#include "run_context.h"
#include "setup_parameters.h"

namespace stackboot {

inline constexpr char16_t kLauncher32[] = u"win832.exe";
inline constexpr char16_t kLauncher64[] = u"win864.exe";
inline constexpr char16_t kQuietSuffix[] = u" /s /v/qn";

// Sized for the longest possible text, so that no launcher path or command line is ever cut:
// a folder of up to kMaxPath - 1 units, a backslash and the launcher name ...
inline constexpr std::size_t kPackagePathCapacity =
    (kMaxPath - 1) + 1 + (sizeof(kLauncher64) / sizeof(char16_t) - 1) + 1;
// ... then one blank, the whole parameter text and the quiet switches.
inline constexpr std::size_t kSetupCommandCapacity =
    (kPackagePathCapacity - 1) + 1 + (kParameterCapacity - 1) +
    (sizeof(kQuietSuffix) / sizeof(char16_t) - 1) + 1;

using PackagePath = BoundedText<kPackagePathCapacity>;
using SetupCommand = BoundedText<kSetupCommandCapacity>;

// Quiet mode: exactly one argument, whose second character is Q or q (/q, -Q, /quiet).
bool IsQuietSwitch(const SplitArguments& arguments);

// The setup launcher for the run's OS type, in the folder of the running program. Returns 0, or
// the system error code when that folder is unknown; the path is then empty, since a launcher
// beside an unknown folder is not ours.
std::uint32_t GetSetupPackagePath(RunContext& run, PackagePath& path);

// Starts `commandLine` with `applicationName` as the program to run (a full path, never left
// to the search path) and waits for its end; a failed start is logged. `locateError`, when not
// 0, is why the program's own path is unknown: nothing is started and the start counts as
// failed with that error.
ProcessOutcome RunAndWait(RunContext& run, std::uint32_t locateError,
                          const char16_t* applicationName, char16_t* commandLine);

// The whole run behind the program entry; returns the process exit code.
int RunStackboot(BootSystem& system, DiagnosticLog& log, const char16_t* lpCmdLine);

}  // namespace stackboot
