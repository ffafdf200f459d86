#pragma once

// The program's command line split by the platform's rules, owned for the program's lifetime.

#include <windows.h>
// shellapi.h builds on the declarations of windows.h.
#include <shellapi.h>

#include <string_view>

namespace vantrel::radio {

class Arguments {
 public:
  Arguments() : values_(CommandLineToArgvW(GetCommandLineW(), &count_)) {}
  ~Arguments() { LocalFree(values_); }
  Arguments(const Arguments&) = delete;
  Arguments& operator=(const Arguments&) = delete;

  int Count() const { return values_ == nullptr ? 0 : count_; }
  const wchar_t* At(int index) const { return values_[index]; }

 private:
  int count_ = 0;  // declared first: the call that fills values_ writes it
  wchar_t** values_;
};

}  // namespace vantrel::radio
