#pragma once

#include <cstddef>

#include "boot_system.h"
#include "bounded_text.h"

namespace stackboot {

// A product version text such as 2.2.0.35, as read from the registry or a version resource.
inline constexpr std::size_t kVersionCapacity = 260;
using VersionText = BoundedText<kVersionCapacity>;

// The version resource is read into a block of this size; a larger one counts as none.
inline constexpr std::size_t kVersionBlockSize = 10000;

// 0 when the installed version is higher than the candidate, 1 when the candidate is equal or
// higher. Each version is taken as four decimal parts; missing parts are 0, a fifth is ignored.
int CompareProductVersion(const char16_t* installed, const char16_t* candidate);

// The ProductVersion of a file's version resource, trimmed of blanks; the last translation that
// has one wins. The version stays empty when the file has no usable version resource, or when
// the text would not fit. Returns 1.
int GetFileProductVersion(BootSystem& system, const char16_t* path, VersionText& version);

}  // namespace stackboot
