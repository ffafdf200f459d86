#pragma once

// Lists the loaded library's export table and checks that each ordinal leads to the function
// of the same name, so that callers binding either way reach the same code.

#include <windows.h>

namespace vantrel::radio {

// Prints the module name the table records, then one line per exported function
// ("Export <ordinal>: <name>", or "(no name)"), then whether ordinals 1 and 2 are
// BluetoothEnableRadio and IsBluetoothRadioEnabled. Returns ERROR_SUCCESS if they are,
// ERROR_INVALID_DATA if not or if the table cannot be read.
DWORD ListExports(HMODULE module);

}  // namespace vantrel::radio
