#include "installed_package_gate.h"

#include "heap_text.h"
#include "held_resource.h"
#include "message_format.h"
#include "os_classification.h"
#include "run_sequence.h"

namespace stackboot {
namespace {

struct Product {
  const char16_t* registrationKey;
  const char16_t* productCode;
};

// The registration key is the packed form of the product code; both are constants that change
// together.
constexpr Product kWin8X86Stack = {u"Installer\\Products\\0C2E71A54B39E6D4F812C0B7A9E3D485",
                                   u"{5A17E2C0-93B4-4D6E-8F21-0C7B9A3E4D58}"};
constexpr Product kWin8X64Stack = {u"Installer\\Products\\37F90B4ED1C258A46B2E173FD8509C4A",
                                   u"{E4B09F73-2C1D-4A85-B6E2-71F38D05C9A4}"};
constexpr Product kNoStack = {u"Installer\\Products\\", u""};

const Product* FindProduct(int osType) {
  switch (osType) {
    case OS_WIN8_X86:
      return &kWin8X86Stack;
    case OS_WIN8_X64:
      return &kWin8X64Stack;
    case OS_WINXP:
    case OS_WINXP_X64:
    case OS_VISTA_X86:
    case OS_VISTA_X64:
    case OS_WIN7_X86:
    case OS_WIN7_X64:
      return &kNoStack;
    default:
      return nullptr;
  }
}

constexpr std::size_t kDebugLineCapacity = 260;

// Debugger-only lines of the gate, cut to their 260-unit buffer.
template <typename... Args>
void WriteDebugLine(BootSystem& system, const char16_t* format, const Args&... args) {
  const FormatArg formatArgs[] = {MakeFormatArg(args)...};
  char16_t line[kDebugLineCapacity];
  FormatMessageText(line, kDebugLineCapacity, ViewOf(format), formatArgs);
  system.OutputDebugText(line);
}

using UninstallCommand = BoundedText<kMaxPath + 64>;

void BuildUninstallCommand(const RunContext& run, const ProductCode& code,
                           UninstallCommand& command) {
  const FormatArg args[] = {MakeFormatArg(code.CStr())};
  FormatMessageText(
      command.Data(), UninstallCommand::kCapacity,
      run.bQuiet ? u"msiexec /x %s /quiet /norestart" : u"msiexec /x %s /passive /norestart", args);
  command.SyncAfterExternalWrite();
}

// msiexec.exe in the system folder, so that the search path cannot choose what runs elevated.
// Returns 0, or the system error code when the system folder is unknown.
std::uint32_t GetMsiexecPath(BootSystem& system, PathText& path) {
  path.Clear();
  const std::uint32_t error = system.GetSystemFolder(path.Data(), PathText::kCapacity);
  if (error != 0) {
    path.Clear();
    return error;
  }
  path.SyncAfterExternalWrite();
  if (!path.AppendWhole(u"\\msiexec.exe")) {
    path.Clear();
    return kErrorInsufficientBuffer;
  }
  return 0;
}

}  // namespace

void GetInstallerCode(int osType, RegistryKeyPath& keyPath) {
  keyPath.Clear();
  if (const Product* product = FindProduct(osType)) {
    keyPath.Append(ViewOf(product->registrationKey));
  }
}

int GetProductCode(int osType, ProductCode& code) {
  if (const Product* product = FindProduct(osType)) code.Assign(ViewOf(product->productCode));
  return 1;
}

int CheckProductInstalled(RunContext& run) {
  run.log.WriteLog(u"CheckProductInstalled started.");
  run.log.WriteLog(u"GetInstallerCode started.");
  RegistryKeyPath keyPath;
  GetInstallerCode(run.nOSType, keyPath);
  run.log.WriteLog(u"Installer code is %s", keyPath.CStr());
  run.log.WriteLog(u"GetInstallerCode finished.");

  const std::uint32_t access =
      Is64BitNative(run.system) ? kKeyQueryValue | kKeyWow64View64 : kKeyQueryValue;
  const std::int32_t status = run.system.OpenClassesRootKey(keyPath.CStr(), access);
  int installed = 0;
  if (status == 0) {
    run.log.WriteLog(u"CheckStackIsInstallEx is true.(%s)", keyPath.CStr());
    run.system.CloseRegistryKey();
    installed = 1;
  } else {
    run.log.WriteLog(u"RegOpenKeyEx %s failed.(%d)", keyPath.CStr(), status);
  }
  run.log.WriteLog(u"CheckProductInstalled finished.");
  return installed;
}

void GetInstalledProductVersion(RunContext& run, VersionText& version) {
  const int osType = DetectOSType(run.system, run.log);
  if (osType != OS_WIN8_X86 && osType != OS_WIN8_X64) return;
  RegistryKeyPath keyPath;
  GetInstallerCode(osType, keyPath);
  const Held<&BootSystem::CloseRegistryKey> key(
      run.system, run.system.OpenClassesRootKey(keyPath.CStr(), kKeyAllAccess) == 0);
  if (!key) return;
  const std::int32_t status =
      run.system.QueryRegistryValue(u"ProductVersion", version.Data(), VersionText::kCapacity);
  // A value that did not arrive whole with its terminator is not taken in part.
  if (status != 0 ||
      TextLengthWithin(version.CStr(), VersionText::kCapacity) == VersionText::kCapacity) {
    version.Clear();
    return;
  }
  version.SyncAfterExternalWrite();
}

GateOutcome RunInstalledPackageGate(RunContext& run) {
  if (CheckProductInstalled(run) == 0) return GateOutcome::kProceed;

  const HeapText moduleName(run.system, kParameterCapacity);
  if (moduleName.Get() == nullptr) return GateOutcome::kOutOfMemory;
  PackagePath packagePath;
  const bool packageLocated = GetSetupPackagePath(run, packagePath) == 0;
  for (std::size_t i = 0; i < packagePath.Length(); ++i) {
    moduleName.Get()[i] = packagePath.CStr()[i];
  }
  WriteDebugLine(run.system, u"The _strModuleName is %s.", moduleName.Get());
  // Without a launcher of ours there is nothing to compare, and removing the registered package
  // would leave none installed: the launch step reports why nothing can be started.
  if (!packageLocated) return GateOutcome::kProceed;

  VersionText installed;
  GetInstalledProductVersion(run, installed);
  WriteDebugLine(run.system, u"The ProductVersion existed is %s.", installed.CStr());
  VersionText candidate;
  GetFileProductVersion(run.system, moduleName.Get(), candidate);
  WriteDebugLine(run.system, u"The ProductVersion to be installed is %s.", candidate.CStr());

  if (CompareProductVersion(installed.CStr(), candidate.CStr()) == 0) {
    WriteDebugLine(run.system,
                   u"the ProductVersion(%s) existed is higher than the ProductVersion(%s) to be "
                   u"installed.",
                   installed.CStr(), candidate.CStr());
    if (!run.bQuiet) {
      run.system.ShowMessageBox(
          u"The existed ProductVersion is higher than your ProductVersion. Installation quit.",
          u"Kestrava");
    }
    return GateOutcome::kAbandon;
  }

  ProductCode code;
  GetProductCode(run.nOSType, code);
  UninstallCommand command;
  BuildUninstallCommand(run, code, command);
  PathText msiexec;
  const std::uint32_t locateError = GetMsiexecPath(run.system, msiexec);
  RunAndWait(run, locateError, msiexec.CStr(), command.Data());
  run.log.WriteLog(u"Uninstall _strCommandLine is %s", command.CStr());
  return GateOutcome::kProceed;
}

}  // namespace stackboot
