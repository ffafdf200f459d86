#include "radio_library.h"

#include <string_view>

#include "../tool_support.h"

namespace vantrel::radio {
namespace {

constexpr std::wstring_view kLibraryName = L"radiogate.dll";

// The library's full path: this program's folder and the library's name.
bool LibraryPath(wchar_t (&path)[MAX_PATH]) {
  const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return false;
  std::size_t slash = length;
  while (slash > 0 && path[slash - 1] != L'\\') --slash;
  if (slash == 0 || slash + kLibraryName.size() >= MAX_PATH) return false;
  for (const wchar_t c : kLibraryName) path[slash++] = c;
  path[slash] = L'\0';
  return true;
}

}  // namespace

RadioLibrary::~RadioLibrary() {
  if (module_ != nullptr) FreeLibrary(module_);
}

DWORD RadioLibrary::Load() {
  wchar_t path[MAX_PATH] = {};
  if (!LibraryPath(path)) {
    tools::WriteStderr(
        {L"radio: this program's own path is too long to find ", kLibraryName, L" beside it.\n"});
    return ERROR_FILENAME_EXCED_RANGE;
  }
  // The library's own imports come from the system folder only.
  module_ = LoadLibraryExW(path, nullptr,
                           LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32);
  if (module_ == nullptr) {
    const DWORD error = GetLastError();
    tools::WriteStderr(
        {L"radio: cannot load ", path, L": error ", tools::Decimal(error).View(), L".\n"});
    return error;
  }
  enable_ = reinterpret_cast<EnableRadioFunction>(
      reinterpret_cast<void*>(GetProcAddress(module_, "BluetoothEnableRadio")));
  is_enabled_ = reinterpret_cast<IsRadioEnabledFunction>(
      reinterpret_cast<void*>(GetProcAddress(module_, "IsBluetoothRadioEnabled")));
  if (enable_ == nullptr || is_enabled_ == nullptr) {
    tools::WriteStderr(
        {L"radio: ", path, L" lacks BluetoothEnableRadio or IsBluetoothRadioEnabled.\n"});
    return ERROR_PROC_NOT_FOUND;
  }
  return ERROR_SUCCESS;
}

}  // namespace vantrel::radio
