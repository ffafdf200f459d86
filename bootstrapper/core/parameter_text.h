#pragma once

#include <cstddef>
#include <string_view>

#include "setup_parameters.h"

namespace stackboot {

// The parameter text being written into the caller's buffer of kParameterCapacity units. Pieces
// go in whole or not at all, so the launcher never receives half a switch or half a property;
// `reserve` keeps room for what must still follow.
class ParameterText {
 public:
  static constexpr std::size_t kMaxLength = kParameterCapacity - 1;

  explicit ParameterText(char16_t* buffer) : buffer_(buffer) {
    for (std::size_t i = 0; i < kParameterCapacity; ++i) buffer_[i] = u'\0';
  }

  bool Append(std::u16string_view piece, std::size_t reserve = 0) {
    if (reserve > kMaxLength - length_ || piece.size() > kMaxLength - length_ - reserve) {
      return false;
    }
    for (char16_t unit : piece) buffer_[length_++] = unit;
    buffer_[length_] = u'\0';
    return true;
  }

  const char16_t* CStr() const { return buffer_; }
  std::u16string_view View() const { return {buffer_, length_}; }

 private:
  char16_t* buffer_;
  std::size_t length_ = 0;
};

// Whether two texts are equal when the letters A to Z are taken without regard to case.
constexpr bool EqualsIgnoringAsciiCase(std::u16string_view left, std::u16string_view right) {
  if (left.size() != right.size()) return false;
  for (std::size_t i = 0; i < left.size(); ++i) {
    const auto fold = [](char16_t unit) {
      return unit >= u'A' && unit <= u'Z' ? static_cast<char16_t>(unit - u'A' + u'a') : unit;
    };
    if (fold(left[i]) != fold(right[i])) return false;
  }
  return true;
}

}  // namespace stackboot
