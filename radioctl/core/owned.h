#pragma once

#include <utility>

#include "radio_constants.h"
#include "radio_system.h"

namespace radiogate {

// Owns one resource that the system handed to the core and gives it back exactly once, when the
// scope ends, on every path that obtained it. `Traits` names the empty value, which values are
// held and how one is given back.
template <typename Traits>
class Owned {
 public:
  using Value = typename Traits::Value;

  Owned(RadioSystem& system, Value value) : system_(&system), value_(value) {}
  ~Owned() { Reset(); }
  Owned(Owned&& other) noexcept
      : system_(other.system_), value_(std::exchange(other.value_, Traits::kEmpty)) {}
  Owned& operator=(Owned&&) = delete;
  Owned(const Owned&) = delete;
  Owned& operator=(const Owned&) = delete;

  Value Get() const { return value_; }
  explicit operator bool() const { return Traits::IsHeld(value_); }

 private:
  void Reset() {
    if (Traits::IsHeld(value_)) Traits::Release(*system_, value_);
    value_ = Traits::kEmpty;
  }

  RadioSystem* system_;
  Value value_;
};

struct DeviceSetTraits {
  using Value = DeviceSet;
  static constexpr Value kEmpty = kInvalidDeviceSet;
  static bool IsHeld(Value set) { return set != kInvalidDeviceSet; }
  static void Release(RadioSystem& system, Value set) { system.DestroyDeviceSet(set); }
};

// A file handle counts as absent when it is NULL or INVALID_HANDLE_VALUE.
struct FileTraits {
  using Value = FileHandle;
  static constexpr Value kEmpty = kNullFileHandle;
  static bool IsHeld(Value file) { return file != kNullFileHandle && file != kInvalidFileHandle; }
  static void Release(RadioSystem& system, Value file) { system.CloseFile(file); }
};

struct PagesTraits {
  using Value = void*;
  static constexpr Value kEmpty = nullptr;
  static bool IsHeld(Value pages) { return pages != nullptr; }
  static void Release(RadioSystem& system, Value pages) { system.FreePages(pages, kMemRelease); }
};

using OwnedDeviceSet = Owned<DeviceSetTraits>;
using OwnedFile = Owned<FileTraits>;
using OwnedPages = Owned<PagesTraits>;

}  // namespace radiogate
