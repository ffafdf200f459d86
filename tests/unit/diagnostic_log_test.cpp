#include "diagnostic_log.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>

#include "case_name.h"
#include "fake_boot_system.h"

namespace stackboot {
namespace {

using testing::FakeBootSystem;
using testing::Narrow;

constexpr char16_t kLogPath[] = u"C:\\Program Files (x86)\\Common Files\\Vantrel\\UARTDriver.txt";

class DiagnosticLogTest : public ::testing::Test {
 protected:
  FakeBootSystem system;
  DiagnosticLog log{system};
};

TEST_F(DiagnosticLogTest, OpensTheFileUnderTheCommonFilesFolder) {
  log.OpenLogFile();
  EXPECT_TRUE(log.HasFile());
  EXPECT_EQ(system.openedLogPath, kLogPath);
  ASSERT_EQ(system.createdFolders.size(), 1u);
  EXPECT_EQ(system.createdFolders[0], u"C:\\Program Files (x86)\\Common Files\\Vantrel");
}

struct UnnamedFolderCase {
  const char* name;
  std::optional<std::u16string> commonFilesFolder;
};

class UnnamedLogFolder : public ::testing::TestWithParam<UnnamedFolderCase> {};

// A log at the root of the current drive, or at a cut path, lies where the system never said.
TEST_P(UnnamedLogFolder, GivesNoLogFileAndCreatesNothing) {
  FakeBootSystem system;
  system.commonFilesFolder = GetParam().commonFilesFolder;
  DiagnosticLog log{system};
  log.OpenLogFile();
  EXPECT_FALSE(log.HasFile());
  EXPECT_TRUE(system.createdFolders.empty());
  EXPECT_EQ(std::count(system.journal.begin(), system.journal.end(), "OpenLogFile"), 0);

  EXPECT_EQ(PrepareRun(system, log), 8);
  EXPECT_EQ(system.DebugMessages().at(0), "Log file ()");
  EXPECT_EQ(system.DebugMessages().at(1), "Windows 8 ") << "nothing is looked up";
  EXPECT_EQ(std::count(system.journal.begin(), system.journal.end(), "FindFile"), 0);
  EXPECT_TRUE(system.logWrites.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Table, UnnamedLogFolder,
    ::testing::Values(UnnamedFolderCase{"NoCommonFilesFolder", std::nullopt},
                      UnnamedFolderCase{"EmptyCommonFilesFolder", u""},
                      // 251 + "\\Vantrel" fits, the file name does not.
                      UnnamedFolderCase{"PathWouldBeCut", u"C:\\" + std::u16string(248, u'c')},
                      UnnamedFolderCase{"FolderWouldBeCut", u"C:\\" + std::u16string(252, u'c')}),
    testing::CaseName());

struct OpenedFileCase {
  const char* name;
  LogFileFacts facts;
  bool kept;
};

class OpenedLogFile : public ::testing::TestWithParam<OpenedFileCase> {};

// A junction at the folder, a link at the file, or a file with a second name elsewhere would
// let whoever made them choose what an elevated program writes to.
TEST_P(OpenedLogFile, IsKeptOnlyWhenItIsAPlainFileInAPlainFolder) {
  FakeBootSystem system;
  system.logFileFacts = GetParam().facts;
  DiagnosticLog log{system};
  log.OpenLogFile();
  EXPECT_EQ(log.HasFile(), GetParam().kept);
  EXPECT_EQ(system.LogOpen(), GetParam().kept) << "a refused file is closed at once";
  EXPECT_EQ(system.openedLogFolder, u"C:\\Program Files (x86)\\Common Files\\Vantrel");
  log.WriteLog(u"line");
  EXPECT_EQ(system.logWrites.size(), GetParam().kept ? 1u : 0u);
  EXPECT_EQ(system.debugLines.size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Table, OpenedLogFile,
                         ::testing::Values(OpenedFileCase{"PlainFile", {false, false, 1}, true},
                                           OpenedFileCase{"ReparseFolder", {true, false, 1}, false},
                                           OpenedFileCase{"ReparseFile", {false, true, 1}, false},
                                           OpenedFileCase{"SecondLink", {false, false, 2}, false},
                                           OpenedFileCase{"NoLinkCount", {false, false, 0}, false}),
                         testing::CaseName());

TEST_F(DiagnosticLogTest, EachMessageIsOneTimeStampedLineInOneWrite) {
  log.OpenLogFile();
  log.WriteLog(u"Log file (%s)", u"C:\\x");
  system.timeStamp = u"23:59:58";
  log.WriteLog(u"CreateProcess failed (%d)", 2);
  ASSERT_EQ(system.logWrites.size(), 2u);
  EXPECT_EQ(system.logWrites[0], "09:05:07:   Log file (C:\\x)\r\n");
  EXPECT_EQ(system.logWrites[1], "23:59:58:   CreateProcess failed (2)\r\n");
  ASSERT_EQ(system.debugLines.size(), 2u);
  EXPECT_EQ(system.debugLines[0], u"Log file (C:\\x)") << "no time stamp, no line end";
}

TEST_F(DiagnosticLogTest, LineFeedsInAMessageBecomeCarriageReturnLineFeed) {
  log.OpenLogFile();
  log.WriteLog(u"\n");
  log.WriteLog(u"CreateProcess failed (%d)\n", 2);
  log.WriteLog(u"a\nb");
  EXPECT_EQ(system.LogBytes(),
            "09:05:07:   \r\n\r\n"
            "09:05:07:   CreateProcess failed (2)\r\n\r\n"
            "09:05:07:   a\r\nb\r\n");
  EXPECT_EQ(system.debugLines.at(0), u"\n");
}

TEST_F(DiagnosticLogTest, FailedTimeFormattingLeavesTheStampEmpty) {
  system.Fail("FormatLocalTime");
  log.OpenLogFile();
  log.WriteLog(u"x");
  EXPECT_EQ(system.LogBytes(), ":   x\r\n");
}

struct LengthCase {
  const char* name;
  std::size_t formatLength;  // length of a format text without placeholders
  std::size_t loggedLength;  // characters of it that reach debugger and file; npos: dropped
};

class DiagnosticLogLengths : public ::testing::TestWithParam<LengthCase> {};

TEST_P(DiagnosticLogLengths, CutsMessagesAndDropsOverlongFormats) {
  const LengthCase& c = GetParam();
  FakeBootSystem system;
  DiagnosticLog log{system};
  log.OpenLogFile();
  std::u16string format;
  for (std::size_t i = 0; i < c.formatLength; ++i) format += static_cast<char16_t>(u'a' + i % 26);
  log.WriteLog(format.c_str());
  log.WriteLogText(format.c_str());
  if (c.loggedLength == std::string::npos) {
    EXPECT_TRUE(system.debugLines.empty());
    EXPECT_TRUE(system.logWrites.empty());
    return;
  }
  const std::u16string expected = format.substr(0, c.loggedLength);
  ASSERT_EQ(system.debugLines.size(), 2u);
  EXPECT_EQ(system.debugLines[0], expected);
  EXPECT_EQ(system.debugLines[1], expected);
  EXPECT_EQ(system.logWrites.at(0), "09:05:07:   " + Narrow(expected) + "\r\n");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DiagnosticLogLengths,
    ::testing::Values(LengthCase{"Empty", 0, 0}, LengthCase{"Exactly254", 254, 254},
                      LengthCase{"Length255LosesItsLast", 255, 254},
                      LengthCase{"Format256IsUsed", 256, 254},
                      LengthCase{"Format257IsDropped", 257, std::string::npos}),
    testing::CaseName());

TEST_F(DiagnosticLogTest, LongFormattedResultIsCutTo254) {
  log.OpenLogFile();
  const std::u16string value(300, u'v');
  log.WriteLog(u"_strFileName %s", value.c_str());
  const std::u16string expected = u"_strFileName " + value.substr(0, 254 - 13);
  EXPECT_EQ(system.debugLines.at(0), expected);
  EXPECT_EQ(system.logWrites.at(0), "09:05:07:   " + Narrow(expected) + "\r\n");
}

TEST_F(DiagnosticLogTest, LiteralTextKeepsItsPercentSigns) {
  log.OpenLogFile();
  log.WriteLogText(u"D:\\Setup\\win864.exe %s %d 100%%");
  EXPECT_EQ(system.debugLines.at(0), u"D:\\Setup\\win864.exe %s %d 100%%");
  EXPECT_EQ(system.logWrites.at(0), "09:05:07:   D:\\Setup\\win864.exe %s %d 100%%\r\n");
}

TEST_F(DiagnosticLogTest, CodeUnitsUpToFFAreBytesAndOthersAreQuestionMarks) {
  log.OpenLogFile();
  log.WriteLog(u"caf\u00e9 \u00ff");
  log.WriteLog(u"\u4e2d\u6587 \u0100 \U0001F600");
  log.WriteLog(u"after");
  EXPECT_EQ(system.LogBytes(),
            "09:05:07:   caf\xe9 \xff\r\n"
            "09:05:07:   ?? ? ??\r\n"
            "09:05:07:   after\r\n");
  EXPECT_EQ(system.debugLines.at(1), u"\u4e2d\u6587 \u0100 \U0001F600")
      << "the debugger receives the text unchanged";
}

TEST_F(DiagnosticLogTest, WithoutAFileEveryMessageStillReachesTheDebugger) {
  system.Fail("OpenLogFile");
  log.OpenLogFile();
  EXPECT_FALSE(log.HasFile());
  log.WriteLog(u"one");
  log.WriteLog(u"two %d", 2);
  EXPECT_TRUE(system.logWrites.empty());
  EXPECT_EQ(system.debugLines, (std::vector<std::u16string>{u"one", u"two 2"}));
}

TEST_F(DiagnosticLogTest, CloseLogFileClosesOnceAndStopsFileOutput) {
  log.OpenLogFile();
  log.CloseLogFile();
  log.CloseLogFile();
  log.WriteLog(u"late");
  EXPECT_EQ(std::count(system.journal.begin(), system.journal.end(), "CloseLogFile"), 1);
  EXPECT_TRUE(system.logWrites.empty());
  EXPECT_EQ(system.debugLines.size(), 1u);
}

TEST_F(DiagnosticLogTest, PrepareRunReportsTheExistingLogAndNeverDeletesIt) {
  log.OpenLogFile();
  const int osType = PrepareRun(system, log);
  EXPECT_EQ(osType, 8);
  EXPECT_EQ(system.LogBytes(), "09:05:07:   Log file (" + Narrow(kLogPath) + ")\r\n" +
                                   "09:05:07:   Log file exist.(" + Narrow(kLogPath) + ")\r\n" +
                                   "09:05:07:   Windows 8 \r\n"
                                   "09:05:07:   \r\n\r\n");
  EXPECT_EQ(system.createdFolders.size(), 2u) << "the path is built again, folder included";
}

TEST_F(DiagnosticLogTest, PrepareRunWithoutALogFileSkipsTheExistLine) {
  system.Fail("OpenLogFile");
  log.OpenLogFile();
  PrepareRun(system, log);
  ASSERT_GE(system.debugLines.size(), 2u);
  EXPECT_EQ(Narrow(system.debugLines[0]), "Log file (" + Narrow(kLogPath) + ")");
  EXPECT_EQ(system.debugLines[1], u"Windows 8 ");
}

TEST_F(DiagnosticLogTest, PrepareRunFindsALogThatExistsButCouldNotBeOpened) {
  system.Fail("OpenLogFile");
  system.foundFiles.insert(kLogPath);
  log.OpenLogFile();
  PrepareRun(system, log);
  EXPECT_EQ(Narrow(system.debugLines.at(1)), "Log file exist.(" + Narrow(kLogPath) + ")");
}

}  // namespace
}  // namespace stackboot
