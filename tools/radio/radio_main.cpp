// radio: switches the Bluetooth radio on or off, or tells whether it is on, through
// radiogate.dll, which it loads from its own folder. Also carries the library's test modes.
// The exit code is the Win32 code of the outcome.

#include <windows.h>

#include <cstdint>
#include <string_view>

#include "../tool_support.h"
#include "arguments.h"
#include "benchmark.h"
#include "console.h"
#include "export_listing.h"
#include "platform_query.h"
#include "radio_library.h"
#include "threads_check.h"

namespace {

using vantrel::radio::Arguments;
using vantrel::radio::RadioLibrary;
using vantrel::radio::WriteStdout;
using vantrel::tools::Decimal;

constexpr std::wstring_view kUsage =
    L"usage: radio on | off | status\n"
    L"  on       switch the Bluetooth radio on\n"
    L"  off      switch the Bluetooth radio off\n"
    L"  status   tell whether the Bluetooth radio is on\n"
    L"The radio is reached through radiogate.dll in this program's folder; the exit code is the\n"
    L"Windows error code of the outcome (0 success, 5 access denied).\n"
    L"\n"
    L"Test modes:\n"
    L"  radio driver-status                ask the bus driver directly, without the library\n"
    L"  radio exports                      list the library's exports and check their ordinals\n"
    L"  radio benchmark [<calls>]          time status queries against the bare platform\n"
    L"                                     calls they need (default 500 calls of each)\n"
    L"  radio threads                      query from four threads while a fifth switches;\n"
    L"                                     check every answer and the handle count\n";

constexpr std::uint32_t kDefaultCalls = 500;
// Placed in the BOOL before the query, so that a BOOL the library left alone or filled with
// something other than TRUE or FALSE shows.
constexpr BOOL kUnwritten = 0x5A5A5A5A;

DWORD Usage() {
  vantrel::tools::WriteStderr({kUsage});
  return ERROR_INVALID_PARAMETER;
}

DWORD Report(DWORD code, std::wstring_view success) {
  if (code == ERROR_SUCCESS) {
    WriteStdout({success, L"\n"});
  } else if (code == ERROR_ACCESS_DENIED) {
    WriteStdout({L"Access denied (5): no usable Vantrel device or the driver refused.\n"});
  } else {
    WriteStdout({L"Unexpected error (", Decimal(code).View(), L").\n"});
  }
  return code;
}

DWORD Switch(const RadioLibrary& library, BOOL enable) {
  return Report(library.Enable(enable), enable ? L"Radio switched on." : L"Radio switched off.");
}

DWORD Status(const RadioLibrary& library) {
  BOOL enabled = kUnwritten;
  const DWORD code = library.IsEnabled(&enabled);
  if (code == ERROR_SUCCESS && enabled != TRUE && enabled != FALSE) {
    WriteStdout({L"The library reported success but stored ",
                 Decimal(static_cast<std::uint32_t>(enabled)).View(),
                 L" instead of TRUE or FALSE.\n"});
    return ERROR_INVALID_DATA;
  }
  if (code != ERROR_SUCCESS && enabled != kUnwritten) {
    WriteStdout({L"The library failed but changed the answer to ",
                 Decimal(static_cast<std::uint32_t>(enabled)).View(), L".\n"});
    return ERROR_INVALID_DATA;
  }
  return Report(code, enabled ? L"Radio is on." : L"Radio is off.");
}

DWORD DriverStatus() {
  BYTE radio = 0;
  const DWORD code = vantrel::radio::QueryRadioThroughPlatform(radio);
  if (code != ERROR_SUCCESS) {
    WriteStdout({L"The bus driver could not be asked: error ", Decimal(code).View(), L".\n"});
    return code;
  }
  WriteStdout({L"The bus driver answers ", Decimal(radio).View(), L".\n"});
  return ERROR_SUCCESS;
}

bool ParseCount(const Arguments& args, int index, std::uint32_t fallback, std::uint32_t& value) {
  if (args.Count() <= index) {
    value = fallback;
    return true;
  }
  return vantrel::tools::ParseExitCode(args.At(index), value) && value > 0 &&
         value <= vantrel::radio::kMaxBenchmarkCalls;
}

DWORD Run(const Arguments& args) {
  if (args.Count() < 2) return Usage();
  const std::wstring_view command = args.At(1);
  if (command == L"driver-status" && args.Count() == 2) return DriverStatus();
  std::uint32_t calls = 0;
  const bool known =
      (args.Count() == 2 && (command == L"on" || command == L"off" || command == L"status" ||
                             command == L"exports" || command == L"threads")) ||
      (command == L"benchmark" && args.Count() <= 3 && ParseCount(args, 2, kDefaultCalls, calls));
  if (!known) return Usage();

  RadioLibrary library;
  const DWORD loaded = library.Load();
  if (loaded != ERROR_SUCCESS) return loaded;
  if (command == L"on") return Switch(library, TRUE);
  if (command == L"off") return Switch(library, FALSE);
  if (command == L"status") return Status(library);
  if (command == L"exports") return vantrel::radio::ListExports(library.Module());
  if (command == L"threads") return vantrel::radio::RunThreadsCheck(library);
  return vantrel::radio::RunBenchmark(library, calls);
}

}  // namespace

int wmain() {
  const Arguments args;
  return static_cast<int>(Run(args));
}
