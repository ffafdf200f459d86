#pragma once

#include <cstdint>

#include "radio_system.h"

namespace radiogate {

// Switches the radio on (any nonzero fEnable) or off through the bus driver. Returns
// kErrorSuccess when the driver completed the request, kErrorAccessDenied otherwise.
std::uint32_t BluetoothEnableUARTRadio(RadioSystem& system, std::int32_t fEnable);

// Asks the bus driver for the radio state; the driver writes the byte at `state`, which the
// caller presets. Returns kErrorSuccess when the driver completed the request,
// kErrorAccessDenied otherwise.
std::uint32_t BluetoothQueryUARTRadioStatus(RadioSystem& system, std::uint8_t* state);

}  // namespace radiogate
