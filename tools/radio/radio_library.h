#pragma once

// radiogate.dll, loaded by its full path from the host's own folder and never through the DLL
// search path, so that the host can only ever run the library installed beside it.

#include <windows.h>

namespace vantrel::radio {

using EnableRadioFunction = DWORD(WINAPI*)(BOOL);
using IsRadioEnabledFunction = DWORD(WINAPI*)(BOOL*);

class RadioLibrary {
 public:
  RadioLibrary() = default;
  ~RadioLibrary();
  RadioLibrary(const RadioLibrary&) = delete;
  RadioLibrary& operator=(const RadioLibrary&) = delete;

  // Loads the library and finds both exports by name. Returns ERROR_SUCCESS or the Win32 error,
  // after telling the user on stderr what went wrong.
  DWORD Load();

  HMODULE Module() const { return module_; }
  DWORD Enable(BOOL enable) const { return enable_(enable); }
  DWORD IsEnabled(BOOL* enabled) const { return is_enabled_(enabled); }

 private:
  HMODULE module_ = nullptr;
  EnableRadioFunction enable_ = nullptr;
  IsRadioEnabledFunction is_enabled_ = nullptr;
};

}  // namespace vantrel::radio
