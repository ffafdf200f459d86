#pragma once

#include "radio_system.h"

namespace radiogate {

// Whether a usable Bluetooth device of the maker is present: the maker's bus-enumerator device,
// or else a present Bluetooth radio whose manufacturer is the maker. Returns one of the
// kBtDevice* outcomes; builds and releases its device sets on every call.
int CheckBTDevice(RadioSystem& system);

}  // namespace radiogate
