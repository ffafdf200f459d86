// The log of a process is opened by a static initialiser, as the program's own is: by the time
// any test (or the program entry) runs, the file is open, and it is closed at exit.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "diagnostic_log.h"
#include "fake_boot_system.h"

namespace stackboot {
namespace {

testing::FakeBootSystem g_system;
DiagnosticLog g_log(g_system);

void CloseLogAtExit() {
  g_log.CloseLogFile();
  // Runs after every test has ended: a log that was not closed here fails the process.
  if (g_system.logOpen) std::_Exit(3);
}

const bool g_logOpened = OpenLogAtStartup(g_log, CloseLogAtExit);

TEST(Startup, LogIsOpenBeforeTheEntryRuns) {
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
