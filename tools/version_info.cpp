// Prints a file's version resource as Windows itself reads it (GetFileVersionInfoW and
// VerQueryValueW), so tests check what Explorer and Windows Installer would see rather than our
// own parse of the resource.
//
//   version_info.exe <file>
//
// Output, one UTF-8 line each: "FILEVERSION a.b.c.d" and "PRODUCTVERSION a.b.c.d" from the fixed
// part, then for every translation of the translation table and every standard string that its
// table holds "<language><code page> <name>=<value>" (eight lower-case hexadecimal digits).
//
// Exit codes: 0 printed, 1 the file has no readable version resource, 2 wrong arguments.

#include <windows.h>

#include <cstdint>
#include <string_view>

#include "tool_support.h"

namespace {

using vantrel::tools::Decimal;
using vantrel::tools::HeapArray;

constexpr int kExitNoVersion = 1;
constexpr int kExitUsage = 2;

constexpr std::wstring_view kStringNames[] = {
    L"Comments",       L"CompanyName",      L"FileDescription", L"FileVersion",    L"InternalName",
    L"LegalCopyright", L"OriginalFilename", L"ProductName",     L"ProductVersion",
};

struct Translation {
  WORD language;
  WORD code_page;
};

void AppendHex4(HeapArray<wchar_t>& out, WORD value) {
  constexpr std::wstring_view kDigits = L"0123456789abcdef";
  for (int shift = 12; shift >= 0; shift -= 4) out.Append(kDigits[(value >> shift) & 0xF]);
}

void AppendVersion(HeapArray<wchar_t>& out, DWORD high, DWORD low) {
  const DWORD parts[] = {HIWORD(high), LOWORD(high), HIWORD(low), LOWORD(low)};
  for (int i = 0; i < 4; ++i) {
    if (i > 0) out.Append(L'.');
    out.Append(Decimal(parts[i]).View());
  }
}

void AppendFixedInfo(HeapArray<char>& out, const void* block) {
  void* value = nullptr;
  UINT size = 0;
  if (!VerQueryValueW(block, L"\\", &value, &size) || size < sizeof(VS_FIXEDFILEINFO)) return;
  const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(value);
  HeapArray<wchar_t> line;
  line.Append(L"FILEVERSION ");
  AppendVersion(line, fixed->dwFileVersionMS, fixed->dwFileVersionLS);
  vantrel::tools::AppendEscapedLine(out, line.View());
  line.Truncate(0);
  line.Append(L"PRODUCTVERSION ");
  AppendVersion(line, fixed->dwProductVersionMS, fixed->dwProductVersionLS);
  vantrel::tools::AppendEscapedLine(out, line.View());
}

void AppendStrings(HeapArray<char>& out, const void* block, Translation translation) {
  HeapArray<wchar_t> tag;
  AppendHex4(tag, translation.language);
  AppendHex4(tag, translation.code_page);
  for (const std::wstring_view name : kStringNames) {
    HeapArray<wchar_t> query;
    query.Append(L"\\StringFileInfo\\");
    query.Append(tag.View());
    query.Append(L'\\');
    query.Append(name);
    void* value = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(block, query.CStr(), &value, &length)) continue;
    HeapArray<wchar_t> line;
    line.Append(tag.View());
    line.Append(L' ');
    line.Append(name);
    line.Append(L'=');
    // The length counts the terminator when there is one.
    std::wstring_view text(static_cast<const wchar_t*>(value), length);
    while (!text.empty() && text.back() == L'\0') text.remove_suffix(1);
    line.Append(text);
    vantrel::tools::AppendEscapedLine(out, line.View());
  }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) {
    vantrel::tools::WriteStderr({L"usage: version_info.exe <file>\n"});
    return kExitUsage;
  }
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeW(argv[1], &ignored);
  if (size == 0) return kExitNoVersion;
  HeapArray<std::uint8_t> block;
  if (!GetFileVersionInfoW(argv[1], 0, size, block.Grow(size))) return kExitNoVersion;

  HeapArray<char> out;
  AppendFixedInfo(out, block.Data());
  void* value = nullptr;
  UINT bytes = 0;
  if (VerQueryValueW(block.Data(), L"\\VarFileInfo\\Translation", &value, &bytes)) {
    const auto* translations = static_cast<const Translation*>(value);
    for (UINT i = 0; i < bytes / sizeof(Translation); ++i) {
      AppendStrings(out, block.Data(), translations[i]);
    }
  }
  vantrel::tools::WriteAll(GetStdHandle(STD_OUTPUT_HANDLE), out.View());
  return 0;
}
