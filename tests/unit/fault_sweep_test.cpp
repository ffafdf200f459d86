// Every platform operation that a whole run uses is made to fail in turn. Whatever fails, the
// run must end with the exit code documented for that failure, leave nothing open, hand the
// system only terminated command lines, and never start a program or open a file by a path that
// is not whole.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "case_name.h"
#include "fake_boot_system.h"
#include "run_sequence.h"

namespace stackboot {
namespace {

using testing::FakeBootSystem;
using testing::Narrow;

constexpr int kLauncherExitCode = 3010;
constexpr int kFailure = static_cast<int>(FakeBootSystem::kFailureCode);
constexpr char16_t kKey64[] = u"Installer\\Products\\37F90B4ED1C258A46B2E173FD8509C4A";

// What a run comes to when one operation fails: its exit code, and how its last debugger line
// begins (nullptr: no line at all).
struct Outcome {
  int exitCode;
  const char* lastLine;
};

constexpr char kLaunched[] = "D:\\Setup\\win8";  // the final command line, then the launch
constexpr char kAbandoned[] = "the ProductVersion(2.1.0.0) existed is higher";
constexpr char kNotStarted[] = "CreateProcess failed (31)\n";

// The documented outcome of each failing operation. An operation that a run uses and that is not
// listed here fails the sweep: each new platform call needs its failure decided.
const std::map<std::string, Outcome>& DocumentedOutcomes() {
  static const std::map<std::string, Outcome> outcomes = {
      // Nothing can be done without the command line or the OS.
      {"SplitCommandLine", {-1, nullptr}},
      {"QueryVersion", {1, "This OS is not supported."}},
      // The gate's working buffer is the first allocation.
      {"AllocateText", {14, "CheckProductInstalled finished."}},
      // No launcher of ours can be named, or none starts (msiexec neither): the start's error.
      {"GetProgramFolder", {kFailure, kNotStarted}},
      {"RunProcess", {kFailure, kNotStarted}},
      // The launcher's version cannot be read: the registered one counts as higher.
      {"LoadVersionLibrary", {0, kAbandoned}},
      {"GetFileVersionInfoSize", {0, kAbandoned}},
      {"GetFileVersionInfo", {0, kAbandoned}},
      {"QueryVersionValue", {0, kAbandoned}},
      // The rest costs a log line, the log file, the removal, the answer file's contents or the
      // launching folder, and the launcher still runs.
      {"GetCommonProgramFilesFolder", {kLauncherExitCode, kLaunched}},
      {"CreateFolder", {kLauncherExitCode, kLaunched}},
      {"OpenLogFile", {kLauncherExitCode, kLaunched}},
      {"AppendToLogFile", {kLauncherExitCode, kLaunched}},
      {"FindFile", {kLauncherExitCode, kLaunched}},
      {"FormatLocalTime", {kLauncherExitCode, kLaunched}},
      {"GetNativeSystemArchitecture", {kLauncherExitCode, kLaunched}},
      {"IsExistingPath", {kLauncherExitCode, kLaunched}},
      {"GetFullPath", {kLauncherExitCode, kLaunched}},
      {"ReadProfileValue", {kLauncherExitCode, kLaunched}},
      {"ReadProfileKeyNames", {kLauncherExitCode, kLaunched}},
      {"OpenProcessSnapshot", {kLauncherExitCode, kLaunched}},
      {"FirstProcess", {kLauncherExitCode, kLaunched}},
      {"NextProcess", {kLauncherExitCode, kLaunched}},
      {"OpenProcessForQuery", {kLauncherExitCode, kLaunched}},
      {"GetOwnCreationTime", {kLauncherExitCode, kLaunched}},
      {"GetOpenedProcessCreationTime", {kLauncherExitCode, kLaunched}},
      {"GetProcessCreationTime", {kLauncherExitCode, kLaunched}},
      {"LoadProcessStatusLibrary", {kLauncherExitCode, kLaunched}},
      {"FindModulePathReader", {kLauncherExitCode, kLaunched}},
      {"ReadProcessImagePath", {kLauncherExitCode, kLaunched}},
      {"ReadProcessImageName", {kLauncherExitCode, kLaunched}},
      {"RemoveFileSpec", {kLauncherExitCode, kLaunched}},
      {"OpenClassesRootKey", {kLauncherExitCode, kLaunched}},
      {"QueryRegistryValue", {kLauncherExitCode, kLaunched}},
      {"GetSystemFolder", {kLauncherExitCode, kLaunched}},
  };
  return outcomes;
}

struct Scenario {
  const char* name;
  void (*arrange)(FakeBootSystem&);
  std::u16string tail;
};

// A whole run: 64-bit Windows 8, an older stack package registered, a launcher that ends with
// 3010 and a launching program behind a command interpreter.
void ArrangeWholeRun(FakeBootSystem& system) {
  system.classesRoot[kKey64][u"ProductVersion"] = FakeBootSystem::StoredString(u"2.1.0.0");
  for (const char16_t* launcher : {u"D:\\Setup\\win864.exe", u"D:\\Setup\\win832.exe"}) {
    auto& resource = system.versionResources[launcher];
    resource.translations = std::vector<std::uint16_t>{0x0409, 0x04B0};
    resource.strings[u"\\StringFileInfo\\040904b0\\ProductVersion"] = u"2.2.0.35";
  }
  system.processOutcome = {true, static_cast<std::uint32_t>(kLauncherExitCode)};
  (*system.processes)[3].parentId = 250;
  system.processes->push_back({250, 200, u"cmd.exe", u"C:\\Windows\\System32\\cmd.exe"});
}

const Scenario kScenarios[] = {
    {"AnswerFile",
     [](FakeBootSystem& system) {
       ArrangeWholeRun(system);
       system.existingPaths.insert(u"answers.ini");
       system.fullPaths[u"answers.ini"] = u"D:\\Setup\\answers.ini";
       system.profile[u"CommonInfo"] = {{u"SilenceInstall", u"1"}, {u"LOG", u"C:\\l.log"}};
       system.profile[u"MSParam"] = {{u"INSTALLDIR", u"C:\\Radio"}, {u"REBOOT", u"R"}};
     },
     u"answers.ini"},
    {"LaunchingProgram",
     [](FakeBootSystem& system) {
       ArrangeWholeRun(system);
       system.split = SplitArguments{2, {u'/', u'q'}};
     },
     u"/q"},
    {"LaunchingProgramOfTheOtherBitness",
     [](FakeBootSystem& system) {
       ArrangeWholeRun(system);
       (*system.processes)[2].imagePath = u"";
       (*system.processes)[2].imageName = u"D:\\Media\\autorun.exe";
     },
     u""},
};

struct RunRecord {
  int exitCode = 0;
  FakeBootSystem system;
};

void RunWhole(const Scenario& scenario, const char* failing, RunRecord& record) {
  scenario.arrange(record.system);
  if (failing != nullptr) record.system.Fail(failing);
  DiagnosticLog log(record.system);
  log.OpenLogFile();
  record.exitCode = RunStackboot(record.system, log, scenario.tail.c_str());
  log.CloseLogFile();  // as the exit processing does
}

// What must hold after every run, whatever failed.
void ExpectSoundEnd(const FakeBootSystem& system) {
  EXPECT_EQ(system.StillOpen(), std::vector<std::string>{}) << "everything taken is released";
  for (const auto& started : system.started) {
    EXPECT_EQ(started.commandLine.find(u"<unterminated>"), std::u16string::npos)
        << Narrow(started.commandLine.substr(0, 80));
    EXPECT_LT(started.commandLine.size(), kSetupCommandCapacity);
  }
  for (const auto& [operation, path] : system.pathsUsed) {
    EXPECT_TRUE(testing::IsAbsolutePath(path)) << operation << " with " << Narrow(path);
  }
  const std::string bytes = system.LogBytes();
  EXPECT_TRUE(bytes.empty() || bytes.ends_with("\r\n")) << "the file holds whole lines";
}

class FaultSweep : public ::testing::TestWithParam<Scenario> {};

TEST_P(FaultSweep, EveryFailingOperationEndsTheRunAsDocumented) {
  RunRecord clean;
  RunWhole(GetParam(), nullptr, clean);
  ASSERT_EQ(clean.exitCode, kLauncherExitCode);
  ASSERT_EQ(clean.system.started.size(), 2u) << "msiexec, then the launcher";
  ExpectSoundEnd(clean.system);

  for (const std::string& operation : clean.system.failableSeen) {
    SCOPED_TRACE("failing " + operation);
    const auto documented = DocumentedOutcomes().find(operation);
    ASSERT_NE(documented, DocumentedOutcomes().end()) << "no documented outcome";
    RunRecord failed;
    RunWhole(GetParam(), operation.c_str(), failed);
    EXPECT_EQ(failed.exitCode, documented->second.exitCode);
    const auto lines = failed.system.DebugMessages();
    if (documented->second.lastLine == nullptr) {
      EXPECT_TRUE(lines.empty());
    } else {
      ASSERT_FALSE(lines.empty());
      EXPECT_TRUE(lines.back().starts_with(documented->second.lastLine)) << lines.back();
    }
    ExpectSoundEnd(failed.system);
  }
}

INSTANTIATE_TEST_SUITE_P(Runs, FaultSweep, ::testing::ValuesIn(kScenarios), testing::CaseName());

// The operations that the whole runs use between them, all of which the sweep fails in turn;
// a documented outcome that no run reaches is a sign that the runs no longer cover it.
TEST(FaultSweepCoverage, EveryDocumentedOperationIsReachedByAWholeRun) {
  std::map<std::string, int> calls;
  for (const Scenario& scenario : kScenarios) {
    RunRecord clean;
    RunWhole(scenario, nullptr, clean);
    for (const std::string& operation : clean.system.journal) {
      if (clean.system.failableSeen.count(operation) != 0) ++calls[operation];
    }
  }
  for (const auto& [operation, outcome] : DocumentedOutcomes()) {
    EXPECT_NE(calls.count(operation), 0u) << operation;
  }
  int total = 0;
  for (const auto& [operation, count] : calls) total += count;
  static_cast<void>(std::printf(
      "fault sweep: %zu operations failed in turn, %d failable calls in the whole runs\n",
      calls.size(), total));
}

}  // namespace
}  // namespace stackboot
