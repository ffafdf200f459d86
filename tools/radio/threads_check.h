#pragma once

// Calls the library from several threads at once: four threads query a hundred times each while
// a fifth switches the radio on and off. Every query must succeed and report a state the radio
// had (off or on, stored as exactly FALSE or TRUE), every switch must succeed, and the process
// must hold as many handles afterwards as before.

#include <windows.h>

#include "radio_library.h"

namespace vantrel::radio {

// Prints what it found; returns ERROR_SUCCESS when everything held, ERROR_INVALID_DATA when a
// call failed or answered out of range, ERROR_TOO_MANY_OPEN_FILES when handles were left open,
// or the error of a thread that could not be started.
DWORD RunThreadsCheck(const RadioLibrary& library);

}  // namespace vantrel::radio
