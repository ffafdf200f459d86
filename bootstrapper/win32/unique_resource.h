#pragma once

#include <utility>

namespace stackboot::win32 {

// Owns one platform resource and releases it exactly once. `Traits` gives the invalid value and
// the release call, e.g. CloseHandle or FindClose.
template <typename Traits>
class UniqueResource {
 public:
  using Value = typename Traits::Value;

  UniqueResource() = default;
  explicit UniqueResource(Value value) : value_(value) {}
  ~UniqueResource() { Reset(); }
  UniqueResource(UniqueResource&& other) noexcept
      : value_(std::exchange(other.value_, Traits::Invalid())) {}
  UniqueResource& operator=(UniqueResource&& other) noexcept {
    if (this != &other) Reset(std::exchange(other.value_, Traits::Invalid()));
    return *this;
  }
  UniqueResource(const UniqueResource&) = delete;
  UniqueResource& operator=(const UniqueResource&) = delete;

  Value Get() const { return value_; }
  bool IsValid() const { return value_ != Traits::Invalid(); }
  void Reset(Value value = Traits::Invalid()) {
    if (IsValid()) Traits::Release(value_);
    value_ = value;
  }

 private:
  Value value_ = Traits::Invalid();
};

}  // namespace stackboot::win32
