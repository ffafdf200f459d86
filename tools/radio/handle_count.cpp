#include "handle_count.h"

#include <windows.h>

namespace vantrel::radio {
namespace {

// Handle values are multiples of 4 from 4 up; a table of this many slots covers every handle a
// process of this size can hold, with a wide margin.
constexpr std::uintptr_t kSlots = 16384;

}  // namespace

std::uint32_t CountOpenHandles() {
  std::uint32_t count = 0;
  for (std::uintptr_t slot = 1; slot <= kSlots; ++slot) {
    DWORD flags = 0;
    // NOLINTNEXTLINE(performance-no-int-to-ptr): the scan asks about handle values, not pointers
    if (GetHandleInformation(reinterpret_cast<HANDLE>(slot * 4), &flags)) ++count;
  }
  return count;
}

}  // namespace vantrel::radio
