#include "radio_exports.h"

#include "device_check.h"
#include "radio_constants.h"
#include "radio_requests.h"
#include "trace_format.h"

namespace radiogate {
namespace {

// Writes the line for a failing device check; true when the call may go on to the driver.
bool AcceptDeviceCheck(RadioSystem& system, int outcome) {
  switch (outcome) {
    case kBtDeviceOk:
      return true;
    case kBtDeviceOtherVendor:
      system.OutputDebugText(u"The BT device doesn't belong to Vantrel Co.\r\n");
      return false;
    case kBtDeviceNotExist:
      system.OutputDebugText(u"The BT device doesn't exist.\r\n");
      return false;
    default:
      system.OutputDebugText(u"The BT device status is BT_DEVICE_NULL.\r\n");
      return false;
  }
}

}  // namespace

std::uint32_t BluetoothEnableRadio(RadioSystem& system, std::int32_t fEnable) {
  TraceFormat(system, u"Enter Function BluetoothEnableRadio(BOOL %d)\r\n", fEnable);
  if (!AcceptDeviceCheck(system, CheckBTDevice(system))) return kErrorAccessDenied;
  if (BluetoothEnableUARTRadio(system, fEnable) != kErrorSuccess) {
    system.OutputDebugText(u"the end, return ERROR_ACCESS_DENIED\r\n");
    return kErrorAccessDenied;
  }
  system.OutputDebugText(u"BluetoothEnableUARTRadio() success.\r\n");
  system.Wait(kSwitchSettleMilliseconds);
  return kErrorSuccess;
}

std::uint32_t IsBluetoothRadioEnabled(RadioSystem& system, std::int32_t* pfEnabled) {
  system.OutputDebugText(u"Enter Function IsBluetoothRadioEnabled()\r\n");
  // A caller without a place for the answer gets the failure before any device is touched.
  if (pfEnabled == nullptr) {
    system.OutputDebugText(u"return ERROR_ACCESS_DENIED.\r\n");
    return kErrorAccessDenied;
  }
  if (!AcceptDeviceCheck(system, CheckBTDevice(system))) return kErrorAccessDenied;
  std::uint8_t state = 0;
  if (BluetoothQueryUARTRadioStatus(system, &state) != kErrorSuccess) {
    system.OutputDebugText(u"return ERROR_ACCESS_DENIED.\r\n");
    return kErrorAccessDenied;
  }
  system.OutputDebugText(u"BluetoothQueryUARTRadioStatus() success.\r\n");
  if (state != 0) {
    system.OutputDebugText(u"*pfEnabled = TRUE.\r\n");
    *pfEnabled = 1;
  } else {
    system.OutputDebugText(u"*pfEnabled = FALSE.\r\n");
    *pfEnabled = 0;
  }
  system.OutputDebugText(u"return ERROR_SUCCESS.\r\n");
  return kErrorSuccess;
}

}  // namespace radiogate
