#pragma once

// The interface classes and control codes that the radio library, the test bus driver, its
// installer and the radio host agree on.

#include <guiddef.h>

namespace vantrel::radio {

// The maker's bus-enumerator interface class, {3F6C1B92-7D40-4E8A-A5C3-9B2E0D71F846}.
inline constexpr GUID kBusInterface = {
    0x3F6C1B92, 0x7D40, 0x4E8A, {0xA5, 0xC3, 0x9B, 0x2E, 0x0D, 0x71, 0xF8, 0x46}};
// The platform's class of Bluetooth radios, {0850302A-B344-4FDA-9BE9-90576B8D46F0}.
inline constexpr GUID kBluetoothRadioInterface = {
    0x0850302A, 0xB344, 0x4FDA, {0x9B, 0xE9, 0x90, 0x57, 0x6B, 0x8D, 0x46, 0xF0}};

// Both buffered, bus-extender device type, write access: the switch takes one byte (1 on, 0 off),
// the query gives one byte back (nonzero on).
inline constexpr unsigned long kIoctlSetRadio = 0x2A8004;
inline constexpr unsigned long kIoctlQueryRadio = 0x2A8008;

}  // namespace vantrel::radio
