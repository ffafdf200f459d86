#pragma once

#include <cstddef>

#include "run_context.h"

namespace stackboot {

// The parameter text handed to the setup launcher, terminator included.
inline constexpr std::size_t kParameterCapacity = 1301;

// A language identifier longer than this is not taken from the answer file.
inline constexpr std::size_t kMaxLanguageLength = 9;
inline constexpr char16_t kDefaultLanguage[] = u"1033";

// Fills `params` (kParameterCapacity units) from the answer file named by `lpCmdLine`: silent
// mode, the installer log, the setup properties and the launcher's language. Properties go in
// file order as long as each fits whole; the first that does not fit, and all after it, are
// left out, so that the /v part and the language switch always close the text.
void BuildParamsFromIni(RunContext& run, const char16_t* lpCmdLine, char16_t* params);

// Fills `params` (kParameterCapacity units) with the command-line tail and the property
// VTRLAUNCHDIR, the folder of the program that launched this one (looked up through cmd.exe).
// A tail longer than the buffer is left out whole; a property that does not fit behind the tail
// is left out.
void BuildParamsFromCommandLine(RunContext& run, const char16_t* lpCmdLine, char16_t* params);

}  // namespace stackboot
