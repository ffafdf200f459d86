#include "device_registry.h"

#include <setupapi.h>
// newdev.h builds on the declarations of setupapi.h.
#include <newdev.h>

#include <string_view>

#include "../../tool_support.h"
#include "../device_set.h"
#include "../radio_interfaces.h"

namespace vantrel::busdriver {
namespace {

using radio::DeviceSet;

using tools::Decimal;
using tools::WriteStderr;

// The System setup class, {4d36e97d-e325-11ce-bfc1-08002be10318}, as in the driver's INF.
constexpr GUID kSystemClass = {
    0x4d36e97d, 0xe325, 0x11ce, {0xbf, 0xc1, 0x08, 0x00, 0x2b, 0xe1, 0x03, 0x18}};

constexpr std::wstring_view kIdPrefix = L"ROOT\\VANTREL_TEST\\";
// Multi-strings: the literal's own terminator ends the list.
constexpr wchar_t kBusHardwareId[] = L"ROOT\\VANTREL_TEST_BUS\0";
constexpr wchar_t kRadioHardwareId[] = L"ROOT\\VANTREL_TEST_RADIO\0";
constexpr wchar_t kInfName[] = L"vtbusenum.inf";
constexpr DWORD kSettleTimeoutMs = 20000;
constexpr DWORD kInstanceIdCapacity = 200;
constexpr DWORD kPollIntervalMs = 20;

struct SwitchName {
  std::wstring_view option;
  const wchar_t* value_name;
};
constexpr SwitchName kSwitches[] = {
    {L"fail-switch", L"FailSwitch"},
    {L"fail-query", L"FailQuery"},
    {L"query-without-byte", L"QueryWithoutByte"},
    {L"answer-byte", L"AnswerByte"},
};

class RegistryKey {
 public:
  explicit RegistryKey(HKEY key) : key_(key) {}
  ~RegistryKey() {
    if (IsValid()) RegCloseKey(key_);
  }
  RegistryKey(const RegistryKey&) = delete;
  RegistryKey& operator=(const RegistryKey&) = delete;

  HKEY Get() const { return key_; }
  bool IsValid() const { return key_ != INVALID_HANDLE_VALUE && key_ != nullptr; }

