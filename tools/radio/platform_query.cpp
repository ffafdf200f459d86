#include "platform_query.h"

#include <cfgmgr32.h>
#include <setupapi.h>

#include "../tool_support.h"
#include "device_set.h"
#include "radio_interfaces.h"

namespace vantrel::radio {
namespace {

class VirtualBuffer {
 public:
  explicit VirtualBuffer(DWORD size)
      : data_(VirtualAlloc(nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE)) {}
  ~VirtualBuffer() {
    if (data_ != nullptr) VirtualFree(data_, 0, MEM_RELEASE);
  }
  VirtualBuffer(const VirtualBuffer&) = delete;
  VirtualBuffer& operator=(const VirtualBuffer&) = delete;

  void* Get() const { return data_; }

 private:
  void* data_;
};

DWORD LastErrorOr(DWORD fallback) {
  const DWORD error = GetLastError();
  return error == ERROR_SUCCESS ? fallback : error;
}

// The device check: every device of the class, registered or not, until one is present.
DWORD FindPresentBusDevice() {
  const DeviceSet set(
      SetupDiGetClassDevsW(&kBusInterface, nullptr, nullptr, DIGCF_DEVICEINTERFACE));
  if (!set.IsValid()) return LastErrorOr(ERROR_GEN_FAILURE);
  SP_DEVINFO_DATA device{};
  device.cbSize = sizeof(device);
  for (DWORD index = 0; SetupDiEnumDeviceInfo(set.Get(), index, &device); ++index) {
    ULONG status = 0;
    ULONG problem = 0;
    if (CM_Get_DevNode_Status(&status, &problem, device.DevInst, 0) == CR_SUCCESS) {
      return ERROR_SUCCESS;
    }
    device = SP_DEVINFO_DATA{};
    device.cbSize = sizeof(device);
  }
  return ERROR_NOT_FOUND;
}

// The channel: the first present interface, opened for reading and writing without sharing.
DWORD OpenFirstBusInterface(HANDLE& channel) {
  const DeviceSet set(SetupDiGetClassDevsW(&kBusInterface, nullptr, nullptr,
                                           DIGCF_PRESENT | DIGCF_DEVICEINTERFACE));
  if (!set.IsValid()) return LastErrorOr(ERROR_GEN_FAILURE);
  SP_DEVICE_INTERFACE_DATA interface_data{};
  interface_data.cbSize = sizeof(interface_data);
  if (!SetupDiEnumDeviceInterfaces(set.Get(), nullptr, &kBusInterface, 0, &interface_data)) {
    return LastErrorOr(ERROR_NO_MORE_ITEMS);
  }
  DWORD size = 0;
  SetupDiGetDeviceInterfaceDetailW(set.Get(), &interface_data, nullptr, 0, &size, nullptr);
  if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) return LastErrorOr(ERROR_GEN_FAILURE);
  const VirtualBuffer buffer(size);
  if (buffer.Get() == nullptr) return LastErrorOr(ERROR_OUTOFMEMORY);
  auto* detail = static_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W*>(buffer.Get());
  detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
  if (!SetupDiGetDeviceInterfaceDetailW(set.Get(), &interface_data, detail, size, &size, nullptr)) {
    return LastErrorOr(ERROR_GEN_FAILURE);
  }
  channel = CreateFileW(detail->DevicePath, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                        0, nullptr);
  return channel == INVALID_HANDLE_VALUE ? LastErrorOr(ERROR_GEN_FAILURE) : ERROR_SUCCESS;
}

}  // namespace

DWORD QueryRadioThroughPlatform(BYTE& radio) {
  const DWORD found = FindPresentBusDevice();
  if (found != ERROR_SUCCESS) return found;
  HANDLE opened = INVALID_HANDLE_VALUE;
  const DWORD error = OpenFirstBusInterface(opened);
  const tools::UniqueHandle channel(opened);
  if (error != ERROR_SUCCESS) return error;
  radio = 0;
  DWORD returned = 0;
  if (!DeviceIoControl(channel.Get(), kIoctlQueryRadio, nullptr, 0, &radio, 1, &returned,
                       nullptr)) {
    return LastErrorOr(ERROR_GEN_FAILURE);
  }
  return ERROR_SUCCESS;
}

}  // namespace vantrel::radio
