#pragma once

#include "boot_system.h"

namespace stackboot {

class DiagnosticLog;

enum OsType : int {
  OS_UNSUPPORTED = 0,
  OS_WINXP = 1,
  OS_WINXP_X64 = 2,
  OS_VISTA_X86 = 3,
  OS_VISTA_X64 = 4,
  OS_WIN7_X86 = 5,
  OS_WIN7_X64 = 6,
  OS_WIN8_X86 = 7,
  OS_WIN8_X64 = 8,
};

inline constexpr std::uint32_t kVersionRecordSizeEx = 284;  // OSVERSIONINFOEXW
inline constexpr std::uint32_t kVersionRecordSize = 276;    // OSVERSIONINFOW
inline constexpr std::uint32_t kPlatformWin32Nt = 2;
inline constexpr std::uint16_t kProcessorArchitectureIa64 = 6;
inline constexpr std::uint16_t kProcessorArchitectureAmd64 = 9;

// Whether the processor the system runs on natively is a 64-bit one, also for a 32-bit process.
bool Is64BitNative(BootSystem& system);

// Classifies the running Windows release and logs its name.
int DetectOSType(BootSystem& system, DiagnosticLog& log);

}  // namespace stackboot
