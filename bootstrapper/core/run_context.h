#pragma once

#include <cstdint>

#include "boot_system.h"
#include "diagnostic_log.h"

namespace stackboot {

// What the steps of one run share: the platform, the log, the OS type and the quiet flag.
struct RunContext {
  BootSystem& system;
  DiagnosticLog& log;
  int nOSType = 0;
  bool bQuiet = false;
};

// Exit codes of a run besides the setup launcher's own and the error code of a failed start.
inline constexpr int kExitSplitFailed = -1;
inline constexpr int kExitUnsupportedOs = 1;
inline constexpr int kExitAbandoned = 0;
inline constexpr int kExitOutOfMemory = 14;  // ERROR_OUTOFMEMORY

inline constexpr std::uint32_t kErrorInsufficientBuffer = 122;

}  // namespace stackboot
