// A small WDM function driver that stands in for the maker's bus-enumerator driver in the Wine
// tests of the radio library. Installed on a root-enumerated device, it registers and enables
// either the bus interface (and answers the radio requests) or a Bluetooth radio interface,
// chosen per device by the RadioInterface switch.

#include "device_state.h"
#include "switches.h"

namespace vantrel::busdriver {
namespace {

NTSTATUS CompleteWithSuccess(DEVICE_OBJECT* /*device*/, IRP* irp) {
  irp->IoStatus.Status = STATUS_SUCCESS;
  irp->IoStatus.Information = 0;
  IoCompleteRequest(irp, IO_NO_INCREMENT);
  return STATUS_SUCCESS;
}

NTSTATUS AddDevice(DRIVER_OBJECT* driver, DEVICE_OBJECT* pdo) {
  DEVICE_OBJECT* device = nullptr;
  NTSTATUS status = IoCreateDevice(driver, sizeof(DeviceState), nullptr, FILE_DEVICE_BUS_EXTENDER,
                                   FILE_DEVICE_SECURE_OPEN, FALSE, &device);
  if (!NT_SUCCESS(status)) return status;
  DeviceState& state = *StateOf(device);
  RtlZeroMemory(&state, sizeof(state));
  state.pdo = pdo;
  state.switch_key = OpenSwitchKey(pdo);
  state.is_bus = !ReadSwitches(state.switch_key).radio_interface;
  status = IoRegisterDeviceInterface(
      pdo, state.is_bus ? &radio::kBusInterface : &radio::kBluetoothRadioInterface, nullptr,
      &state.interface_link);
  if (NT_SUCCESS(status)) {
    state.lower = IoAttachDeviceToDeviceStack(device, pdo);
    if (state.lower == nullptr) {
      RtlFreeUnicodeString(&state.interface_link);
      status = STATUS_NO_SUCH_DEVICE;
    }
  }
  if (!NT_SUCCESS(status)) {
    if (state.switch_key != nullptr) ZwClose(state.switch_key);
    IoDeleteDevice(device);
    return status;
  }
  device->Flags |= DO_BUFFERED_IO;
  device->Flags &= ~static_cast<ULONG>(DO_DEVICE_INITIALIZING);
  return STATUS_SUCCESS;
}

NTSTATUS DispatchPnp(DEVICE_OBJECT* device, IRP* irp) {
  DeviceState& state = *StateOf(device);
  const UCHAR minor = IoGetCurrentIrpStackLocation(irp)->MinorFunction;
  switch (minor) {
    case IRP_MN_START_DEVICE:
      IoSetDeviceInterfaceState(&state.interface_link, TRUE);
      irp->IoStatus.Status = STATUS_SUCCESS;
      break;
    case IRP_MN_SURPRISE_REMOVAL:
    case IRP_MN_REMOVE_DEVICE:
      IoSetDeviceInterfaceState(&state.interface_link, FALSE);
      irp->IoStatus.Status = STATUS_SUCCESS;
      break;
    default:
      break;
  }
  IoSkipCurrentIrpStackLocation(irp);
  DEVICE_OBJECT* const lower = state.lower;
  const NTSTATUS status = IoCallDriver(lower, irp);
  if (minor == IRP_MN_REMOVE_DEVICE) {
    if (state.switch_key != nullptr) ZwClose(state.switch_key);
    RtlFreeUnicodeString(&state.interface_link);
    IoDetachDevice(lower);
    IoDeleteDevice(device);
  }
  return status;
}

void Unload(DRIVER_OBJECT* /*driver*/) {}

}  // namespace
}  // namespace vantrel::busdriver

extern "C" NTSTATUS DriverEntry(DRIVER_OBJECT* driver, UNICODE_STRING* /*registry_path*/) {
  using namespace vantrel::busdriver;
  driver->DriverExtension->AddDevice = AddDevice;
  driver->DriverUnload = Unload;
  driver->MajorFunction[IRP_MJ_CREATE] = CompleteWithSuccess;
  driver->MajorFunction[IRP_MJ_CLEANUP] = CompleteWithSuccess;
  driver->MajorFunction[IRP_MJ_CLOSE] = CompleteWithSuccess;
  driver->MajorFunction[IRP_MJ_DEVICE_CONTROL] = DispatchDeviceControl;
  driver->MajorFunction[IRP_MJ_PNP] = DispatchPnp;
  return STATUS_SUCCESS;
}
