#include "switches.h"

namespace vantrel::busdriver {
namespace {

// Room for a KEY_VALUE_PARTIAL_INFORMATION with a DWORD. A longer value of the same name reads
// as absent, which is what a mistyped switch should do.
struct DwordValue {
  KEY_VALUE_PARTIAL_INFORMATION info;
  UCHAR room[sizeof(ULONG)];
};

bool ReadDword(HANDLE key, const wchar_t* name, ULONG& value) {
  UNICODE_STRING value_name;
  RtlInitUnicodeString(&value_name, name);
  DwordValue buffer{};
  ULONG length = 0;
  const NTSTATUS status = ZwQueryValueKey(key, &value_name, KeyValuePartialInformation, &buffer,
                                          sizeof(buffer), &length);
  if (!NT_SUCCESS(status) || buffer.info.Type != REG_DWORD ||
      buffer.info.DataLength != sizeof(ULONG)) {
    return false;
  }
  RtlCopyMemory(&value, buffer.info.Data, sizeof(ULONG));
  return true;
}

bool IsSet(HANDLE key, const wchar_t* name) {
  ULONG value = 0;
  return ReadDword(key, name, value) && value != 0;
}

}  // namespace

HANDLE OpenSwitchKey(DEVICE_OBJECT* pdo) {
  HANDLE key = nullptr;
  if (!NT_SUCCESS(IoOpenDeviceRegistryKey(pdo, PLUGPLAY_REGKEY_DEVICE, KEY_READ, &key))) {
    return nullptr;
  }
  return key;
}

Switches ReadSwitches(HANDLE key) {
  Switches switches{};
  if (key == nullptr) return switches;
  switches.fail_switch = IsSet(key, L"FailSwitch");
  switches.fail_query = IsSet(key, L"FailQuery");
  switches.query_without_byte = IsSet(key, L"QueryWithoutByte");
  switches.radio_interface = IsSet(key, L"RadioInterface");
  ULONG answer = 0;
  if (ReadDword(key, L"AnswerByte", answer) && answer <= 0xFF) {
    switches.has_forced_answer = true;
    switches.forced_answer = static_cast<UCHAR>(answer);
  }
  return switches;
}

}  // namespace vantrel::busdriver
