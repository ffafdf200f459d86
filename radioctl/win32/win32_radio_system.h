#pragma once

#include <windows.h>

#include "radio_system.h"

namespace radiogate::win32 {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "UTF-16 text meets the API as wchar_t");

// The real system: one platform call per operation. It holds nothing; every set, handle and
// buffer it hands out is owned by the core until given back.
class Win32RadioSystem final : public RadioSystem {
 public:
  DeviceSet GetClassDevices(const Guid& interfaceClass, std::uint32_t flags) override;
  bool EnumDeviceInfo(DeviceSet set, std::uint32_t memberIndex, DeviceInfoRecord& device) override;
  bool EnumDeviceInterface(DeviceSet set, const Guid& interfaceClass, std::uint32_t memberIndex,
                           InterfaceRecord& record) override;
  bool GetInterfaceDetail(DeviceSet set, const InterfaceRecord& record, void* detail,
                          std::uint32_t detailSize, std::uint32_t& requiredSize) override;
  bool GetDeviceProperty(DeviceSet set, const DeviceInfoRecord& device, std::uint32_t property,
                         std::uint32_t& dataType, void* buffer, std::uint32_t bufferSize,
                         std::uint32_t& requiredSize) override;
  void DestroyDeviceSet(DeviceSet set) override;
  std::uint32_t GetDevNodeStatus(std::uint32_t& status, std::uint32_t& problem,
                                 std::uint32_t devInst, std::uint32_t flags) override;
  FileHandle CreateDeviceFile(const char16_t* path, std::uint32_t access, std::uint32_t shareMode,
                              std::uint32_t creationDisposition,
                              std::uint32_t flagsAndAttributes) override;
  bool SendControl(FileHandle file, std::uint32_t controlCode, const void* input,
                   std::uint32_t inputSize, void* output, std::uint32_t outputSize) override;
  void CloseFile(FileHandle file) override;
  void* AllocatePages(std::size_t size, std::uint32_t allocationType,
                      std::uint32_t protection) override;
  void FreePages(void* address, std::uint32_t freeType) override;
  void Wait(std::uint32_t milliseconds) override;
  std::uint32_t LastError() override;
  void OutputDebugText(const char16_t* text) override;
  std::uint32_t ThreadLocale() override;
  int CompareTexts(std::uint32_t locale, std::uint32_t flags, const char16_t* first,
                   const char16_t* second) override;
};

}  // namespace radiogate::win32
