#pragma once

#include <cstddef>

#include "run_context.h"

namespace stackboot {

// The parameter text handed to the setup launcher, terminator included.
inline constexpr std::size_t kParameterCapacity = 1301;

// Fills `params` (kParameterCapacity units) from the answer file named by `lpCmdLine`.
void BuildParamsFromIni(RunContext& run, const char16_t* lpCmdLine, char16_t* params);

// Fills `params` (kParameterCapacity units) from the command-line tail and the folder of the
// program that launched this one.
void BuildParamsFromCommandLine(RunContext& run, const char16_t* lpCmdLine, char16_t* params);

}  // namespace stackboot
