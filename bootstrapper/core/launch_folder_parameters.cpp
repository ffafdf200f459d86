#include "bounded_text.h"
#include "diagnostic_log.h"
#include "held_resource.h"
#include "parameter_text.h"
#include "setup_parameters.h"

namespace stackboot {
namespace {

constexpr std::u16string_view kLaunchDirProperty = u"VTRLAUNCHDIR";

bool IsCommandInterpreter(const char16_t* exeFile) {
  return EqualsIgnoringAsciiCase(ViewOf(exeFile), u"cmd.exe");
}

// Who launched us, as the process snapshot shows it.
struct Launch {
  std::uint32_t parentId = 0;
  std::uint32_t launchId = 0;  // the parent, or behind a command interpreter its parent
  bool throughInterpreter = false;
};

// Walks the snapshot to our parent and looks through a command interpreter. False when the
// snapshot cannot be walked.
bool FindLaunchingProcess(BootSystem& system, Launch& launch) {
  Held<&BootSystem::CloseProcessSnapshot> snapshot(system, system.OpenProcessSnapshot());
  if (!snapshot) return false;

  ProcessEntry entry;
  if (!system.FirstProcess(entry)) return false;
  const std::uint32_t self = system.GetCurrentProcessId();
  while (entry.processId != self) {
    // Our own entry is always there; should the list end without it, no parent is known.
    if (!system.NextProcess(entry)) return false;
  }
  launch.parentId = entry.parentProcessId;
  launch.launchId = launch.parentId;

  if (!system.FirstProcess(entry)) return false;
  bool parentFound = entry.processId == launch.parentId;
  while (!parentFound && system.NextProcess(entry)) {
    parentFound = entry.processId == launch.parentId;
  }
  if (parentFound && IsCommandInterpreter(entry.exeFile)) {
    launch.launchId = entry.parentProcessId;
    launch.throughInterpreter = true;
  }
  snapshot.Reset();

  if (parentFound) system.OutputDebugText(entry.exeFile);
  return true;
}

// A process id is reused once its process has ended, for instance while the elevation prompt
// was up: the opened process is our launcher only if it is no younger than we are (and behind
// a command interpreter, no younger than the interpreter, which is no younger than we are).
// Times that cannot be read count against it.
bool IsRealLauncher(BootSystem& system, const Launch& launch) {
  CreationTime own = 0;
  CreationTime launcher = 0;
  if (!system.GetOwnCreationTime(own) || !system.GetOpenedProcessCreationTime(launcher)) {
    return false;
  }
  if (!launch.throughInterpreter) return launcher <= own;
  CreationTime interpreter = 0;
  if (!system.GetProcessCreationTime(launch.parentId, interpreter)) return false;
  return interpreter <= own && launcher <= interpreter;
}

// A folder that would break the quoting of the /v text is not passed on.
bool IsQuotable(std::u16string_view folder) {
  for (char16_t unit : folder) {
    if (unit == u'"' || unit < u' ' || (unit >= 0x7F && unit <= 0x9F)) return false;
  }
  return true;
}

enum class FolderLookup {
  kUnavailable,  // the process, the library or its module-path reader could not be had
  kNothingCut,   // the module path gave no usable folder
  kFound,
};

FolderLookup ReadProcessFolder(BootSystem& system, const Launch& launch, PathText& folder) {
  const Held<&BootSystem::CloseProcess> process(system,
                                                system.OpenProcessForQuery(launch.launchId));
  if (!process || !IsRealLauncher(system, launch)) return FolderLookup::kUnavailable;
  const Held<&BootSystem::FreeProcessStatusLibrary> library(system,
                                                            system.LoadProcessStatusLibrary());
  if (!library || !system.FindModulePathReader()) return FolderLookup::kUnavailable;

  folder.Clear();
  system.ReadProcessImagePath(folder.Data(), PathText::kCapacity);
  folder.SyncAfterExternalWrite();
  if (folder.Empty()) {
    // A 32-bit process cannot read a 64-bit one's modules; the kernel names its image anyway.
    if (system.ReadProcessImageName(folder.Data(), PathText::kCapacity)) {
      folder.SyncAfterExternalWrite();
    } else {
      folder.Clear();
    }
  }
  if (!system.RemoveFileSpec(folder.Data())) return FolderLookup::kNothingCut;
  folder.SyncAfterExternalWrite();
  if (!IsQuotable(folder.View())) return FolderLookup::kNothingCut;
  return FolderLookup::kFound;
}

}  // namespace

void BuildParamsFromCommandLine(RunContext& run, const char16_t* lpCmdLine, char16_t* params) {
  if (params == nullptr) return;
  ParameterText text(params);
  run.log.WriteLog(u"lpCmdLine :%s", lpCmdLine);

  const std::u16string_view tail = ViewOf(lpCmdLine);
  if (tail.find(kLaunchDirProperty) != std::u16string_view::npos) {
    text.Append(tail);
    return;
  }
  text.Append(tail);
  text.Append(u" ");

  Launch launch;
  if (!FindLaunchingProcess(run.system, launch)) return;

  PathText folder;
  const FolderLookup lookup = ReadProcessFolder(run.system, launch, folder);
  if (lookup == FolderLookup::kNothingCut) return;
  if (lookup == FolderLookup::kFound) {
    constexpr std::u16string_view kOpen = u"/v\"VTRLAUNCHDIR=\\\"";
    constexpr std::u16string_view kClose = u"\\\"\"";
    BoundedText<kOpen.size() + PathText::kMaxLength + kClose.size() + 1> property;
    property.Append(kOpen);
    property.Append(folder.View());
    property.Append(kClose);
    text.Append(property.View());
  }
  run.log.WriteLog(u"outCommandLine :%s", text.CStr());
}

}  // namespace stackboot
