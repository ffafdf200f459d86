#include "diagnostic_log.h"

#include <cstdlib>

#include "os_classification.h"

namespace stackboot {
namespace {

// The file holds single bytes: a code unit up to U+00FF is written as that byte, any other as
// "?" so that one unconvertible character cannot cost the rest of the run's lines. A line feed
// is written as carriage return and line feed.
std::size_t EncodeLogBytes(std::u16string_view line, std::uint8_t* out) {
  std::size_t count = 0;
  for (char16_t unit : line) {
    if (unit == u'\n') out[count++] = '\r';
    out[count++] = unit <= 0xFF ? static_cast<std::uint8_t>(unit) : std::uint8_t{'?'};
  }
  return count;
}

}  // namespace

bool BuildLogFilePath(BootSystem& system, PathText& folder, PathText& path) {
  path.Clear();
  FillFromSystem(folder, [&system](char16_t* common, std::size_t capacity) {
    return system.GetCommonProgramFilesFolder(common, capacity);
  });
  path.Append(folder.View());
  if (folder.Empty() || !folder.AppendWhole(u"\\Vantrel") ||
      !path.AppendWhole(u"\\Vantrel\\UARTDriver.txt")) {
    folder.Clear();
    path.Clear();
    return false;
  }
  system.CreateFolder(folder.CStr());
  return true;
}

void DiagnosticLog::OpenLogFile() {
  PathText folder;
  PathText path;
  if (!BuildLogFilePath(system_, folder, path)) return;
  LogFileFacts facts;
  if (!system_.OpenLogFile(folder.CStr(), path.CStr(), facts)) return;
  if (facts.folderIsReparsePoint || facts.fileIsReparsePoint || facts.linkCount != 1) {
    system_.CloseLogFile();
    return;
  }
  fileOpen_ = true;
}

void DiagnosticLog::CloseLogFile() {
  if (!fileOpen_) return;
  system_.CloseLogFile();
  fileOpen_ = false;
}

void DiagnosticLog::WriteFormatted(const char16_t* format, std::span<const FormatArg> args) {
  const std::u16string_view formatText = ViewOf(format);
  if (formatText.size() > kMaxLogFormatLength) return;
  FormatMessageText(message_.Data(), LogMessage::kCapacity, formatText, args);
  message_.SyncAfterExternalWrite();
  system_.OutputDebugText(message_.CStr());
  AppendLogLine();
}

void DiagnosticLog::WriteLogText(const char16_t* text) {
  const std::u16string_view messageText = ViewOf(text);
  if (messageText.size() > kMaxLogFormatLength) return;
  message_.Assign(messageText);
  system_.OutputDebugText(message_.CStr());
  AppendLogLine();
}

void DiagnosticLog::AppendLogLine() {
  BoundedText<kLogLineCapacity> line;
  const std::size_t stampLength = system_.FormatLocalTime(line.Data(), kLogLineCapacity);
  if (stampLength == 0) {
    line.Clear();
  } else {
    line.SyncAfterExternalWrite();
  }
  line.Append(u":   ");
  line.Append(message_.View());
  if (!fileOpen_) return;

  // Each unit takes at most two bytes, plus the closing carriage return and line feed.
  std::uint8_t bytes[2 * kLogLineCapacity + 2];
  std::size_t count = EncodeLogBytes(line.View(), bytes);
  count += EncodeLogBytes(u"\n", bytes + count);
  system_.AppendToLogFile(bytes, count);
}

bool OpenLogAtStartup(DiagnosticLog& log, void (*closeAtExit)()) {
  log.OpenLogFile();
  // Should registration fail, the system still closes the file at exit, and every line has
  // already been written.
  static_cast<void>(std::atexit(closeAtExit));
  return true;
}

int PrepareRun(BootSystem& system, DiagnosticLog& log) {
  PathText folder;
  PathText path;
  const bool known = BuildLogFilePath(system, folder, path);
  log.WriteLog(u"Log file (%s)", path.CStr());
  if (known && system.FindFile(path.CStr())) {
    // The file holds the lines of earlier runs: it is reported, never deleted.
    log.WriteLog(u"Log file exist.(%s)", path.CStr());
  }
  return DetectOSType(system, log);
}

}  // namespace stackboot
