#pragma once

// One root-enumerated test device of the test bus driver: creating it and installing the driver
// on it, its switches, and its removal, all through SetupAPI as a device installer would.

#include <windows.h>

#include <cstddef>
#include <cstdint>

namespace vantrel::busdriver {

// The registry value name of a switch given by its command-line name; null if there is none.
const wchar_t* SwitchValueName(const wchar_t* name);

// Prints a line "bus <instance ID>" or "radio <instance ID>" for every device, of any maker, that
// has an interface of either class registered. Returns ERROR_SUCCESS or the Win32 error.
DWORD ListDevices();

class TestDevice {
 public:
  // Takes the instance name: letters, digits, "-" and "_" only, so the ID has exactly three
  // parts. False if the name is not of that kind or too long.
  bool SetInstance(const wchar_t* instance);

  // Each returns ERROR_SUCCESS or the Win32 error of the failed step, after a message on stderr.
  DWORD AddBus();
  // A null manufacturer leaves the device without a manufacturer property.
  DWORD AddRadio(const wchar_t* manufacturer);
  DWORD Remove();
  DWORD SetSwitch(const wchar_t* value_name, std::uint32_t value);
  DWORD ClearSwitch(const wchar_t* value_name);

 private:
  DWORD Add(const wchar_t* hardware_id, std::size_t hardware_id_bytes, const GUID& interface_class,
            bool radio, const wchar_t* manufacturer);

  static constexpr std::size_t kIdCapacity = 200;
  wchar_t id_[kIdCapacity] = {};
};

}  // namespace vantrel::busdriver
