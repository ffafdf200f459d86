#pragma once

#include <cstddef>
#include <cstdint>

namespace radiogate {

// The platform operations the radio library relies on: SetupAPI, the configuration manager, device
// I/O, page allocation, the debugger and text comparison. Each operation is one Windows call, so
// every decision stays in the core and can be tested against a simulated system.

struct Guid {
  std::uint32_t data1 = 0;
  std::uint16_t data2 = 0;
  std::uint16_t data3 = 0;
  std::uint8_t data4[8] = {};
};

// Opaque values of the platform: a device information set and a file handle. Their invalid values
// are the ones Windows uses (INVALID_HANDLE_VALUE, and NULL for a file handle).
enum class DeviceSet : std::uintptr_t {};
enum class FileHandle : std::uintptr_t {};
inline constexpr DeviceSet kInvalidDeviceSet{~std::uintptr_t{0}};
inline constexpr FileHandle kInvalidFileHandle{~std::uintptr_t{0}};
inline constexpr FileHandle kNullFileHandle{0};

// Laid out as the platform's SP_DEVINFO_DATA and SP_DEVICE_INTERFACE_DATA, so that cbSize carries
// the platform's size of the record.
struct DeviceInfoRecord {
  std::uint32_t cbSize = 0;
  Guid classGuid;
  std::uint32_t devInst = 0;
  std::uintptr_t reserved = 0;
};

struct InterfaceRecord {
  std::uint32_t cbSize = 0;
  Guid interfaceClassGuid;
  std::uint32_t flags = 0;
  std::uintptr_t reserved = 0;
};

class RadioSystem {
 public:
  // --- device sets (SetupAPI)
  // The set of devices with an interface of the class; kInvalidDeviceSet on failure.
  virtual DeviceSet GetClassDevices(const Guid& interfaceClass, std::uint32_t flags) = 0;
  virtual bool EnumDeviceInfo(DeviceSet set, std::uint32_t memberIndex,
                              DeviceInfoRecord& device) = 0;
  virtual bool EnumDeviceInterface(DeviceSet set, const Guid& interfaceClass,
                                   std::uint32_t memberIndex, InterfaceRecord& record) = 0;
  // Reads the interface detail record into `detail` (which may be null with size 0 to ask for
  // the size); `requiredSize` receives the size in bytes that the record needs.
  virtual bool GetInterfaceDetail(DeviceSet set, const InterfaceRecord& record, void* detail,
                                  std::uint32_t detailSize, std::uint32_t& requiredSize) = 0;
  // A device registry property; `buffer` may be null with size 0 to ask for the size.
  virtual bool GetDeviceProperty(DeviceSet set, const DeviceInfoRecord& device,
                                 std::uint32_t property, std::uint32_t& dataType, void* buffer,
                                 std::uint32_t bufferSize, std::uint32_t& requiredSize) = 0;
  virtual void DestroyDeviceSet(DeviceSet set) = 0;

  // --- configuration manager
  // Returns the configuration manager's answer (CR_SUCCESS is 0).
  virtual std::uint32_t GetDevNodeStatus(std::uint32_t& status, std::uint32_t& problem,
                                         std::uint32_t devInst, std::uint32_t flags) = 0;

  // --- device I/O
  // kInvalidFileHandle on failure.
  virtual FileHandle CreateDeviceFile(const char16_t* path, std::uint32_t access,
                                      std::uint32_t shareMode, std::uint32_t creationDisposition,
                                      std::uint32_t flagsAndAttributes) = 0;
  // One synchronous device control request; true when the driver completed it with success.
  virtual bool SendControl(FileHandle file, std::uint32_t controlCode, const void* input,
                           std::uint32_t inputSize, void* output, std::uint32_t outputSize) = 0;
  virtual void CloseFile(FileHandle file) = 0;

  // --- memory, time, errors, debugger
  // Zero-filled pages of at least `size` bytes, or null.
  virtual void* AllocatePages(std::size_t size, std::uint32_t allocationType,
                              std::uint32_t protection) = 0;
  virtual void FreePages(void* address, std::uint32_t freeType) = 0;
  virtual void Wait(std::uint32_t milliseconds) = 0;
  virtual std::uint32_t LastError() = 0;
  virtual void OutputDebugText(const char16_t* text) = 0;

  // --- text comparison
  virtual std::uint32_t ThreadLocale() = 0;
  // Compares two terminated texts; returns the platform's CSTR_* answer, 0 on failure.
  virtual int CompareTexts(std::uint32_t locale, std::uint32_t flags, const char16_t* first,
                           const char16_t* second) = 0;

 protected:
  // The core borrows a system and never deletes one through this interface; without a virtual
  // destructor the library needs no deallocation function, and so no C runtime.
  RadioSystem() = default;
  RadioSystem(const RadioSystem&) = default;
  RadioSystem& operator=(const RadioSystem&) = default;
  ~RadioSystem() = default;
};

}  // namespace radiogate
