#include "export_listing.h"

#include <cstdint>
#include <string_view>

#include "../tool_support.h"
#include "console.h"

namespace vantrel::radio {
namespace {

struct OrdinalCheck {
  WORD ordinal;
  const char* name;
  const wchar_t* wide_name;
};
constexpr OrdinalCheck kOrdinals[] = {
    {1, "BluetoothEnableRadio", L"BluetoothEnableRadio"},
    {2, "IsBluetoothRadioEnabled", L"IsBluetoothRadioEnabled"},
};

// ASCII names from the image, widened for the console.
void WriteAsciiLine(std::wstring_view prefix, const char* text) {
  tools::HeapArray<wchar_t> line;
  line.Append(prefix);
  for (const char* c = text; *c != '\0'; ++c) line.Append(static_cast<wchar_t>(*c));
  line.Append(L'\n');
  WriteStdout({line.View()});
}

const IMAGE_EXPORT_DIRECTORY* ExportDirectory(const BYTE* base) {
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  if (dos->e_magic != IMAGE_DOS_SIGNATURE) return nullptr;
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  if (nt->Signature != IMAGE_NT_SIGNATURE) return nullptr;
  const IMAGE_DATA_DIRECTORY& entry =
      nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
  if (entry.VirtualAddress == 0 || entry.Size == 0) return nullptr;
  return reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + entry.VirtualAddress);
}

// The name that the table gives the function at `index`, or null if it has none.
const char* NameOf(const BYTE* base, const IMAGE_EXPORT_DIRECTORY& directory, DWORD index) {
  const auto* names = reinterpret_cast<const DWORD*>(base + directory.AddressOfNames);
  const auto* name_ordinals = reinterpret_cast<const WORD*>(base + directory.AddressOfNameOrdinals);
  for (DWORD i = 0; i < directory.NumberOfNames; ++i) {
    if (name_ordinals[i] == index) return reinterpret_cast<const char*>(base + names[i]);
  }
  return nullptr;
}

}  // namespace

DWORD ListExports(HMODULE module) {
  const auto* base = reinterpret_cast<const BYTE*>(module);
  const IMAGE_EXPORT_DIRECTORY* directory = ExportDirectory(base);
  if (directory == nullptr) {
    WriteStdout({L"The library has no export table.\n"});
    return ERROR_INVALID_DATA;
  }
  WriteAsciiLine(L"Module: ", reinterpret_cast<const char*>(base + directory->Name));
  const auto* functions = reinterpret_cast<const DWORD*>(base + directory->AddressOfFunctions);
  for (DWORD index = 0; index < directory->NumberOfFunctions; ++index) {
    if (functions[index] == 0) continue;  // a gap in the ordinal range
    const char* name = NameOf(base, *directory, index);
    tools::HeapArray<wchar_t> prefix;
    prefix.Append(L"Export ");
    prefix.Append(tools::Decimal(directory->Base + index).View());
    prefix.Append(L": ");
    WriteAsciiLine(prefix.View(), name == nullptr ? "(no name)" : name);
  }
  bool all_match = true;
  for (const OrdinalCheck& check : kOrdinals) {
    const FARPROC by_ordinal = GetProcAddress(module, MAKEINTRESOURCEA(check.ordinal));
    const FARPROC by_name = GetProcAddress(module, check.name);
    const bool match = by_ordinal != nullptr && by_ordinal == by_name;
    all_match = all_match && match;
    WriteStdout({L"Ordinal ", tools::Decimal(check.ordinal).View(), L" is ", check.wide_name,
                 match ? L": yes.\n" : L": no.\n"});
  }
  return all_match ? ERROR_SUCCESS : ERROR_INVALID_DATA;
}

}  // namespace vantrel::radio