 private:
  HKEY key_;
};

DWORD Fail(const wchar_t* step, const wchar_t* id) {
  const DWORD error = GetLastError();
  const DWORD code = error == ERROR_SUCCESS ? ERROR_GEN_FAILURE : error;
  WriteStderr({L"devices: ", step, L" failed for ", id, L": error ", Decimal(code).View(), L"\n"});
  return code;
}

bool IsInstanceCharacter(wchar_t c) {
  return (c >= L'0' && c <= L'9') || (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z') ||
         c == L'-' || c == L'_';
}

// Whether the device with this instance ID has an interface of the class, registered (or, with
// `enabled_only`, enabled by its driver).
bool HasInterface(const wchar_t* id, const GUID& interface_class, bool enabled_only) {
  const DWORD flags = DIGCF_DEVICEINTERFACE | (enabled_only ? DIGCF_PRESENT : 0);
  const DeviceSet set(SetupDiGetClassDevsW(&interface_class, nullptr, nullptr, flags));
  if (!set.IsValid()) return false;
  SP_DEVINFO_DATA data{};
  data.cbSize = sizeof(data);
  for (DWORD index = 0; SetupDiEnumDeviceInfo(set.Get(), index, &data); ++index) {
    wchar_t found[kInstanceIdCapacity] = {};
    if (SetupDiGetDeviceInstanceIdW(set.Get(), &data, found, kInstanceIdCapacity, nullptr) &&
        CompareStringOrdinal(found, -1, id, -1, TRUE) == CSTR_EQUAL) {
      return true;
    }
  }
  return false;
}

// Waits until the driver has (or no longer has) the device's interface in place: installation and
// removal reach the driver's host process asynchronously.
bool AwaitInterface(const wchar_t* id, const GUID& interface_class, bool enabled_only,
                    bool wanted) {
  const ULONGLONG deadline = GetTickCount64() + kSettleTimeoutMs;
  for (;;) {
    if (HasInterface(id, interface_class, enabled_only) == wanted) return true;
    if (GetTickCount64() > deadline) return false;
    Sleep(kPollIntervalMs);
  }
}

// The INF beside this program, which is where the build puts the driver too.
bool InfPath(wchar_t (&path)[MAX_PATH]) {
  const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return false;
  const std::wstring_view own(path, length);
  const std::size_t slash = own.rfind(L'\\');
  if (slash == std::wstring_view::npos) return false;
  const std::wstring_view name = kInfName;
  if (slash + 1 + name.size() >= MAX_PATH) return false;
  std::size_t end = slash + 1;
  for (const wchar_t c : name) path[end++] = c;
  path[end] = L'\0';
  return true;
}

DWORD OpenDevice(const DeviceSet& set, const wchar_t* id, SP_DEVINFO_DATA& data) {
  if (!set.IsValid()) return Fail(L"SetupDiCreateDeviceInfoList", id);
  data.cbSize = sizeof(data);
  if (!SetupDiOpenDeviceInfoW(set.Get(), id, nullptr, 0, &data)) {
    return Fail(L"SetupDiOpenDeviceInfoW", id);
  }
  return ERROR_SUCCESS;
}

DWORD WriteSwitch(const DeviceSet& set, SP_DEVINFO_DATA& data, const wchar_t* id,
                  const wchar_t* value_name, const std::uint32_t* value) {
  const RegistryKey key(
      SetupDiCreateDevRegKeyW(set.Get(), &data, DICS_FLAG_GLOBAL, 0, DIREG_DEV, nullptr, nullptr));
  if (!key.IsValid()) return Fail(L"SetupDiCreateDevRegKeyW", id);
  LSTATUS status = ERROR_SUCCESS;
  if (value == nullptr) {
    status = RegDeleteValueW(key.Get(), value_name);
    if (status == ERROR_FILE_NOT_FOUND) status = ERROR_SUCCESS;
  } else {
    const DWORD data_value = *value;
    status = RegSetValueExW(key.Get(), value_name, 0, REG_DWORD,
                            reinterpret_cast<const BYTE*>(&data_value), sizeof(data_value));
  }
  if (status != ERROR_SUCCESS) {
    SetLastError(static_cast<DWORD>(status));
    return Fail(value_name, id);
  }
  return ERROR_SUCCESS;
}

}  // namespace

const wchar_t* SwitchValueName(const wchar_t* name) {
  for (const SwitchName& entry : kSwitches) {
    if (entry.option == name) return entry.value_name;
  }
  return nullptr;
}

DWORD ListDevices() {
  struct Kind {
    const GUID* interface_class;
    std::wstring_view label;
  };
  constexpr Kind kKinds[] = {{&radio::kBusInterface, L"bus "},
                             {&radio::kBluetoothRadioInterface, L"radio "}};
  tools::HeapArray<char> listing;
  for (const Kind& kind : kKinds) {
    const DeviceSet set(
        SetupDiGetClassDevsW(kind.interface_class, nullptr, nullptr, DIGCF_DEVICEINTERFACE));
    if (!set.IsValid()) return Fail(L"SetupDiGetClassDevsW", L"the list");
    SP_DEVINFO_DATA data{};
    data.cbSize = sizeof(data);
    for (DWORD index = 0; SetupDiEnumDeviceInfo(set.Get(), index, &data); ++index) {
      wchar_t id[kInstanceIdCapacity] = {};
      if (!SetupDiGetDeviceInstanceIdW(set.Get(), &data, id, kInstanceIdCapacity, nullptr)) {
        return Fail(L"SetupDiGetDeviceInstanceIdW", L"the list");
      }
      tools::AppendUtf8(listing, kind.label);
      tools::AppendUtf8(listing, id);
      listing.Append('\n');
    }
  }
  tools::WriteAll(GetStdHandle(STD_OUTPUT_HANDLE), listing.View());
  return ERROR_SUCCESS;
}

bool TestDevice::SetInstance(const wchar_t* instance) {
  const std::wstring_view name = instance;
  if (name.empty() || kIdPrefix.size() + name.size() >= kIdCapacity) return false;
  for (const wchar_t c : name) {
    if (!IsInstanceCharacter(c)) return false;
  }
  std::size_t end = 0;
  for (const wchar_t c : kIdPrefix) id_[end++] = c;
  for (const wchar_t c : name) id_[end++] = c;
  id_[end] = L'\0';
  return true;
}

DWORD TestDevice::AddBus() {
  return Add(kBusHardwareId, sizeof(kBusHardwareId), radio::kBusInterface, false, nullptr);
}

DWORD TestDevice::AddRadio(const wchar_t* manufacturer) {
  return Add(kRadioHardwareId, sizeof(kRadioHardwareId), radio::kBluetoothRadioInterface, true,
             manufacturer);
}

DWORD TestDevice::Add(const wchar_t* hardware_id, std::size_t hardware_id_bytes,
                      const GUID& interface_class, bool radio, const wchar_t* manufacturer) {
  wchar_t inf[MAX_PATH] = {};
  if (!InfPath(inf)) return Fail(L"GetModuleFileNameW", id_);
  const DeviceSet set(SetupDiCreateDeviceInfoList(&kSystemClass, nullptr));
  if (!set.IsValid()) return Fail(L"SetupDiCreateDeviceInfoList", id_);
  SP_DEVINFO_DATA data{};
  data.cbSize = sizeof(data);
  if (!SetupDiCreateDeviceInfoW(set.Get(), id_, &kSystemClass, nullptr, nullptr, 0, &data)) {
    return Fail(L"SetupDiCreateDeviceInfoW", id_);
  }
  if (!SetupDiSetDeviceRegistryPropertyW(set.Get(), &data, SPDRP_HARDWAREID,
                                         reinterpret_cast<const BYTE*>(hardware_id),
                                         static_cast<DWORD>(hardware_id_bytes))) {
    return Fail(L"SetupDiSetDeviceRegistryPropertyW(SPDRP_HARDWAREID)", id_);
  }
  if (!SetupDiCallClassInstaller(DIF_REGISTERDEVICE, set.Get(), &data)) {
    return Fail(L"DIF_REGISTERDEVICE", id_);
  }
  // From here on a failure leaves a registered device behind; the caller removes it by name.
  // Written for both kinds: it also creates the device key, which the driver opens only once,
  // when the device starts.
  const std::uint32_t radio_interface = radio ? 1 : 0;
  const DWORD written = WriteSwitch(set, data, id_, L"RadioInterface", &radio_interface);
  if (written != ERROR_SUCCESS) return written;
  // Wine's installer does not take the manufacturer from the INF, so it is set here, and before
  // the driver starts, so no caller can see the radio without it.
  if (manufacturer != nullptr) {
    const std::wstring_view text = manufacturer;
    if (!SetupDiSetDeviceRegistryPropertyW(
            set.Get(), &data, SPDRP_MFG, reinterpret_cast<const BYTE*>(manufacturer),
            static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)))) {
      return Fail(L"SetupDiSetDeviceRegistryPropertyW(SPDRP_MFG)", id_);
    }
  }
  BOOL reboot = FALSE;
  if (!UpdateDriverForPlugAndPlayDevicesW(nullptr, hardware_id, inf, INSTALLFLAG_FORCE, &reboot)) {
    return Fail(L"UpdateDriverForPlugAndPlayDevicesW", id_);
  }
  if (!AwaitInterface(id_, interface_class, true, true)) {
    SetLastError(ERROR_TIMEOUT);
    return Fail(L"waiting for the driver to enable the interface", id_);
  }
  return ERROR_SUCCESS;
}

