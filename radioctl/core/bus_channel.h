#pragma once

#include "owned.h"
#include "radio_system.h"

namespace radiogate {

// Opens the channel to the bus-enumerator driver: the interface at member index 0 of the present
// devices of its class. The result holds no handle when the channel could not be opened; the
// caller closes an open channel when it goes out of scope.
OwnedFile OpenBusHandle(RadioSystem& system);

// Opens the device path of one interface of the set for reading and writing, without sharing.
// Returns kInvalidFileHandle when it cannot be opened.
FileHandle OpenBusInterface(RadioSystem& system, DeviceSet set, const InterfaceRecord& record);

}  // namespace radiogate
