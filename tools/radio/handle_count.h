#pragma once

// Counts this process's open handles. Wine's GetProcessHandleCount always answers 0, so the
// count comes from asking each possible handle value whether it is open.

#include <cstdint>

namespace vantrel::radio {

std::uint32_t CountOpenHandles();

}  // namespace vantrel::radio
