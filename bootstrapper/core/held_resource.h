#pragma once

#include "boot_system.h"

namespace stackboot {

// Releases a resource that the system holds for the core (a snapshot, an opened process, a
// loaded library) when the scope ends, on every path that acquired it.
template <void (BootSystem::*Release)()>
class Held {
 public:
  Held(BootSystem& system, bool acquired) : system_(system), held_(acquired) {}
  ~Held() { Reset(); }
  Held(const Held&) = delete;
  Held& operator=(const Held&) = delete;

  explicit operator bool() const { return held_; }
  void Reset() {
    if (held_) (system_.*Release)();
    held_ = false;
  }

 private:
  BootSystem& system_;
  bool held_;
};

}  // namespace stackboot
