#include "radio_requests.h"

#include "bus_channel.h"
#include "radio_constants.h"
#include "trace_format.h"

namespace radiogate {
namespace {

// What the no-channel line of the query shows for the device: the channel's opener gives back
// only the handle, so no device path is at hand and none is invented.
constexpr char16_t kNoDevicePath[] = u"";

}  // namespace

std::uint32_t BluetoothEnableUARTRadio(RadioSystem& system, std::int32_t fEnable) {
  const OwnedFile channel = OpenBusHandle(system);
  if (!channel) return kErrorAccessDenied;
  const std::uint8_t request = fEnable != 0 ? 1 : 0;
  if (!system.SendControl(channel.Get(), kIoctlSetRadioOnOff, &request, sizeof(request), nullptr,
                          0)) {
    system.OutputDebugText(u"Failed to send IOCTL_BUSENUM_SET_RADIO_ONOFF_VENDOR_SPECFIC.\n");
    return kErrorAccessDenied;
  }
  TraceFormat(system, u"Successfully send IOCTL_BUSENUM_SET_RADIO_ONOFF_VENDOR_SPECFIC: %d\n",
              std::int32_t{request});
  return kErrorSuccess;
}

std::uint32_t BluetoothQueryUARTRadioStatus(RadioSystem& system, std::uint8_t* state) {
  const OwnedFile channel = OpenBusHandle(system);
  if (!channel) {
    TraceFormat(system, u"Failed to obtain file handle to device: %s with Win32 error code: %d\n",
                kNoDevicePath, static_cast<std::int32_t>(system.LastError()));
    return kErrorAccessDenied;
  }
  if (!system.SendControl(channel.Get(), kIoctlQueryRadioStatus, nullptr, 0, state,
                          sizeof(*state))) {
    system.OutputDebugText(u"Failed to query the radio status\n");
    return kErrorAccessDenied;
  }
  system.OutputDebugText(u"Successfully query the radio status\n");
  return kErrorSuccess;
}

}  // namespace radiogate
