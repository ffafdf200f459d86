#pragma once

// Measures what one IsBluetoothRadioEnabled call costs in the calling process against the bare
// platform sequence it cannot do without (platform_query.h), on the same device.

#include <windows.h>

#include <cstdint>

#include "radio_library.h"

namespace vantrel::radio {

inline constexpr std::uint32_t kMaxBenchmarkCalls = 4096;

// Times `calls` calls of each: the library's query, the platform sequence, and the platform
// sequence followed by as many debugger lines as a query of the library writes. The three are
// interleaved call by call, so that a burst of load on the machine falls on all of them alike,
// and each is summed up by the median of its calls. Prints the medians and the library's ratios
// to the other two. Returns ERROR_SUCCESS, or the error of the first call that failed.
DWORD RunBenchmark(const RadioLibrary& library, std::uint32_t calls);

}  // namespace vantrel::radio
