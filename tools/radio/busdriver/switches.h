#pragma once

// The per-device switches that make the driver misbehave on purpose. They are REG_DWORD values
// in the device's own key (the "Device Parameters" key of its instance), read anew on every
// request, so a test can change them while the device runs. The key stays open for the device's
// lifetime: opening a device key under Wine goes through the whole device database and would
// cost more than everything else a request does.

#include <ddk/wdm.h>

namespace vantrel::busdriver {

struct Switches {
  bool fail_switch;         // FailSwitch: fail the switch request
  bool fail_query;          // FailQuery: fail the query
  bool query_without_byte;  // QueryWithoutByte: complete the query with success, write nothing
  // AnswerByte: 0 to 255 is answered by the query instead of the radio byte; absent or any other
  // value answers the radio byte.
  bool has_forced_answer;
  UCHAR forced_answer;
  // RadioInterface: read once when the device is added; nonzero makes the device a Bluetooth
  // radio instead of a bus device.
  bool radio_interface;
};

// The device's key, or null if it has none (the device then behaves). Closed with ZwClose.
HANDLE OpenSwitchKey(DEVICE_OBJECT* pdo);

// Reads the switches; without a key, or without a value, a switch is off.
Switches ReadSwitches(HANDLE key);

}  // namespace vantrel::busdriver
