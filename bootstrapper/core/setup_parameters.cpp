#include "setup_parameters.h"

namespace stackboot {

// Both builders hand the launcher an empty parameter text until the answer-file and
// launch-folder rules land (issue #3).
void BuildParamsFromIni(RunContext&, const char16_t*, char16_t* params) { params[0] = u'\0'; }

void BuildParamsFromCommandLine(RunContext&, const char16_t*, char16_t* params) {
  params[0] = u'\0';
}

}  // namespace stackboot
