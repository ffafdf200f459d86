#pragma once

// The bare platform work that one radio query needs, without the library: the device check's walk
// over the bus interface class, the channel's enumeration and open, one query request, and the
// release of everything. The benchmark measures the library against it.

#include <windows.h>

namespace vantrel::radio {

// Returns ERROR_SUCCESS and the radio byte, or the Win32 error of the step that failed.
DWORD QueryRadioThroughPlatform(BYTE& radio);

}  // namespace vantrel::radio
