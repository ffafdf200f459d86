#pragma once

#include <cstddef>
#include <string_view>

namespace stackboot {

// Length of a terminated UTF-16 text; a null pointer counts as empty.
constexpr std::size_t TextLength(const char16_t* text) {
  if (text == nullptr) return 0;
  std::size_t length = 0;
  while (text[length] != u'\0') ++length;
  return length;
}

// Length of a text in a buffer of `capacity` units; `capacity` when it holds no terminator.
constexpr std::size_t TextLengthWithin(const char16_t* text, std::size_t capacity) {
  std::size_t length = 0;
  while (length < capacity && text[length] != u'\0') ++length;
  return length;
}

constexpr std::u16string_view ViewOf(const char16_t* text) { return {text, TextLength(text)}; }

// A fixed-capacity, always terminated UTF-16 text. Capacity counts the terminator, as the
// platform's buffer sizes do. Appends never write past the end: Append cuts what does not fit,
// AppendWhole leaves out a piece that does not fit completely.
template <std::size_t Capacity>
class BoundedText {
  static_assert(Capacity >= 1);

 public:
  static constexpr std::size_t kCapacity = Capacity;
  static constexpr std::size_t kMaxLength = Capacity - 1;

  constexpr BoundedText() = default;

  constexpr void Clear() {
    for (auto& unit : units_) unit = u'\0';
    length_ = 0;
  }

  // Returns false when the text had to be cut.
  constexpr bool Append(std::u16string_view text) {
    const std::size_t room = kMaxLength - length_;
    const std::size_t count = text.size() < room ? text.size() : room;
    for (std::size_t i = 0; i < count; ++i) units_[length_ + i] = text[i];
    length_ += count;
    units_[length_] = u'\0';
    return count == text.size();
  }

  constexpr bool Append(char16_t unit) { return Append(std::u16string_view(&unit, 1)); }

  // Appends the text only if all of it fits; returns whether it was appended.
  constexpr bool AppendWhole(std::u16string_view text) {
    if (text.size() > kMaxLength - length_) return false;
    return Append(text);
  }

  constexpr bool Assign(std::u16string_view text) {
    Clear();
    return Append(text);
  }

  // Takes over a text that a platform call wrote into Data(): the length is found anew, and the
  // last unit is forced to be the terminator in case the call left none.
  constexpr void SyncAfterExternalWrite() {
    units_[kMaxLength] = u'\0';
    length_ = TextLength(units_);
  }

  constexpr const char16_t* CStr() const { return units_; }
  constexpr char16_t* Data() { return units_; }
  constexpr std::size_t Length() const { return length_; }
  constexpr bool Empty() const { return length_ == 0; }
  constexpr std::u16string_view View() const { return {units_, length_}; }

 private:
  char16_t units_[Capacity] = {};
  std::size_t length_ = 0;
};

// Fills `text` by a platform call that writes into a buffer of the given capacity and reports
// success; a failed call leaves the text empty.
template <std::size_t Capacity, typename Call>
void FillFromSystem(BoundedText<Capacity>& text, Call call) {
  text.Clear();
  if (call(text.Data(), Capacity)) {
    text.SyncAfterExternalWrite();
  } else {
    text.Clear();
  }
}

}  // namespace stackboot
