#pragma once

#include <fuzzer/FuzzedDataProvider.h>

#include <string>

namespace stackboot::fuzzing {

// A UTF-16 text of random length from the input; units are drawn from a small alphabet now and
// then, so that separators, quotes and the letters of key names come up often.
inline std::u16string TakeText(FuzzedDataProvider& input, std::size_t maxLength) {
  static constexpr char16_t kAlphabet[] =
      u"\"\\ =/%.:VTRLAUNCHDIRvtrlaunchdirinstal01q\u00e9\u4e2d";
  const std::size_t length = input.ConsumeIntegralInRange<std::size_t>(0, maxLength);
  std::u16string text;
  for (std::size_t i = 0; i < length && input.remaining_bytes() > 0; ++i) {
    char16_t unit = 0;
    if (input.ConsumeBool()) {
      unit = kAlphabet[input.ConsumeIntegralInRange<std::size_t>(0, std::size(kAlphabet) - 2)];
    } else {
      unit = input.ConsumeIntegral<char16_t>();
    }
    text += unit == u'\0' ? u'x' : unit;
  }
  return text;
}

}  // namespace stackboot::fuzzing
