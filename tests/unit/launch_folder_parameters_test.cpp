#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "case_name.h"
#include "fake_boot_system.h"
#include "setup_parameters.h"

namespace stackboot {
namespace {

using testing::FakeBootSystem;
using testing::Narrow;
using testing::Widen;

const std::string kMediaProperty = "/v\"VTRLAUNCHDIR=\\\"D:\\Media\\\"\"";

class LaunchFolderTest : public ::testing::Test {
 protected:
  void SetUp() override { log.OpenLogFile(); }

  std::u16string Build(const std::u16string& tail) {
    RunContext run{system, log};
    std::u16string buffer(kParameterCapacity, u'#');
    BuildParamsFromCommandLine(run, tail.c_str(), buffer.data());
    EXPECT_EQ(system.OpenCount(FakeBootSystem::kSnapshot), 0);
    EXPECT_EQ(system.OpenCount(FakeBootSystem::kProcess), 0);
    EXPECT_EQ(system.OpenCount(FakeBootSystem::kProcessStatusLibrary), 0);
    const std::size_t end = buffer.find(u'\0');
    EXPECT_NE(end, std::u16string::npos) << "the text is terminated inside the buffer";
    return buffer.substr(0, end);
  }

  // Puts a command interpreter (or any program) between the launching program and us.
  void LaunchThrough(const std::u16string& name) {
    (*system.processes)[3].parentId = 250;
    system.processes->push_back({250, 200, name, u"C:\\Windows\\System32\\" + name});
    system.folderOf[u"C:\\Windows\\System32\\" + name] = u"C:\\Windows\\System32";
  }

