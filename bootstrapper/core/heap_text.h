#pragma once

#include <cstddef>

#include "boot_system.h"

namespace stackboot {

// A zero-filled UTF-16 buffer on the process heap, freed when the owner goes out of scope.
class HeapText {
 public:
  HeapText(BootSystem& system, std::size_t capacity)
      : system_(system), text_(system.AllocateText(capacity)) {
    if (text_ != nullptr) {
      for (std::size_t i = 0; i < capacity; ++i) text_[i] = u'\0';
    }
  }
  ~HeapText() {
    if (text_ != nullptr) system_.FreeText(text_);
  }
  HeapText(const HeapText&) = delete;
  HeapText& operator=(const HeapText&) = delete;

  char16_t* Get() const { return text_; }

 private:
  BootSystem& system_;
  char16_t* text_;
};

}  // namespace stackboot
