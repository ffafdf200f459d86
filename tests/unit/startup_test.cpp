// The log of a process is opened by a static initialiser, as the program's own is: by the time
// any test (or the program entry) runs, the file is open, and it is closed at exit.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "diagnostic_log.h"
#include "fake_boot_system.h"

namespace stackboot {
namespace {

testing::FakeBootSystem g_system;
DiagnosticLog g_log(g_system);

bool g_closedAtExit = false;

void CloseLogAtExit() {
  g_log.CloseLogFile();
  g_closedAtExit = true;
}

// Registered before the log's opening, so it runs after the log's exit routine (exit routines
// run in reverse order): a log that was not closed by then fails the process, whatever the tests
// reported.
void CheckLogClosedAtExit() {
  if (!g_closedAtExit || g_system.LogOpen()) {
    static_cast<void>(std::fputs("the log was not closed by the exit processing\n", stderr));
    std::_Exit(3);
  }
}
const bool g_checkRegistered = std::atexit(CheckLogClosedAtExit) == 0;

const bool g_logOpened = OpenLogAtStartup(g_log, CloseLogAtExit);

TEST(Startup, LogIsOpenBeforeTheEntryRuns) {
  ASSERT_TRUE(g_checkRegistered);
  EXPECT_TRUE(g_logOpened);
  EXPECT_TRUE(g_log.HasFile());
  EXPECT_EQ(g_system.journal, (std::vector<std::string>{"GetCommonProgramFilesFolder",
                                                        "CreateFolder", "OpenLogFile"}))
      << "nothing but the log's opening ran before the entry";
  g_log.WriteLog(u"first line");
  EXPECT_EQ(g_system.logWrites.size(), 1u) << "the first line of a run reaches the file";
}

}  // namespace
}  // namespace stackboot
