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

// The id of the process whose folder is wanted: the parent, or behind a command interpreter the
// program that started it. False when the snapshot cannot be walked.
bool FindLaunchingProcess(BootSystem& system, std::uint32_t& launchId) {
  Held<&BootSystem::CloseProcessSnapshot> snapshot(system, system.OpenProcessSnapshot());
  if (!snapshot) return false;

  ProcessEntry entry;
  if (!system.FirstProcess(entry)) return false;
  const std::uint32_t self = system.GetCurrentProcessId();
  while (entry.processId != self) {
    // Our own entry is always there; should the list end without it, no parent is known.
    if (!system.NextProcess(entry)) return false;
  }
  const std::uint32_t parentId = entry.parentProcessId;
  launchId = parentId;

  if (!system.FirstProcess(entry)) return false;
  bool parentFound = entry.processId == parentId;
  while (!parentFound && system.NextProcess(entry)) parentFound = entry.processId == parentId;
  if (parentFound && IsCommandInterpreter(entry.exeFile)) launchId = entry.parentProcessId;
  snapshot.Reset();

  if (parentFound) system.OutputDebugText(entry.exeFile);
  return true;
}

enum class FolderLookup {
  kUnavailable,  // the process, the library or its module-path reader could not be had
  kNothingCut,   // the module path gave no folder
  kFound,
};

FolderLookup ReadProcessFolder(BootSystem& system, std::uint32_t processId, PathText& folder) {
  const Held<&BootSystem::CloseProcess> process(system, system.OpenProcessForQuery(processId));
  if (!process) return FolderLookup::kUnavailable;
  const Held<&BootSystem::FreeProcessStatusLibrary> library(system,
                                                            system.LoadProcessStatusLibrary());
  if (!library || !system.FindModulePathReader()) return FolderLookup::kUnavailable;

  folder.Clear();
  system.ReadProcessImagePath(folder.Data(), PathText::kCapacity);
  folder.SyncAfterExternalWrite();
  if (!system.RemoveFileSpec(folder.Data())) return FolderLookup::kNothingCut;
  folder.SyncAfterExternalWrite();
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

  std::uint32_t launchId = 0;
  if (!FindLaunchingProcess(run.system, launchId)) return;

  PathText folder;
  const FolderLookup lookup = ReadProcessFolder(run.system, launchId, folder);
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
