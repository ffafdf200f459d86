#include "run_sequence.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "case_name.h"
#include "fake_boot_system.h"
#include "os_classification.h"

namespace stackboot {
namespace {

using testing::FakeBootSystem;
using testing::Narrow;

struct QuietCase {
  const char* name;
  int count;
  std::u16string second;
  bool expected;
};

class QuietSwitch : public ::testing::TestWithParam<QuietCase> {};

TEST_P(QuietSwitch, IsSetBySecondCharacterOfTheOnlyArgument) {
  const QuietCase& c = GetParam();
  SplitArguments arguments;
  arguments.count = c.count;
  for (std::size_t i = 0; i < 2 && i < c.second.size(); ++i) {
    arguments.secondArgumentHead[i] = c.second[i];
  }
  EXPECT_EQ(IsQuietSwitch(arguments), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Table, QuietSwitch,
                         ::testing::Values(QuietCase{"SlashQ", 2, u"/q", true},
                                           QuietCase{"DashUpperQ", 2, u"-Q", true},
                                           QuietCase{"SlashQuiet", 2, u"/quiet", true},
                                           QuietCase{"FileNameAq", 2, u"aq.ini", true},
                                           QuietCase{"LoneQ", 2, u"q", false},
                                           QuietCase{"EmptyArgument", 2, u"", false},
                                           QuietCase{"SlashS", 2, u"/s", false},
                                           QuietCase{"TwoArguments", 3, u"/q", false},
                                           QuietCase{"NoArgument", 1, u"", false}),
                         testing::CaseName());

class RunStackbootTest : public ::testing::Test {
 protected:
  int Run(const char16_t* tail = u"") {
    log.OpenLogFile();
    const int exitCode = RunStackboot(system, log, tail);
    EXPECT_EQ(system.OpenCount(FakeBootSystem::kHeapText), 0)
        << "the parameter buffer must be freed";
    return exitCode;
  }

  FakeBootSystem system;
  DiagnosticLog log{system};
};

TEST_F(RunStackbootTest, StartsTheLauncherBesideTheProgramAndReturnsItsExitCode) {
  system.processOutcome = {true, 1603};
  EXPECT_EQ(Run(), 1603);
  const std::string launch = "D:\\Setup\\win864.exe  /v\"VTRLAUNCHDIR=\\\"D:\\Media\\\"\"";
  ASSERT_EQ(system.started.size(), 1u);
  EXPECT_EQ(system.started[0].applicationName, u"D:\\Setup\\win864.exe");
  EXPECT_EQ(Narrow(system.started[0].commandLine), launch);
  const std::vector<std::string> expected = {
      "Log file (C:\\Program Files (x86)\\Common Files\\Vantrel\\UARTDriver.txt)",
      "Log file exist.(C:\\Program Files (x86)\\Common Files\\Vantrel\\UARTDriver.txt)",
      "Windows 8 ",
      "\n",
      "CheckProductInstalled started.",
      "GetInstallerCode started.",
      "Installer code is Installer\\Products\\37F90B4ED1C258A46B2E173FD8509C4A",
      "GetInstallerCode finished.",
      "RegOpenKeyEx Installer\\Products\\37F90B4ED1C258A46B2E173FD8509C4A failed.(2)",
      "CheckProductInstalled finished.",
      "PathFile not Exists",
      "lpCmdLine :",
      "autorun.exe",
      "outCommandLine : /v\"VTRLAUNCHDIR=\\\"D:\\Media\\\"\"",
      "_strFileName " + launch,
      launch,
  };
  EXPECT_EQ(system.DebugMessages(), expected);
  EXPECT_EQ(system.logWrites.size(), expected.size() - 1) << "the parent's name is debugger-only";
}

TEST_F(RunStackbootTest, EmptyParameterTextStillFollowsOneBlank) {
  system.processes.reset();
  Run();
  ASSERT_EQ(system.started.size(), 1u);
  EXPECT_EQ(system.started[0].commandLine, u"D:\\Setup\\win864.exe  ")
      << "the package path, one blank, and the text of a tail without a launching folder";
}

TEST_F(RunStackbootTest, ThirtyTwoBitWindows8UsesTheThirtyTwoBitLauncher) {
  system.nativeArchitecture = std::uint16_t{0};
  Run();
  ASSERT_EQ(system.started.size(), 1u);
  EXPECT_EQ(system.started[0].applicationName, u"D:\\Setup\\win832.exe");
}

TEST_F(RunStackbootTest, QuietRunAppendsTheSilentSwitches) {
  system.split = SplitArguments{2, {u'/', u'q'}};
  Run(u"/q");
  const std::string setup = "D:\\Setup\\win864.exe /q /v\"VTRLAUNCHDIR=\\\"D:\\Media\\\"\"";
  ASSERT_EQ(system.started.size(), 1u);
  EXPECT_EQ(Narrow(system.started[0].commandLine), setup + " /s /v/qn");
  const auto messages = system.DebugMessages();
  EXPECT_EQ(messages.at(messages.size() - 2), "_strFileName " + setup);
  EXPECT_EQ(messages.back(), setup + " /s /v/qn");
}

TEST_F(RunStackbootTest, ExistingTailIsTakenAsAnAnswerFile) {
  system.existingPaths.insert(u"C:\\answers.ini");
  system.profile[u"CommonInfo"] = {{u"SilenceInstall", u"1"}};
  Run(u"C:\\answers.ini");
  EXPECT_EQ(system.DebugMessages().at(10), "PathFileExists, lpCmdLine is C:\\answers.ini");
  EXPECT_EQ(system.profileFiles.at(0), u"C:\\answers.ini");
  EXPECT_EQ(system.started.at(0).commandLine, u"D:\\Setup\\win864.exe /s /v\"/qn \"  /l1033");
}

TEST_F(RunStackbootTest, FailedStartIsLoggedAndBecomesTheExitCode) {
  system.processOutcome = {false, 2};
  EXPECT_EQ(Run(), 2);
  EXPECT_EQ(system.DebugMessages().back(), "CreateProcess failed (2)\n");
  const std::string bytes = system.LogBytes();
  EXPECT_EQ(bytes.substr(bytes.size() - 40), "09:05:07:   CreateProcess failed (2)\r\n\r\n");
}

TEST_F(RunStackbootTest, UnsplittableCommandLineEndsTheRunSilently) {
  system.split.reset();
  EXPECT_EQ(Run(), -1);
  EXPECT_TRUE(system.debugLines.empty());
  EXPECT_TRUE(system.started.empty());
}

TEST_F(RunStackbootTest, ParameterBufferAllocationFailureStartsNothing) {
  system.Fail("AllocateText");
  EXPECT_EQ(Run(), 14);
  EXPECT_TRUE(system.started.empty());
  EXPECT_EQ(system.DebugMessages().back(), "CheckProductInstalled finished.")
      << "nothing is logged after the gate";
}

struct UnsupportedCase {
  const char* name;
  OsVersion version;
};

class UnsupportedOs : public ::testing::TestWithParam<UnsupportedCase> {};

TEST_P(UnsupportedOs, IsRefusedWithExitCodeOneBeforeAnythingElse) {
  FakeBootSystem system;
  system.versionEx = GetParam().version;
  DiagnosticLog log{system};
  log.OpenLogFile();
  EXPECT_EQ(RunStackboot(system, log, u""), 1);
  EXPECT_EQ(system.debugLines.back(), u"This OS is not supported.");
  EXPECT_TRUE(system.started.empty());
  EXPECT_EQ(std::count(system.journal.begin(), system.journal.end(), "AllocateText"), 0);
}

INSTANTIATE_TEST_SUITE_P(Table, UnsupportedOs,
                         ::testing::Values(UnsupportedCase{"Xp", {2, 5, 1}},
                                           UnsupportedCase{"Vista", {2, 6, 0}},
                                           UnsupportedCase{"Win7", {2, 6, 1}},
                                           UnsupportedCase{"Version63", {2, 6, 3}},
                                           UnsupportedCase{"NotNt", {1, 4, 10}}),
                         testing::CaseName());

TEST_F(RunStackbootTest, PercentSignsInTheCommandLineAreLoggedAndRunUnchanged) {
  system.processes.reset();
  system.programFolder = u"D:\\100%s%d";
  Run(u"%s %d");
  EXPECT_EQ(system.DebugMessages().back(), "D:\\100%s%d\\win864.exe %s %d ");
  EXPECT_EQ(system.started.at(0).commandLine, u"D:\\100%s%d\\win864.exe %s %d ");
}

TEST_F(RunStackbootTest, LongestProgramFolderIsNeverCut) {
  const std::u16string folder = u"D:\\" + std::u16string(256, u'f');  // 259 characters
  system.programFolder = folder;
  system.processes.reset();
  system.split = SplitArguments{2, {u'/', u'Q'}};
  Run(u"/Q");
  ASSERT_EQ(system.started.size(), 1u);
  EXPECT_EQ(system.started[0].applicationName, folder + u"\\win864.exe");
  EXPECT_EQ(system.started[0].commandLine, folder + u"\\win864.exe /Q  /s /v/qn");
  const auto messages = system.DebugMessages();
  EXPECT_EQ(messages.back().substr(0, 13), "_strFileName ")
      << "a final command line over 256 characters is run but not logged";
  EXPECT_EQ(messages.back().size(), 254u) << "the _strFileName line is cut to 254 characters";
}

TEST_F(RunStackbootTest, UnknownProgramFolderStartsNothingAndExitsWithItsError) {
  // A cut module path: a launcher "beside" it, or at the root of the current drive, is not ours.
  system.programFolderError = 122;
  system.processes.reset();
  EXPECT_EQ(Run(u"/x"), 122);
  EXPECT_TRUE(system.started.empty());
  const auto messages = system.DebugMessages();
  ASSERT_GE(messages.size(), 3u);
  EXPECT_EQ(
      std::vector<std::string>(messages.end() - 3, messages.end()),
      (std::vector<std::string>{"_strFileName  /x ", " /x ", "CreateProcess failed (122)\n"}));
}

}  // namespace
}  // namespace stackboot
