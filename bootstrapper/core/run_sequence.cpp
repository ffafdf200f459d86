#include "run_sequence.h"

#include "heap_text.h"
#include "installed_package_gate.h"
#include "os_classification.h"

namespace stackboot {
namespace {

void BuildParameters(RunContext& run, const char16_t* lpCmdLine, char16_t* params) {
  if (run.system.IsExistingPath(lpCmdLine)) {
    run.log.WriteLog(u"PathFileExists, lpCmdLine is %s", lpCmdLine);
    BuildParamsFromIni(run, lpCmdLine, params);
  } else {
    run.log.WriteLog(u"PathFile not Exists");
    BuildParamsFromCommandLine(run, lpCmdLine, params);
  }
  // Whatever a builder did, the launch below reads a terminated text.
  params[kParameterCapacity - 1] = u'\0';
}

}  // namespace

bool IsQuietSwitch(const SplitArguments& arguments) {
  if (arguments.count != 2 || arguments.secondArgumentHead[0] == u'\0') return false;
  const char16_t second = arguments.secondArgumentHead[1];
  return second == u'Q' || second == u'q';
}

std::uint32_t GetSetupPackagePath(RunContext& run, PackagePath& path) {
  path.Clear();
  PathText folder;
  const std::uint32_t error = run.system.GetProgramFolder(folder.Data(), PathText::kCapacity);
  if (error != 0) return error;
  folder.SyncAfterExternalWrite();
  path.Append(folder.View());
  path.Append(u"\\");
  path.Append(run.nOSType == OS_WIN8_X86 ? kLauncher32 : kLauncher64);
  return 0;
}

ProcessOutcome RunAndWait(RunContext& run, std::uint32_t locateError,
                          const char16_t* applicationName, char16_t* commandLine) {
  const ProcessOutcome outcome = locateError != 0
                                     ? ProcessOutcome{false, locateError}
                                     : run.system.RunProcess(applicationName, commandLine);
  if (!outcome.started) {
    run.log.WriteLog(u"CreateProcess failed (%d)\n", static_cast<std::int32_t>(outcome.code));
  }
  return outcome;
}

int RunStackboot(BootSystem& system, DiagnosticLog& log, const char16_t* lpCmdLine) {
  SplitArguments arguments;
  if (!system.SplitCommandLine(arguments)) return kExitSplitFailed;

  RunContext run{system, log};
  run.bQuiet = IsQuietSwitch(arguments);
  run.nOSType = PrepareRun(system, log);
  if (run.nOSType != OS_WIN8_X86 && run.nOSType != OS_WIN8_X64) {
    log.WriteLog(u"This OS is not supported.");
    return kExitUnsupportedOs;
  }

  switch (RunInstalledPackageGate(run)) {
    case GateOutcome::kProceed:
      break;
    case GateOutcome::kAbandon:
      return kExitAbandoned;
    case GateOutcome::kOutOfMemory:
      return kExitOutOfMemory;
  }

  const HeapText params(system, kParameterCapacity);
  if (params.Get() == nullptr) return kExitOutOfMemory;
  BuildParameters(run, lpCmdLine, params.Get());

  PackagePath packagePath;
  const std::uint32_t locateError = GetSetupPackagePath(run, packagePath);
  SetupCommand strFileName;
  strFileName.Append(packagePath.View());
  strFileName.Append(u" ");
  strFileName.Append(ViewOf(params.Get()));
  log.WriteLog(u"_strFileName %s", strFileName.CStr());

  SetupCommand commandLine;
  commandLine.Append(strFileName.View());
  if (run.bQuiet) commandLine.Append(kQuietSuffix);
  log.WriteLogText(commandLine.CStr());

  const ProcessOutcome outcome =
      RunAndWait(run, locateError, packagePath.CStr(), commandLine.Data());
  return static_cast<int>(outcome.code);
}

}  // namespace stackboot
