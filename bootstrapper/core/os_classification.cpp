#include "os_classification.h"

#include "diagnostic_log.h"

namespace stackboot {

bool Is64BitNative(BootSystem& system) {
  std::uint16_t architecture = 0;
  if (!system.GetNativeSystemArchitecture(architecture)) {
    // Releases without GetNativeSystemInfo have no other native architecture to report.
    architecture = system.GetSystemArchitecture();
  }
  return architecture == kProcessorArchitectureAmd64 || architecture == kProcessorArchitectureIa64;
}

namespace {

int ClassifyVersion6(BootSystem& system, DiagnosticLog& log, std::uint32_t minor) {
  struct Release {
    const char16_t* name;
    int x86;
    int x64;
  };
  static constexpr Release kReleases[] = {
      {u"Windows Vista ", OS_VISTA_X86, OS_VISTA_X64},
      {u"Windows 7 ", OS_WIN7_X86, OS_WIN7_X64},
      {u"Windows 8 ", OS_WIN8_X86, OS_WIN8_X64},
  };
  if (minor >= sizeof(kReleases) / sizeof(kReleases[0])) return OS_UNSUPPORTED;
  const Release& release = kReleases[minor];
  log.WriteLog(release.name);
  return Is64BitNative(system) ? release.x64 : release.x86;
}

int ClassifyVersion5(BootSystem& system, DiagnosticLog& log, std::uint32_t minor) {
  switch (minor) {
    case 0:
      log.WriteLog(u"Microsoft Windows 2000 ");
      return OS_UNSUPPORTED;
    case 1:
      log.WriteLog(u"Microsoft Windows XP ");
      return OS_WINXP;
    case 2:
      break;
    default:
      return OS_UNSUPPORTED;
  }
  if (system.GetServerR2Metric() != 0) {
    log.WriteLog(u"Microsoft Windows Server 2003 \"R2\" ");
    return OS_UNSUPPORTED;
  }
  if (Is64BitNative(system)) {
    log.WriteLog(u"Microsoft Windows XP Professional x64 Edition ");
    return OS_WINXP_X64;
  }
  log.WriteLog(u"Microsoft Windows Server 2003, ");
  return OS_UNSUPPORTED;
}

}  // namespace

int DetectOSType(BootSystem& system, DiagnosticLog& log) {
  OsVersion version;
  if (!system.QueryVersion(kVersionRecordSizeEx, version) &&
      !system.QueryVersion(kVersionRecordSize, version)) {
    return OS_UNSUPPORTED;
  }

  int osType = OS_UNSUPPORTED;
  if (version.platformId == kPlatformWin32Nt) {
    if (version.major == 6) {
      osType = ClassifyVersion6(system, log, version.minor);
    } else if (version.major == 5) {
      osType = ClassifyVersion5(system, log, version.minor);
    } else if (version.major <= 4) {
      log.WriteLog(u"Microsoft Windows NT ");
    }
  }
  log.WriteLog(u"\n");
  return osType;
}

}  // namespace stackboot
