#include "bus_channel.h"

#include <cstdint>
#include <cstring>

#include "radio_constants.h"
#include "trace_format.h"

namespace radiogate {
namespace {

std::int32_t LastErrorCode(RadioSystem& system) {
  return static_cast<std::int32_t>(system.LastError());
}

// The enumeration step: the first present interface of the bus driver's class, opened. Only
// index 0 is tried, even when it cannot be opened.
FileHandle EnumBusDevice(RadioSystem& system) {
  const OwnedDeviceSet devices(
      system,
      system.GetClassDevices(kBusEnumInterfaceClass, kDigcfPresent | kDigcfDeviceInterface));
  if (!devices) {
    TraceFormat(system,
                u"In Function EnumBusDevice() Failed to SetupDiGetClassDevs: with Win32 error "
                u"code: %d\n",
                LastErrorCode(system));
    return kInvalidFileHandle;
  }
  InterfaceRecord record;
  record.cbSize = sizeof(InterfaceRecord);
  if (system.EnumDeviceInterface(devices.Get(), kBusEnumInterfaceClass, 0, record)) {
    return OpenBusInterface(system, devices.Get(), record);
  }
  if (system.LastError() == kErrorNoMoreItems) {
    TraceFormat(system,
                u"In Function EnumBusDevice() Failed to SetupDiEnumDeviceInterfaces: with Win32 "
                u"error code: %d\n",
                LastErrorCode(system));
  }
  return kInvalidFileHandle;
}

}  // namespace

OwnedFile OpenBusHandle(RadioSystem& system) {
  const FileHandle channel = EnumBusDevice(system);
  if (channel != kInvalidFileHandle) return OwnedFile(system, channel);
  TraceFormat(system,
              u"In Function OpenBusHandle() Failed to obtain file handle to device: with Win32 "
              u"error code: %d\n",
              LastErrorCode(system));
  return OwnedFile(system, kNullFileHandle);
}

FileHandle OpenBusInterface(RadioSystem& system, DeviceSet set, const InterfaceRecord& record) {
  std::uint32_t size = 0;
  system.GetInterfaceDetail(set, record, nullptr, 0, size);
  if (system.LastError() != kErrorInsufficientBuffer) return kInvalidFileHandle;
  // A size that cannot hold the record's fixed part would fail the read below anyway.
  if (size < kInterfaceDetailRecordSize) return kInvalidFileHandle;

  const OwnedPages detail(system, system.AllocatePages(size, kMemCommitReserve, kPageReadWrite));
  if (!detail) return kInvalidFileHandle;
  // The record's fixed size, not the size allocated: the platform checks it against its own.
  std::memcpy(detail.Get(), &kInterfaceDetailRecordSize, sizeof(kInterfaceDetailRecordSize));
  if (!system.GetInterfaceDetail(set, record, detail.Get(), size, size)) {
    return kInvalidFileHandle;
  }

  const auto* devicePath = reinterpret_cast<const char16_t*>(
      static_cast<const unsigned char*>(detail.Get()) + kDevicePathOffset);
  const FileHandle file =
      system.CreateDeviceFile(devicePath, kGenericReadWrite, 0, kOpenExisting, 0);
  if (file == kInvalidFileHandle) {
    TraceFormat(system,
                u"In Function OpenBusInterface() Failed to CreateFile: with Win32 error "
                u"code: %d\n",
                LastErrorCode(system));
  } else {
    TraceFormat(system, u"In Function OpenBusInterface() the DevicePaht is: %s\n", devicePath);
  }
  return file;
}

}  // namespace radiogate
