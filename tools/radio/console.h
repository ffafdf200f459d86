#pragma once

// Console output of the radio host: UTF-8 lines on standard output, and numbers written without
// the C runtime's printf (whose wide %s differs between runtimes).

#include <windows.h>

#include <cstdint>
#include <initializer_list>
#include <string_view>

#include "../tool_support.h"

namespace vantrel::radio {

inline void WriteStdout(std::initializer_list<std::wstring_view> pieces) {
  tools::HeapArray<char> text;
  for (const std::wstring_view piece : pieces) tools::AppendUtf8(text, piece);
  tools::WriteAll(GetStdHandle(STD_OUTPUT_HANDLE), text.View());
}

// A non-negative number given in thousandths, written with three decimals ("1.034").
class Thousandths {
 public:
  explicit Thousandths(std::uint64_t value) {
    const auto whole = static_cast<std::uint32_t>(value / 1000);
    const auto part = static_cast<std::uint32_t>(value % 1000);
    const std::wstring_view digits = tools::Decimal(whole).View();
    for (const wchar_t c : digits) text_[length_++] = c;
    text_[length_++] = L'.';
    text_[length_++] = static_cast<wchar_t>(L'0' + part / 100);
    text_[length_++] = static_cast<wchar_t>(L'0' + part / 10 % 10);
    text_[length_++] = static_cast<wchar_t>(L'0' + part % 10);
  }
  std::wstring_view View() const { return {text_, length_}; }

 private:
  wchar_t text_[16] = {};
  std::size_t length_ = 0;
};

}  // namespace vantrel::radio
