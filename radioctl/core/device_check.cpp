#include "device_check.h"

#include <cstddef>
#include <cstdint>

#include "owned.h"
#include "radio_constants.h"
#include "trace_format.h"

namespace radiogate {
namespace {

constexpr std::uint32_t kStatusPreset = 255;
constexpr char16_t kMakerManufacturer[] = u"Vantrel Communications";

DeviceInfoRecord FreshDeviceRecord() {
  DeviceInfoRecord device;
  device.cbSize = sizeof(DeviceInfoRecord);
  return device;
}

void TraceMemberIndex(RadioSystem& system, std::uint32_t memberIndex) {
  TraceFormat(system, u"The MemberIndex of SetupDiEnumDeviceInfo is %d!\n",
              static_cast<std::int32_t>(memberIndex));
}

// Presence is the status query's answer alone; the status word and problem number are only
// written out.
bool IsPresent(RadioSystem& system, std::uint32_t devInst) {
  std::uint32_t status = kStatusPreset;
  std::uint32_t problem = kStatusPreset;
  const std::uint32_t answer = system.GetDevNodeStatus(status, problem, devInst, 0);
  TraceFormat(system, u"The status of uStatus is %d!\n", static_cast<std::int32_t>(status));
  TraceFormat(system, u"The status of uProblem is %d!\n", static_cast<std::int32_t>(problem));
  return answer == kCrSuccess;
}

// Room for the property as reported plus one terminating unit that the property read can never
// overwrite, so that a manufacturer text stored without its terminator still ends inside the
// buffer.
std::size_t ManufacturerBufferSize(std::uint32_t reportedSize) {
  const std::size_t units = (std::size_t{reportedSize} + 1) / 2 + 1;
  return units * sizeof(char16_t);
}

bool IsMakersRadio(RadioSystem& system, DeviceSet radios, const DeviceInfoRecord& device) {
  std::uint32_t dataType = 0;
  std::uint32_t size = 0;
  system.GetDeviceProperty(radios, device, kSpdrpMfg, dataType, nullptr, 0, size);
  const OwnedPages buffer(system, size == 0
                                      ? nullptr
                                      : system.AllocatePages(ManufacturerBufferSize(size),
                                                             kMemCommitReserve, kPageReadWrite));
  const auto* manufacturer = static_cast<const char16_t*>(buffer.Get());
  if (buffer) {
    system.GetDeviceProperty(radios, device, kSpdrpMfg, dataType, buffer.Get(), size, size);
  }
  TraceFormat(system, u"The Manufacturer of this bt device is %s!\n", manufacturer);
  if (!buffer) return false;
  return system.CompareTexts(system.ThreadLocale(), kLinguisticIgnoreCase, manufacturer,
                             kMakerManufacturer) == kCstrEqual;
}

// The first pass: any bus-enumerator device that is present now qualifies at once.
bool FindPresentBusDevice(RadioSystem& system) {
  const OwnedDeviceSet devices(
      system, system.GetClassDevices(kBusEnumInterfaceClass, kDigcfDeviceInterface));
  if (!devices) return false;
  for (std::uint32_t index = 0;; ++index) {
    DeviceInfoRecord device = FreshDeviceRecord();
    if (!system.EnumDeviceInfo(devices.Get(), index, device)) return false;
    if (IsPresent(system, device.devInst)) {
      system.OutputDebugText(u"This device is 7715 dongle\n");
      return true;
    }
    TraceMemberIndex(system, index);
  }
}

}  // namespace

int CheckBTDevice(RadioSystem& system) {
  if (FindPresentBusDevice(system)) return kBtDeviceOk;

  const OwnedDeviceSet hardwareDeviceInfo(
      system, system.GetClassDevices(kBthPortInterfaceClass, kDigcfDeviceInterface));
  if (!hardwareDeviceInfo) return kBtDeviceNotExist;
  system.OutputDebugText(u"Enter if(hardwareDeviceInfo > 0)\n");

  int result = kBtDeviceNull;
  for (std::uint32_t index = 0;; ++index) {
    DeviceInfoRecord device = FreshDeviceRecord();
    if (!system.EnumDeviceInfo(hardwareDeviceInfo.Get(), index, device)) break;
    if (IsPresent(system, device.devInst)) {
      if (IsMakersRadio(system, hardwareDeviceInfo.Get(), device)) return kBtDeviceOk;
      result = kBtDeviceOtherVendor;
    }
    TraceMemberIndex(system, index);
  }
  return result;
}

}  // namespace radiogate
