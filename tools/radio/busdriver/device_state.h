#pragma once

// What the test bus driver keeps per device, and the names it shares with its installer.

#include <ddk/wdm.h>

#include "../radio_interfaces.h"

namespace vantrel::busdriver {

struct DeviceState {
  DEVICE_OBJECT* pdo;
  DEVICE_OBJECT* lower;
  HANDLE switch_key;  // see switches.h; null if the device has no key
  UNICODE_STRING interface_link;
  // Only a bus device answers the radio requests; a Bluetooth radio device just shows up.
  bool is_bus;
  // The radio byte as last switched; several requests may run at once, hence interlocked.
  volatile LONG radio;
};

inline DeviceState* StateOf(DEVICE_OBJECT* device) {
  return static_cast<DeviceState*>(device->DeviceExtension);
}

NTSTATUS DispatchDeviceControl(DEVICE_OBJECT* device, IRP* irp);

}  // namespace vantrel::busdriver