  FakeBootSystem system;
  DiagnosticLog log{system};
};

TEST_F(LaunchFolderTest, EmptyTailGivesABlankAndTheLaunchingFolder) {
  EXPECT_EQ(Narrow(Build(u"")), " " + kMediaProperty);
  EXPECT_EQ(system.DebugMessages(),
            (std::vector<std::string>{"lpCmdLine :", "autorun.exe",
                                      "outCommandLine : " + kMediaProperty}));
  EXPECT_EQ(system.logWrites.size(), 2u) << "the parent's name goes to the debugger only";
  EXPECT_EQ(system.openedProcessId, 200u);
}

TEST_F(LaunchFolderTest, TailIsCopiedAsReceivedInFrontOfTheProperty) {
  EXPECT_EQ(Narrow(Build(u"/q  \"a b\" %s ")), "/q  \"a b\" %s  " + kMediaProperty);
}

struct InterpreterCase {
  const char* name;
  std::u16string parentName;
  bool lookedThrough;
};

class CommandInterpreter : public LaunchFolderTest,
                           public ::testing::WithParamInterface<InterpreterCase> {};

TEST_P(CommandInterpreter, IsLookedThroughByItsWholeName) {
  LaunchThrough(GetParam().parentName);
  const std::string expected = GetParam().lookedThrough
                                   ? kMediaProperty
                                   : "/v\"VTRLAUNCHDIR=\\\"C:\\Windows\\System32\\\"\"";
  EXPECT_EQ(Narrow(Build(u"/q")), "/q " + expected);
  EXPECT_EQ(system.DebugMessages().at(1), Narrow(GetParam().parentName))
      << "the parent's own name is sent";
}

INSTANTIATE_TEST_SUITE_P(Table, CommandInterpreter,
                         ::testing::Values(InterpreterCase{"Lower", u"cmd.exe", true},
                                           InterpreterCase{"Upper", u"CMD.EXE", true},
                                           InterpreterCase{"Mixed", u"Cmd.exe", true},
                                           InterpreterCase{"NoExtension", u"cmd", false},
                                           InterpreterCase{"Suffix", u"cmd.exe.bak", false},
                                           InterpreterCase{"Prefix", u"xcmd.exe", false},
                                           InterpreterCase{"OtherShell", u"powershell.exe", false}),
                         testing::CaseName());

TEST_F(LaunchFolderTest, OnlyOneInterpreterIsLookedThrough) {
  (*system.processes)[3].parentId = 260;
  system.processes->push_back({250, 200, u"cmd.exe", u"C:\\Windows\\System32\\cmd.exe"});
  system.processes->push_back({260, 250, u"cmd.exe", u"C:\\Windows\\System32\\cmd.exe"});
  system.folderOf[u"C:\\Windows\\System32\\cmd.exe"] = u"C:\\Windows\\System32";
  EXPECT_EQ(Narrow(Build(u"")), " /v\"VTRLAUNCHDIR=\\\"C:\\Windows\\System32\\\"\"");
  EXPECT_EQ(system.openedProcessId, 250u);
}

TEST_F(LaunchFolderTest, LaunchingProgramInADriveRootKeepsTheRootBackslash) {
  (*system.processes)[2].imagePath = u"D:\\autorun.exe";
  system.folderOf[u"D:\\autorun.exe"] = u"D:\\";
  EXPECT_EQ(Narrow(Build(u"")), " /v\"VTRLAUNCHDIR=\\\"D:\\\\\"\"");
}

TEST_F(LaunchFolderTest, ParentThatHasEndedGivesTheTailAndABlank) {
  system.processes->erase(system.processes->begin() + 2);
  EXPECT_EQ(Narrow(Build(u"/q")), "/q ");
  EXPECT_EQ(system.DebugMessages(),
            (std::vector<std::string>{"lpCmdLine :/q", "outCommandLine :/q "}));
  EXPECT_EQ(system.openedProcessId, 200u) << "the parent's id is still tried";
}

TEST_F(LaunchFolderTest, OwnEntryMissingFromTheSnapshotEndsTheLookup) {
  system.currentProcessId = 999;
  EXPECT_EQ(Narrow(Build(u"x")), "x ");
  EXPECT_EQ(system.DebugMessages(), (std::vector<std::string>{"lpCmdLine :x"}));
  EXPECT_FALSE(system.openedProcessId.has_value());
}

struct FailureCase {
  const char* name;
  void (*arrange)(FakeBootSystem&);
  bool outCommandLineLogged;
};

class LookupFailure : public LaunchFolderTest, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(LookupFailure, LeavesTheTailAndABlank) {
  GetParam().arrange(system);
  EXPECT_EQ(Narrow(Build(u"/q")), "/q ");
  std::vector<std::string> logged;
  for (const auto& line : system.DebugMessages()) {
    if (line.starts_with("lpCmdLine") || line.starts_with("outCommandLine")) logged.push_back(line);
  }
  std::vector<std::string> expected = {"lpCmdLine :/q"};
  if (GetParam().outCommandLineLogged) expected.push_back("outCommandLine :/q ");
  EXPECT_EQ(logged, expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, LookupFailure,
    ::testing::Values(
        FailureCase{"SnapshotNotTaken", [](FakeBootSystem& s) { s.processes.reset(); }, false},
        FailureCase{"FirstEntryNotRead",
                    [](FakeBootSystem& s) { s.failingFirstProcessCalls = {1}; }, false},
        FailureCase{"FirstEntryNotReadAgain",
                    [](FakeBootSystem& s) { s.failingFirstProcessCalls = {2}; }, false},
        FailureCase{"ProcessNotOpened",
                    [](FakeBootSystem& s) { (*s.processes)[2].imagePath.reset(); }, true},
        FailureCase{"LibraryNotLoaded",
                    [](FakeBootSystem& s) { s.Fail("LoadProcessStatusLibrary"); }, true},
        FailureCase{"ReaderNotFound", [](FakeBootSystem& s) { s.Fail("FindModulePathReader"); },
                    true},
        FailureCase{"EmptyModulePath", [](FakeBootSystem& s) { (*s.processes)[2].imagePath = u""; },
                    false}),
    testing::CaseName());

struct AgeCase {
  const char* name;
  bool throughInterpreter;
  CreationTime launcher;     // the launching program's creation time
  CreationTime interpreter;  // the command interpreter's, when there is one
  const char* failing;       // an operation that fails, or nullptr
  bool found;
};

class LauncherAge : public LaunchFolderTest, public ::testing::WithParamInterface<AgeCase> {};

// We were created at 1000. An id whose process is younger than we are was reused after our real
// launcher had ended, and that process must not name the media folder.
TEST_P(LauncherAge, OnlyAProcessOlderThanUsIsOurLauncher) {
  const AgeCase& c = GetParam();
  if (c.throughInterpreter) LaunchThrough(u"cmd.exe");
  (*system.processes)[2].created = c.launcher;
  if (c.throughInterpreter) system.processes->back().created = c.interpreter;
  if (c.failing != nullptr) system.Fail(c.failing);
  const std::string text = Narrow(Build(u"/q"));
  EXPECT_EQ(text, c.found ? "/q " + kMediaProperty : "/q ");
  EXPECT_EQ(system.DebugMessages().back(), "outCommandLine :" + text)
      << "a process that is not our launcher counts as one that cannot be opened";
  EXPECT_EQ(system.openedProcessId, 200u);
  if (c.throughInterpreter && c.failing == nullptr) {
    EXPECT_EQ(system.creationTimeQueries, (std::vector<std::uint32_t>{250}));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Table, LauncherAge,
    ::testing::Values(
        AgeCase{"Older", false, 999, 0, nullptr, true},
        AgeCase{"SameTick", false, 1000, 0, nullptr, true},
        AgeCase{"Younger", false, 1001, 0, nullptr, false},
        AgeCase{"OwnTimeUnknown", false, 999, 0, "GetOwnCreationTime", false},
        AgeCase{"LauncherTimeUnknown", false, 999, 0, "GetOpenedProcessCreationTime", false},
        AgeCase{"BehindInterpreter", true, 900, 950, nullptr, true},
        AgeCase{"BehindInterpreterSameTicks", true, 1000, 1000, nullptr, true},
        AgeCase{"InterpreterYounger", true, 900, 1001, nullptr, false},
        AgeCase{"LauncherYoungerThanInterpreter", true, 960, 950, nullptr, false},
        AgeCase{"InterpreterTimeUnknown", true, 900, 950, "GetProcessCreationTime", false}),
    testing::CaseName());

struct ImagePathCase {
  const char* name;
  std::u16string modulePath;                // what the process-status library reads
  std::optional<std::u16string> imageName;  // what the kernel names
  std::string text;
  bool imageNameAsked;
};

class ImagePath : public LaunchFolderTest, public ::testing::WithParamInterface<ImagePathCase> {};

// A 32-bit process reads no module path of a 64-bit one; the kernel's image name stands in.
TEST_P(ImagePath, FallsBackToTheKernelsImageName) {
  (*system.processes)[2].imagePath = GetParam().modulePath;
  (*system.processes)[2].imageName = GetParam().imageName;
  system.folderOf[u"E:\\Autorun\\menu.exe"] = u"E:\\Autorun";
  EXPECT_EQ(Narrow(Build(u"")), GetParam().text);
  EXPECT_EQ(std::count(system.journal.begin(), system.journal.end(), "ReadProcessImageName"),
            GetParam().imageNameAsked ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ImagePath,
    ::testing::Values(ImagePathCase{"ModulePathRead", u"D:\\Media\\autorun.exe",
                                    u"E:\\Autorun\\menu.exe", " " + kMediaProperty, false},
                      ImagePathCase{"OtherBitness", u"", u"E:\\Autorun\\menu.exe",
                                    " /v\"VTRLAUNCHDIR=\\\"E:\\Autorun\\\"\"", true},
                      ImagePathCase{"NeitherReads", u"", std::nullopt, " ", true}),
    testing::CaseName());

struct UnquotableCase {
  const char* name;
  std::u16string folder;
  bool passedOn;
};

class FolderCharacters : public LaunchFolderTest,
                         public ::testing::WithParamInterface<UnquotableCase> {};

// The folder stands inside the /v quotes: a quote or a control character in it would end or
// garble the text that Windows Installer receives.
TEST_P(FolderCharacters, ThatBreakTheQuotingMakeTheFolderUnreadable) {
  const std::u16string image = GetParam().folder + u"\\autorun.exe";
  (*system.processes)[2].imagePath = image;
  system.folderOf[image] = GetParam().folder;
  const std::u16string text = Build(u"/q");
  if (GetParam().passedOn) {
    EXPECT_EQ(text, u"/q /v\"VTRLAUNCHDIR=\\\"" + GetParam().folder + u"\\\"\"");
  } else {
    EXPECT_EQ(text, u"/q ");
    EXPECT_EQ(system.DebugMessages().back(), "autorun.exe") << "as for a path that gave no folder";
  }
}

INSTANTIATE_TEST_SUITE_P(Table, FolderCharacters,
                         ::testing::Values(UnquotableCase{"Quote", u"D:\\Me\"dia", false},
                                           UnquotableCase{"Tab", u"D:\\Me\tdia", false},
                                           UnquotableCase{"LineFeed", u"D:\\Me\ndia", false},
                                           UnquotableCase{"Delete",
                                                          u"D:\\Me\x7f"
                                                          u"dia",
                                                          false},
                                           UnquotableCase{"C1Control",
                                                          u"D:\\Me\x85"
                                                          u"dia",
                                                          false},
                                           UnquotableCase{"BlanksAndAccents",
                                                          u"D:\\M\u00e9dia Files (x86)", true},
                                           UnquotableCase{"Percent", u"D:\\100%", true}),
                         testing::CaseName());

struct PassThroughCase {
  const char* name;
  std::u16string tail;
  bool passedUnchanged;
};

class LaunchDirInTail : public LaunchFolderTest,
                        public ::testing::WithParamInterface<PassThroughCase> {};

TEST_P(LaunchDirInTail, IsFoundCaseSensitivelyAnywhere) {
  const std::u16string text = Build(GetParam().tail);
  if (GetParam().passedUnchanged) {
    EXPECT_EQ(text, GetParam().tail);
    EXPECT_EQ(system.debugLines.size(), 1u) << "only the lpCmdLine line";
  } else {
    EXPECT_EQ(Narrow(text), Narrow(GetParam().tail) + " " + kMediaProperty);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Table, LaunchDirInTail,
    ::testing::Values(PassThroughCase{"Property", u"/v\"VTRLAUNCHDIR=\\\"E:\\\\\\\"\"", true},
                      PassThroughCase{"InsideAWord", u"XVTRLAUNCHDIRY", true},
                      PassThroughCase{"InsideAPath", u"C:\\VTRLAUNCHDIR\\x ", true},
                      PassThroughCase{"LowerCaseDoesNotCount", u"vtrlaunchdir=x", false},
                      PassThroughCase{"MixedCaseDoesNotCount", u"VtrLaunchDir=x", false}),
    testing::CaseName());

TEST_F(LaunchFolderTest, NullBufferWritesAndLogsNothing) {
  RunContext run{system, log};
  BuildParamsFromCommandLine(run, u"/q", nullptr);
  EXPECT_TRUE(system.debugLines.empty());
}

struct BoundCase {
  const char* name;
  std::size_t tailLength;
  bool launchDirInTail;
  std::string shape;  // T: the tail, B: one blank, P: the property, or "empty"
};

class ParameterBounds : public LaunchFolderTest, public ::testing::WithParamInterface<BoundCase> {};

TEST_P(ParameterBounds, NothingIsCutAndNothingRunsPastTheBuffer) {
  std::u16string tail(GetParam().tailLength, u't');
  if (GetParam().launchDirInTail) tail.replace(0, 12, u"VTRLAUNCHDIR");
  const std::u16string property = Widen(kMediaProperty);
  std::u16string expected;
  for (char piece : GetParam().shape) {
    if (piece == 'T') expected += tail;
    if (piece == 'B') expected += u" ";
    if (piece == 'P') expected += property;
  }
  EXPECT_EQ(Build(tail), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ParameterBounds,
    ::testing::Values(BoundCase{"PropertyJustFits", 1300 - 1 - 29, false, "TBP"},
                      BoundCase{"PropertyLeftOut", 1300 - 29, false, "TB"},
                      BoundCase{"TailFillsTheBuffer", 1300, false, "T"},
                      BoundCase{"TailTooLongIsLeftOutWhole", 1301, false, "BP"},
                      BoundCase{"VeryLongTail", 5000, false, "BP"},
                      BoundCase{"LaunchDirTailFillsTheBuffer", 1300, true, "T"},
                      BoundCase{"LaunchDirTailTooLong", 1301, true, "empty"}),
    testing::CaseName());

}  // namespace
}  // namespace stackboot