DWORD TestDevice::Remove() {
  const DeviceSet set(SetupDiCreateDeviceInfoList(nullptr, nullptr));
  SP_DEVINFO_DATA data{};
  const DWORD opened = OpenDevice(set, id_, data);
  if (opened != ERROR_SUCCESS) return opened;
  if (!SetupDiRemoveDevice(set.Get(), &data)) return Fail(L"SetupDiRemoveDevice", id_);
  for (const GUID* interface_class : {&radio::kBusInterface, &radio::kBluetoothRadioInterface}) {
    if (!AwaitInterface(id_, *interface_class, false, false)) {
      SetLastError(ERROR_TIMEOUT);
      return Fail(L"waiting for the interface to go", id_);
    }
  }
  return ERROR_SUCCESS;
}

DWORD TestDevice::SetSwitch(const wchar_t* value_name, std::uint32_t value) {
  const DeviceSet set(SetupDiCreateDeviceInfoList(nullptr, nullptr));
  SP_DEVINFO_DATA data{};
  const DWORD opened = OpenDevice(set, id_, data);
  if (opened != ERROR_SUCCESS) return opened;
  return WriteSwitch(set, data, id_, value_name, &value);
}

DWORD TestDevice::ClearSwitch(const wchar_t* value_name) {
  const DeviceSet set(SetupDiCreateDeviceInfoList(nullptr, nullptr));
  SP_DEVINFO_DATA data{};
  const DWORD opened = OpenDevice(set, id_, data);
  if (opened != ERROR_SUCCESS) return opened;
  return WriteSwitch(set, data, id_, value_name, nullptr);
}

}  // namespace vantrel::busdriver
