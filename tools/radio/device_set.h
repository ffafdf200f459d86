#pragma once

// A SetupAPI device information set, destroyed exactly once; shared by the radio host and the
// test devices' installer.
#include <setupapi.h>
#include <windows.h>

namespace vantrel::radio {

class DeviceSet {
 public:
  explicit DeviceSet(HDEVINFO set) : set_(set) {}
  ~DeviceSet() {
    if (IsValid()) SetupDiDestroyDeviceInfoList(set_);
  }
  DeviceSet(const DeviceSet&) = delete;
  DeviceSet& operator=(const DeviceSet&) = delete;

  HDEVINFO Get() const { return set_; }
  bool IsValid() const { return set_ != INVALID_HANDLE_VALUE; }

 private:
  HDEVINFO set_;
};

}  // namespace vantrel::radio
