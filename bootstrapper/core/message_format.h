#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace stackboot {

// One argument of a message format: the program's messages use only "%s" (a text) and "%d"
// (a signed 32-bit integer).
struct FormatArg {
  enum class Kind { kText, kInteger };
  Kind kind;
  const char16_t* text;
  std::int32_t integer;
};

constexpr FormatArg MakeFormatArg(const char16_t* text) {
  return {FormatArg::Kind::kText, text, 0};
}
constexpr FormatArg MakeFormatArg(std::int32_t integer) {
  return {FormatArg::Kind::kInteger, nullptr, integer};
}

// Formats `format` into `out` (capacity units, terminator included): "%s" takes the next
// argument as text, "%d" as a decimal integer, "%%" gives one "%". Any other "%" is copied as
// it stands. A placeholder whose argument is missing or of the other kind gives nothing, and a
// null text gives nothing. The result is cut at the capacity and always terminated.
// Returns the length written.
std::size_t FormatMessageText(char16_t* out, std::size_t capacity, std::u16string_view format,
                              std::span<const FormatArg> args);

}  // namespace stackboot
