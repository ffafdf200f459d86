#pragma once

#include <cstdint>

#include "radio_system.h"

namespace radiogate {

// The two exported operations, against the system interface. Each returns kErrorSuccess or
// kErrorAccessDenied and keeps nothing between calls.

// Switches the radio on or off; a successful switch returns only after the radio had time to
// settle.
std::uint32_t BluetoothEnableRadio(RadioSystem& system, std::int32_t fEnable);

// Stores TRUE (1) or FALSE (0) at `pfEnabled` on success; on failure, and for a null pointer,
// nothing is written through it.
std::uint32_t IsBluetoothRadioEnabled(RadioSystem& system, std::int32_t* pfEnabled);

}  // namespace radiogate
