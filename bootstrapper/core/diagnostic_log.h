#pragma once

#include <cstddef>
#include <cstdint>

#include "boot_system.h"
#include "bounded_text.h"
#include "message_format.h"

namespace stackboot {

// A format text longer than this is dropped without trace.
inline constexpr std::size_t kMaxLogFormatLength = 256;
// Formatted messages are cut to this many characters.
inline constexpr std::size_t kMaxLogMessageLength = 254;
inline constexpr std::size_t kLogLineCapacity = 4096;

using PathText = BoundedText<kMaxPath>;
using LogMessage = BoundedText<kMaxLogMessageLength + 1>;

// <common program files>\Vantrel\UARTDriver.txt and its folder; creates the folder on the way.
// False, with both left empty, when the system names no common files folder or the path would
// not fit: a path from the root of the current drive, or a cut one, names a place that the
// system did not choose.
bool BuildLogFilePath(BootSystem& system, PathText& folder, PathText& path);

// The bootstrapper's diagnostic log: every message goes to the debugger and, time-stamped, as
// one line to the log file, which accumulates across runs. Each line is handed to the system as
// soon as it is written, so the file is complete even when the process is ended from outside.
class DiagnosticLog {
 public:
  explicit DiagnosticLog(BootSystem& system) : system_(system) {}
  DiagnosticLog(const DiagnosticLog&) = delete;
  DiagnosticLog& operator=(const DiagnosticLog&) = delete;

  // Runs before the program entry. A file that cannot be opened, or that is reached through a
  // reparse point or has further names, leaves the log debugger-only.
  void OpenLogFile();
  // Runs at process exit.
  void CloseLogFile();
  bool HasFile() const { return fileOpen_; }

  // Formats with "%s" (const char16_t*) and "%d" (32-bit integer) arguments.
  template <typename... Args>
  void WriteLog(const char16_t* format, const Args&... args) {
    const FormatArg formatArgs[] = {MakeFormatArg(args)..., MakeFormatArg(0)};
    WriteFormatted(format, {formatArgs, sizeof...(Args)});
  }

  // Logs a text as it stands, without looking for placeholders in it.
  void WriteLogText(const char16_t* text);

 private:
  void WriteFormatted(const char16_t* format, std::span<const FormatArg> args);
  void AppendLogLine();

  BootSystem& system_;
  bool fileOpen_ = false;
  LogMessage message_;
};

// For a process-wide log's static initialiser: opens the log, so that it is open before the
// program entry runs, and registers `closeAtExit` (which closes it) with the runtime's exit
// processing. Returns true, to initialise the static.
bool OpenLogAtStartup(DiagnosticLog& log, void (*closeAtExit)());

// The first step of a run: reports the log file and classifies the OS. Returns the OS type.
int PrepareRun(BootSystem& system, DiagnosticLog& log);

}  // namespace stackboot
