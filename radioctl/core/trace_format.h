#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "radio_system.h"

namespace radiogate {

// The debugger lines use only "%s" (a UTF-16 text) and "%d" (a signed 32-bit integer). The
// argument carries its kind, so a value of the wrong kind can never be read as the other.
struct TraceArg {
  enum class Kind { kText, kInteger };
  Kind kind;
  const char16_t* text;
  std::int32_t integer;
};

constexpr TraceArg MakeTraceArg(const char16_t* text) { return {TraceArg::Kind::kText, text, 0}; }
constexpr TraceArg MakeTraceArg(std::int32_t integer) {
  return {TraceArg::Kind::kInteger, nullptr, integer};
}

// The stack buffer of one formatted debugger line, terminator included.
inline constexpr std::size_t kTraceCapacity = 1024;

// Formats `format` into `out` (capacity units, terminator included): "%s" takes the next argument
// as text, "%d" as a decimal integer, "%%" gives "%"; any other "%" is copied. A placeholder
// without an argument of its kind gives nothing, and so does a null text. The result is cut at the
// capacity and always terminated. Returns the length written.
std::size_t FormatTraceText(char16_t* out, std::size_t capacity, std::u16string_view format,
                            std::span<const TraceArg> args);

// Formats one line into a zero-filled stack buffer and sends it to the debugger.
void TraceFormatArgs(RadioSystem& system, std::u16string_view format,
                     std::span<const TraceArg> args);

template <typename... Values>
void TraceFormat(RadioSystem& system, std::u16string_view format, Values... values) {
  static_assert(sizeof...(Values) > 0, "a line without placeholders goes to the debugger directly");
  const TraceArg args[] = {MakeTraceArg(values)...};
  TraceFormatArgs(system, format, args);
}

}  // namespace radiogate
