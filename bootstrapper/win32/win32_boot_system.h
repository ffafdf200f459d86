#pragma once

#include <windows.h>

#include "boot_system.h"
#include "unique_resource.h"

namespace stackboot::win32 {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows text is UTF-16");

inline const wchar_t* Wide(const char16_t* text) { return reinterpret_cast<const wchar_t*>(text); }
inline wchar_t* Wide(char16_t* text) { return reinterpret_cast<wchar_t*>(text); }

// File and snapshot handles are invalid as INVALID_HANDLE_VALUE, process handles as null.
struct FileHandleTraits {
  using Value = HANDLE;
  static Value Invalid() { return INVALID_HANDLE_VALUE; }
  static void Release(Value handle) { CloseHandle(handle); }
};
using UniqueFileHandle = UniqueResource<FileHandleTraits>;

struct KernelHandleTraits {
  using Value = HANDLE;
  static Value Invalid() { return nullptr; }
  static void Release(Value handle) { CloseHandle(handle); }
};
using UniqueKernelHandle = UniqueResource<KernelHandleTraits>;

// The bootstrapper's view of Windows: one platform call, or a small fixed group, per operation.
class Win32BootSystem final : public BootSystem {
 public:
  bool GetCommonProgramFilesFolder(char16_t* folder, std::size_t capacity) override;
  void CreateFolder(const char16_t* path) override;
  bool OpenLogFile(const char16_t* folder, const char16_t* path, LogFileFacts& facts) override;
  bool AppendToLogFile(const std::uint8_t* bytes, std::size_t count) override;
  void CloseLogFile() override;
  bool FindFile(const char16_t* path) override;
  void OutputDebugText(const char16_t* text) override;
  std::size_t FormatLocalTime(char16_t* out, std::size_t capacity) override;

  bool QueryVersion(std::uint32_t recordSize, OsVersion& version) override;
  int GetServerR2Metric() override;
  bool GetNativeSystemArchitecture(std::uint16_t& architecture) override;
  std::uint16_t GetSystemArchitecture() override;

  bool SplitCommandLine(SplitArguments& arguments) override;
  bool IsExistingPath(const char16_t* path) override;
  char16_t* AllocateText(std::size_t count) override;
  void FreeText(char16_t* text) override;
  std::uint32_t GetProgramFolder(char16_t* folder, std::size_t capacity) override;
  ProcessOutcome RunProcess(const char16_t* applicationName, char16_t* commandLine) override;

  bool GetFullPath(const char16_t* path, char16_t* out, std::size_t capacity) override;
  std::size_t ReadProfileValue(const char16_t* section, const char16_t* key,
                               const char16_t* defaultText, char16_t* out, std::size_t capacity,
                               const char16_t* file) override;
  std::size_t ReadProfileKeyNames(const char16_t* section, char16_t* out, std::size_t capacity,
                                  const char16_t* file) override;

  bool OpenProcessSnapshot() override;
  bool FirstProcess(ProcessEntry& entry) override;
  bool NextProcess(ProcessEntry& entry) override;
  void CloseProcessSnapshot() override;
  std::uint32_t GetCurrentProcessId() override;
  bool OpenProcessForQuery(std::uint32_t processId) override;
  void CloseProcess() override;
  bool LoadProcessStatusLibrary() override;
  bool FindModulePathReader() override;
  void FreeProcessStatusLibrary() override;
  void ReadProcessImagePath(char16_t* out, std::size_t capacity) override;
  bool ReadProcessImageName(char16_t* out, std::size_t capacity) override;
  bool GetOpenedProcessCreationTime(CreationTime& time) override;
  bool GetProcessCreationTime(std::uint32_t processId, CreationTime& time) override;
  bool GetOwnCreationTime(CreationTime& time) override;
  bool RemoveFileSpec(char16_t* path) override;

  std::int32_t OpenClassesRootKey(const char16_t* subKey, std::uint32_t access) override;
  void CloseRegistryKey() override;
  std::int32_t QueryRegistryValue(const char16_t* valueName, char16_t* out,
                                  std::size_t capacity) override;
  bool LoadVersionLibrary() override;
  void FreeVersionLibrary() override;
  std::uint32_t GetFileVersionInfoSize(const char16_t* path) override;
  bool GetFileVersionInfo(const char16_t* path, std::uint32_t size, void* block) override;
  bool QueryVersionValue(const void* block, const char16_t* subBlock, const void*& value,
                         std::uint32_t& length) override;
  std::uint32_t GetSystemFolder(char16_t* folder, std::size_t capacity) override;
  void ShowMessageBox(const char16_t* text, const char16_t* caption) override;

 private:
  struct LibraryTraits {
    using Value = HMODULE;
    static Value Invalid() { return nullptr; }
    static void Release(Value module) { FreeLibrary(module); }
  };
  struct RegistryKeyTraits {
    using Value = HKEY;
    static Value Invalid() { return nullptr; }
    static void Release(Value key) { RegCloseKey(key); }
  };
  using ModulePathReader = DWORD(WINAPI*)(HANDLE, HMODULE, LPWSTR, DWORD);
  using VersionInfoSizeReader = DWORD(WINAPI*)(LPCWSTR, LPDWORD);
  using VersionInfoReader = BOOL(WINAPI*)(LPCWSTR, DWORD, DWORD, LPVOID);
  using VersionValueReader = BOOL(WINAPI*)(LPCVOID, LPCWSTR, LPVOID*, PUINT);

  UniqueFileHandle logFile_;
  UniqueFileHandle processSnapshot_;
  UniqueKernelHandle queriedProcess_;
  UniqueResource<LibraryTraits> processStatusLibrary_;
  ModulePathReader modulePathReader_ = nullptr;
  UniqueResource<RegistryKeyTraits> registryKey_;
  UniqueResource<LibraryTraits> versionLibrary_;
  VersionInfoSizeReader versionInfoSize_ = nullptr;
  VersionInfoReader versionInfo_ = nullptr;
  VersionValueReader versionValue_ = nullptr;
};

}  // namespace stackboot::win32
