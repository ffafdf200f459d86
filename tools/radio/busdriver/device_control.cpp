// The two radio requests of the bus device, as the radio library sends them: buffered, the
// switch with one input byte, the query with one output byte.

#include "device_state.h"
#include "switches.h"

namespace vantrel::busdriver {
namespace {

NTSTATUS SetRadio(DeviceState& state, const IO_STACK_LOCATION& stack, IRP& irp) {
  if (stack.Parameters.DeviceIoControl.InputBufferLength < 1) return STATUS_INVALID_PARAMETER;
  if (ReadSwitches(state.switch_key).fail_switch) return STATUS_DEVICE_NOT_READY;
  const UCHAR requested = *static_cast<const UCHAR*>(irp.AssociatedIrp.SystemBuffer);
  InterlockedExchange(&state.radio, requested != 0 ? 1 : 0);
  return STATUS_SUCCESS;
}

NTSTATUS QueryRadio(DeviceState& state, const IO_STACK_LOCATION& stack, IRP& irp) {
  if (stack.Parameters.DeviceIoControl.OutputBufferLength < 1) return STATUS_BUFFER_TOO_SMALL;
  const Switches switches = ReadSwitches(state.switch_key);
  if (switches.fail_query) return STATUS_DEVICE_NOT_READY;
  // Success with nothing copied back: the caller's byte keeps whatever it held.
  if (switches.query_without_byte) return STATUS_SUCCESS;
  const UCHAR answer = switches.has_forced_answer
                           ? switches.forced_answer
                           : static_cast<UCHAR>(InterlockedCompareExchange(&state.radio, 0, 0));
  *static_cast<UCHAR*>(irp.AssociatedIrp.SystemBuffer) = answer;
  irp.IoStatus.Information = 1;
  return STATUS_SUCCESS;
}

}  // namespace

NTSTATUS DispatchDeviceControl(DEVICE_OBJECT* device, IRP* irp) {
  DeviceState& state = *StateOf(device);
  const IO_STACK_LOCATION& stack = *IoGetCurrentIrpStackLocation(irp);
  irp->IoStatus.Information = 0;
  NTSTATUS status = STATUS_INVALID_DEVICE_REQUEST;
  if (state.is_bus) {
    switch (stack.Parameters.DeviceIoControl.IoControlCode) {
      case radio::kIoctlSetRadio:
        status = SetRadio(state, stack, *irp);
        break;
      case radio::kIoctlQueryRadio:
        status = QueryRadio(state, stack, *irp);
        break;
      default:
        break;
    }
  }
  irp->IoStatus.Status = status;
  IoCompleteRequest(irp, IO_NO_INCREMENT);
  return status;
}

}  // namespace vantrel::busdriver
