// Adds, removes and configures the root-enumerated test devices that the test bus driver serves,
// so that the radio library's Wine tests can set up exactly the devices a case needs.
//
//   devices.exe add-bus <instance>
//   devices.exe add-radio <instance> [<manufacturer>]
//   devices.exe remove <instance>
//   devices.exe set <instance> <switch> <value>
//   devices.exe list
//
// A device's instance ID is ROOT\VANTREL_TEST\<instance>. Wine never brings a removed device's
// interface back under the same instance ID while its wineserver runs, so every test device
// needs a fresh instance name. add-radio without a manufacturer leaves the device without a
// manufacturer property. The switches (fail-switch, fail-query, query-without-byte, answer-byte)
// take a decimal value, or "-" to clear them; see switches.h for what they do.
//
// add-* and remove return once the device's interface has appeared or gone. Exit codes: 0 done,
// otherwise the Win32 error of the step that failed (message on stderr), 87 for a bad command
// line.

#include <windows.h>

#include <string_view>

#include "../../tool_support.h"
#include "../arguments.h"
#include "device_registry.h"

namespace {

using vantrel::radio::Arguments;
using vantrel::tools::WriteStderr;

constexpr std::wstring_view kUsage =
    L"usage: devices.exe add-bus <instance>\n"
    L"       devices.exe add-radio <instance> [<manufacturer>]\n"
    L"       devices.exe remove <instance>\n"
    L"       devices.exe set <instance> fail-switch|fail-query|query-without-byte|answer-byte "
    L"<value>|-\n"
    L"       devices.exe list\n";

DWORD Usage() {
  WriteStderr({kUsage});
  return ERROR_INVALID_PARAMETER;
}

DWORD Run(const Arguments& args) {
  using namespace vantrel::busdriver;
  if (args.Count() == 2 && std::wstring_view(args.At(1)) == L"list") return ListDevices();
  if (args.Count() < 3) return Usage();
  const std::wstring_view command = args.At(1);
  TestDevice device;
  if (!device.SetInstance(args.At(2))) return Usage();
  if (command == L"add-bus" && args.Count() == 3) return device.AddBus();
  if (command == L"add-radio" && (args.Count() == 3 || args.Count() == 4)) {
    return device.AddRadio(args.Count() == 4 ? args.At(3) : nullptr);
  }
  if (command == L"remove" && args.Count() == 3) return device.Remove();
  if (command == L"set" && args.Count() == 5) {
    const wchar_t* value_name = SwitchValueName(args.At(3));
    if (value_name == nullptr) return Usage();
    const std::wstring_view value = args.At(4);
    if (value == L"-") return device.ClearSwitch(value_name);
    std::uint32_t number = 0;
    if (!vantrel::tools::ParseExitCode(value, number)) return Usage();
    return device.SetSwitch(value_name, number);
  }
  return Usage();
}

}  // namespace

int wmain() {
  const Arguments args;
  return static_cast<int>(Run(args));
}
