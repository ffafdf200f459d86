#include "win32_radio_system.h"

#include <cfgmgr32.h>
#include <setupapi.h>

#include <bit>
#include <cstddef>

namespace radiogate::win32 {
namespace {

// The core's records mirror the platform's, so they are copied across whole.
static_assert(sizeof(Guid) == sizeof(GUID));
static_assert(sizeof(DeviceInfoRecord) == sizeof(SP_DEVINFO_DATA));
static_assert(offsetof(DeviceInfoRecord, devInst) == offsetof(SP_DEVINFO_DATA, DevInst));
static_assert(sizeof(InterfaceRecord) == sizeof(SP_DEVICE_INTERFACE_DATA));
static_assert(offsetof(InterfaceRecord, flags) == offsetof(SP_DEVICE_INTERFACE_DATA, Flags));
static_assert(sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W) == 8, "the 64-bit detail record");
static_assert(sizeof(BOOL) == sizeof(std::int32_t));

template <typename Platform, typename Core>
Platform ToPlatform(const Core& record) {
  return std::bit_cast<Platform>(record);
}

template <typename Core, typename Platform>
void FromPlatform(const Platform& platform, Core& record) {
  record = std::bit_cast<Core>(platform);
}

// The core carries the platform's handles as opaque integers of pointer width.
HDEVINFO ToPlatform(DeviceSet set) {
  // NOLINTNEXTLINE(performance-no-int-to-ptr): the integer is a handle the platform gave out
  return reinterpret_cast<HDEVINFO>(static_cast<std::uintptr_t>(set));
}

HANDLE ToPlatform(FileHandle file) {
  // NOLINTNEXTLINE(performance-no-int-to-ptr): the integer is a handle the platform gave out
  return reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(file));
}

const wchar_t* Wide(const char16_t* text) { return reinterpret_cast<const wchar_t*>(text); }

}  // namespace

DeviceSet Win32RadioSystem::GetClassDevices(const Guid& interfaceClass, std::uint32_t flags) {
  const GUID platformClass = ToPlatform<GUID>(interfaceClass);
  HDEVINFO set = SetupDiGetClassDevsW(&platformClass, nullptr, nullptr, flags);
  return static_cast<DeviceSet>(reinterpret_cast<std::uintptr_t>(set));
}

bool Win32RadioSystem::EnumDeviceInfo(DeviceSet set, std::uint32_t memberIndex,
                                      DeviceInfoRecord& device) {
  auto platform = ToPlatform<SP_DEVINFO_DATA>(device);
  const BOOL found = SetupDiEnumDeviceInfo(ToPlatform(set), memberIndex, &platform);
  FromPlatform(platform, device);
  return found != FALSE;
}

bool Win32RadioSystem::EnumDeviceInterface(DeviceSet set, const Guid& interfaceClass,
                                           std::uint32_t memberIndex, InterfaceRecord& record) {
  const GUID platformClass = ToPlatform<GUID>(interfaceClass);
  auto platform = ToPlatform<SP_DEVICE_INTERFACE_DATA>(record);
  const BOOL found =
      SetupDiEnumDeviceInterfaces(ToPlatform(set), nullptr, &platformClass, memberIndex, &platform);
  FromPlatform(platform, record);
  return found != FALSE;
}

bool Win32RadioSystem::GetInterfaceDetail(DeviceSet set, const InterfaceRecord& record,
                                          void* detail, std::uint32_t detailSize,
                                          std::uint32_t& requiredSize) {
  auto platform = ToPlatform<SP_DEVICE_INTERFACE_DATA>(record);
  DWORD required = requiredSize;
  const BOOL read = SetupDiGetDeviceInterfaceDetailW(
      ToPlatform(set), &platform, static_cast<PSP_DEVICE_INTERFACE_DETAIL_DATA_W>(detail),
      detailSize, &required, nullptr);
  requiredSize = required;
  return read != FALSE;
}

bool Win32RadioSystem::GetDeviceProperty(DeviceSet set, const DeviceInfoRecord& device,
                                         std::uint32_t property, std::uint32_t& dataType,
                                         void* buffer, std::uint32_t bufferSize,
                                         std::uint32_t& requiredSize) {
  auto platform = ToPlatform<SP_DEVINFO_DATA>(device);
  DWORD type = dataType;
  DWORD required = requiredSize;
  const BOOL read =
      SetupDiGetDeviceRegistryPropertyW(ToPlatform(set), &platform, property, &type,
                                        static_cast<PBYTE>(buffer), bufferSize, &required);
  dataType = type;
  requiredSize = required;
  return read != FALSE;
}

void Win32RadioSystem::DestroyDeviceSet(DeviceSet set) {
  SetupDiDestroyDeviceInfoList(ToPlatform(set));
}

std::uint32_t Win32RadioSystem::GetDevNodeStatus(std::uint32_t& status, std::uint32_t& problem,
                                                 std::uint32_t devInst, std::uint32_t flags) {
  ULONG platformStatus = status;
  ULONG platformProblem = problem;
  const CONFIGRET answer = CM_Get_DevNode_Status(&platformStatus, &platformProblem, devInst, flags);
  status = platformStatus;
  problem = platformProblem;
  return answer;
}

FileHandle Win32RadioSystem::CreateDeviceFile(const char16_t* path, std::uint32_t access,
                                              std::uint32_t shareMode,
                                              std::uint32_t creationDisposition,
                                              std::uint32_t flagsAndAttributes) {
  HANDLE file = CreateFileW(Wide(path), access, shareMode, nullptr, creationDisposition,
                            flagsAndAttributes, nullptr);
  return static_cast<FileHandle>(reinterpret_cast<std::uintptr_t>(file));
}

bool Win32RadioSystem::SendControl(FileHandle file, std::uint32_t controlCode, const void* input,
                                   std::uint32_t inputSize, void* output,
                                   std::uint32_t outputSize) {
  // The platform requires a count for a request without an OVERLAPPED record; it is not used.
  DWORD returned = 0;
  return DeviceIoControl(ToPlatform(file), controlCode, const_cast<void*>(input), inputSize, output,
                         outputSize, &returned, nullptr) != FALSE;
}

void Win32RadioSystem::CloseFile(FileHandle file) { CloseHandle(ToPlatform(file)); }

void* Win32RadioSystem::AllocatePages(std::size_t size, std::uint32_t allocationType,
                                      std::uint32_t protection) {
  return VirtualAlloc(nullptr, size, allocationType, protection);
}

void Win32RadioSystem::FreePages(void* address, std::uint32_t freeType) {
  VirtualFree(address, 0, freeType);
}

void Win32RadioSystem::Wait(std::uint32_t milliseconds) { Sleep(milliseconds); }

std::uint32_t Win32RadioSystem::LastError() { return GetLastError(); }

void Win32RadioSystem::OutputDebugText(const char16_t* text) { OutputDebugStringW(Wide(text)); }

std::uint32_t Win32RadioSystem::ThreadLocale() { return GetThreadLocale(); }

int Win32RadioSystem::CompareTexts(std::uint32_t locale, std::uint32_t flags, const char16_t* first,
                                   const char16_t* second) {
  return CompareStringW(locale, flags, Wide(first), -1, Wide(second), -1);
}

}  // namespace radiogate::win32
