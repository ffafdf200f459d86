#include "win32_boot_system.h"

#include <shellapi.h>
#include <shlobj.h>
#include <shlwapi.h>
#include <tlhelp32.h>

namespace stackboot::win32 {
namespace {

struct FindHandleTraits {
  using Value = HANDLE;
  static Value Invalid() { return INVALID_HANDLE_VALUE; }
  static void Release(Value handle) { FindClose(handle); }
};

struct LocalMemoryTraits {
  using Value = LPWSTR*;
  static Value Invalid() { return nullptr; }
  static void Release(Value memory) { LocalFree(memory); }
};

DWORD ClampToDword(std::size_t count) {
  return count > MAXDWORD ? MAXDWORD : static_cast<DWORD>(count);
}

// A function of a library loaded at run time, by name.
template <typename Function>
Function FindFunction(HMODULE module, const char* name) {
  return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

// Why a folder query that wrote `length` units gave no folder: the system's error, or a path that
// did not fit (and may have been cut).
DWORD FolderError(DWORD length) {
  const DWORD error = length == 0 ? GetLastError() : ERROR_INSUFFICIENT_BUFFER;
  return error != ERROR_SUCCESS ? error : ERROR_INSUFFICIENT_BUFFER;
}

bool CopyProcessEntry(const PROCESSENTRY32W& record, ProcessEntry& entry) {
  entry.processId = record.th32ProcessID;
  entry.parentProcessId = record.th32ParentProcessID;
  static_assert(sizeof(entry.exeFile) == sizeof(record.szExeFile));
  for (std::size_t i = 0; i < MAX_PATH; ++i) entry.exeFile[i] = record.szExeFile[i];
  entry.exeFile[MAX_PATH - 1] = u'\0';
  return true;
}

}  // namespace

bool Win32BootSystem::GetCommonProgramFilesFolder(char16_t* folder, std::size_t capacity) {
  if (capacity < MAX_PATH) return false;
  return SHGetSpecialFolderPathW(nullptr, Wide(folder), CSIDL_PROGRAM_FILES_COMMON, FALSE) != FALSE;
}

void Win32BootSystem::CreateFolder(const char16_t* path) { CreateDirectoryW(Wide(path), nullptr); }

bool Win32BootSystem::OpenLogFile(const char16_t* folder, const char16_t* path,
                                  LogFileFacts& facts) {
  logFile_.Reset();
  // The folder itself, not what a reparse point there leads to; held without delete sharing, so
  // that it cannot be renamed or replaced until the file is open.
  const UniqueFileHandle folderHandle(CreateFileW(
      Wide(folder), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  BY_HANDLE_FILE_INFORMATION folderInfo;
  if (!folderHandle.IsValid() || !GetFileInformationByHandle(folderHandle.Get(), &folderInfo)) {
    return false;
  }
  // Append-only access: every write lands at the end of the file, after other runs' lines.
  // Readers and writers may share the file; nobody may delete it while it is open.
  UniqueFileHandle file(CreateFileW(Wide(path),
                                    FILE_APPEND_DATA | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  BY_HANDLE_FILE_INFORMATION fileInfo;
  if (!file.IsValid() || !GetFileInformationByHandle(file.Get(), &fileInfo)) return false;
  facts.folderIsReparsePoint = (folderInfo.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
  facts.fileIsReparsePoint = (fileInfo.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
  facts.linkCount = fileInfo.nNumberOfLinks;
  logFile_ = std::move(file);
  return true;
}

bool Win32BootSystem::AppendToLogFile(const std::uint8_t* bytes, std::size_t count) {
  while (count > 0) {
    DWORD written = 0;
    if (!WriteFile(logFile_.Get(), bytes, ClampToDword(count), &written, nullptr) || written == 0) {
      return false;
    }
    bytes += written;
    count -= written;
  }
  return true;
}

void Win32BootSystem::CloseLogFile() { logFile_.Reset(); }

bool Win32BootSystem::FindFile(const char16_t* path) {
  WIN32_FIND_DATAW data;
  const UniqueResource<FindHandleTraits> search(FindFirstFileW(Wide(path), &data));
  return search.IsValid();
}

void Win32BootSystem::OutputDebugText(const char16_t* text) { OutputDebugStringW(Wide(text)); }

std::size_t Win32BootSystem::FormatLocalTime(char16_t* out, std::size_t capacity) {
  SYSTEMTIME now;
  GetLocalTime(&now);
  const int written = GetTimeFormatW(LOCALE_INVARIANT, LOCALE_USE_CP_ACP, &now, nullptr, Wide(out),
                                     capacity > INT_MAX ? INT_MAX : static_cast<int>(capacity));
  return written > 0 ? static_cast<std::size_t>(written - 1) : 0;
}

bool Win32BootSystem::QueryVersion(std::uint32_t recordSize, OsVersion& version) {
  OSVERSIONINFOEXW record;
  ZeroMemory(&record, sizeof(record));
  record.dwOSVersionInfoSize = recordSize;
  if (!GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&record))) return false;
  version.platformId = record.dwPlatformId;
  version.major = record.dwMajorVersion;
  version.minor = record.dwMinorVersion;
  return true;
}

int Win32BootSystem::GetServerR2Metric() { return GetSystemMetrics(SM_SERVERR2); }

bool Win32BootSystem::GetNativeSystemArchitecture(std::uint16_t& architecture) {
  using GetNativeSystemInfoFn = void(WINAPI*)(LPSYSTEM_INFO);
  const HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
  if (kernel == nullptr) return false;
  const auto getNativeSystemInfo = reinterpret_cast<GetNativeSystemInfoFn>(
      reinterpret_cast<void*>(GetProcAddress(kernel, "GetNativeSystemInfo")));
  if (getNativeSystemInfo == nullptr) return false;
  SYSTEM_INFO info;
  ZeroMemory(&info, sizeof(info));
  getNativeSystemInfo(&info);
  architecture = info.wProcessorArchitecture;
  return true;
}

std::uint16_t Win32BootSystem::GetSystemArchitecture() {
  SYSTEM_INFO info;
  ZeroMemory(&info, sizeof(info));
  GetSystemInfo(&info);
  return info.wProcessorArchitecture;
}

bool Win32BootSystem::SplitCommandLine(SplitArguments& arguments) {
  int count = 0;
  const UniqueResource<LocalMemoryTraits> vector(CommandLineToArgvW(GetCommandLineW(), &count));
  if (!vector.IsValid()) return false;
  arguments.count = count;
  if (count >= 2) {
    const wchar_t* second = vector.Get()[1];
    arguments.secondArgumentHead[0] = static_cast<char16_t>(second[0]);
    arguments.secondArgumentHead[1] = second[0] != L'\0' ? static_cast<char16_t>(second[1]) : u'\0';
  }
  return true;
}

bool Win32BootSystem::IsExistingPath(const char16_t* path) {
  return PathFileExistsW(Wide(path)) != FALSE;
}

char16_t* Win32BootSystem::AllocateText(std::size_t count) {
  return static_cast<char16_t*>(HeapAlloc(GetProcessHeap(), 0, count * sizeof(char16_t)));
}

void Win32BootSystem::FreeText(char16_t* text) { HeapFree(GetProcessHeap(), 0, text); }

std::uint32_t Win32BootSystem::GetProgramFolder(char16_t* folder, std::size_t capacity) {
  const DWORD size = ClampToDword(capacity);
  const DWORD length = GetModuleFileNameW(nullptr, Wide(folder), size);
  // A path that filled the buffer may have been cut: a launcher beside a cut path is not ours.
  if (length == 0 || length >= size) {
    folder[0] = u'\0';
    return FolderError(length);
  }
  PathRemoveFileSpecW(Wide(folder));
  return ERROR_SUCCESS;
}

ProcessOutcome Win32BootSystem::RunProcess(const char16_t* applicationName, char16_t* commandLine) {
  STARTUPINFOW startup;
  ZeroMemory(&startup, sizeof(startup));
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process;
  ZeroMemory(&process, sizeof(process));
  if (!CreateProcessW(Wide(applicationName), Wide(commandLine), nullptr, nullptr, FALSE, 0, nullptr,
                      nullptr, &startup, &process)) {
    return {false, GetLastError()};
  }
  const UniqueKernelHandle processHandle(process.hProcess);
  const UniqueKernelHandle threadHandle(process.hThread);
  WaitForSingleObject(processHandle.Get(), INFINITE);
  DWORD exitCode = 0;
  if (!GetExitCodeProcess(processHandle.Get(), &exitCode)) return {true, GetLastError()};
  return {true, exitCode};
}

bool Win32BootSystem::GetFullPath(const char16_t* path, char16_t* out, std::size_t capacity) {
  const DWORD size = ClampToDword(capacity);
  const DWORD length = GetFullPathNameW(Wide(path), size, Wide(out), nullptr);
  return length != 0 && length < size;
}

std::size_t Win32BootSystem::ReadProfileValue(const char16_t* section, const char16_t* key,
                                              const char16_t* defaultText, char16_t* out,
                                              std::size_t capacity, const char16_t* file) {
  return GetPrivateProfileStringW(Wide(section), Wide(key), Wide(defaultText), Wide(out),
                                  ClampToDword(capacity), Wide(file));
}

std::size_t Win32BootSystem::ReadProfileKeyNames(const char16_t* section, char16_t* out,
                                                 std::size_t capacity, const char16_t* file) {
  return GetPrivateProfileStringW(Wide(section), nullptr, L"", Wide(out), ClampToDword(capacity),
                                  Wide(file));
}

bool Win32BootSystem::OpenProcessSnapshot() {
  processSnapshot_.Reset(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  return processSnapshot_.IsValid();
}

bool Win32BootSystem::FirstProcess(ProcessEntry& entry) {
  PROCESSENTRY32W record;
  ZeroMemory(&record, sizeof(record));
  record.dwSize = sizeof(record);
  return Process32FirstW(processSnapshot_.Get(), &record) && CopyProcessEntry(record, entry);
}

bool Win32BootSystem::NextProcess(ProcessEntry& entry) {
  PROCESSENTRY32W record;
  ZeroMemory(&record, sizeof(record));
  record.dwSize = sizeof(record);
  return Process32NextW(processSnapshot_.Get(), &record) && CopyProcessEntry(record, entry);
}

void Win32BootSystem::CloseProcessSnapshot() { processSnapshot_.Reset(); }

std::uint32_t Win32BootSystem::GetCurrentProcessId() { return ::GetCurrentProcessId(); }

bool Win32BootSystem::OpenProcessForQuery(std::uint32_t processId) {
  queriedProcess_.Reset(OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, processId));
  return queriedProcess_.IsValid();
}

void Win32BootSystem::CloseProcess() { queriedProcess_.Reset(); }

bool Win32BootSystem::LoadProcessStatusLibrary() {
  // Loaded after start-up, so only the system folder may supply it.
  processStatusLibrary_.Reset(LoadLibraryExW(L"Psapi.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32));
  return processStatusLibrary_.IsValid();
}

bool Win32BootSystem::FindModulePathReader() {
  modulePathReader_ = reinterpret_cast<ModulePathReader>(
      reinterpret_cast<void*>(GetProcAddress(processStatusLibrary_.Get(), "GetModuleFileNameExW")));
  return modulePathReader_ != nullptr;
}

void Win32BootSystem::FreeProcessStatusLibrary() {
  modulePathReader_ = nullptr;
  processStatusLibrary_.Reset();
}

void Win32BootSystem::ReadProcessImagePath(char16_t* out, std::size_t capacity) {
  modulePathReader_(queriedProcess_.Get(), nullptr, Wide(out), ClampToDword(capacity));
}

bool Win32BootSystem::ReadProcessImageName(char16_t* out, std::size_t capacity) {
  // Missing before Vista; looked up so that the program still starts there and refuses the OS.
  using ImageNameReader = BOOL(WINAPI*)(HANDLE, DWORD, LPWSTR, PDWORD);
  const HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
  if (kernel == nullptr) return false;
  const auto reader = FindFunction<ImageNameReader>(kernel, "QueryFullProcessImageNameW");
  if (reader == nullptr) return false;
  DWORD size = ClampToDword(capacity);
  return reader(queriedProcess_.Get(), 0, Wide(out), &size) != FALSE && size < capacity;
}

namespace {

bool CreationTimeOf(HANDLE process, CreationTime& time) {
  FILETIME created;
  FILETIME exited;
  FILETIME kernel;
  FILETIME user;
  if (!GetProcessTimes(process, &created, &exited, &kernel, &user)) return false;
  time = (CreationTime{created.dwHighDateTime} << 32) | created.dwLowDateTime;
  return true;
}

}  // namespace

bool Win32BootSystem::GetOpenedProcessCreationTime(CreationTime& time) {
  return CreationTimeOf(queriedProcess_.Get(), time);
}

bool Win32BootSystem::GetProcessCreationTime(std::uint32_t processId, CreationTime& time) {
  const UniqueKernelHandle process(
      OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
  return process.IsValid() && CreationTimeOf(process.Get(), time);
}

bool Win32BootSystem::GetOwnCreationTime(CreationTime& time) {
  return CreationTimeOf(GetCurrentProcess(), time);
}

bool Win32BootSystem::RemoveFileSpec(char16_t* path) { return PathRemoveFileSpecW(Wide(path)); }

std::int32_t Win32BootSystem::OpenClassesRootKey(const char16_t* subKey, std::uint32_t access) {
  HKEY key = nullptr;
  const LSTATUS status = RegOpenKeyExW(HKEY_CLASSES_ROOT, Wide(subKey), 0, access, &key);
  if (status == ERROR_SUCCESS) registryKey_.Reset(key);
  return status;
}

void Win32BootSystem::CloseRegistryKey() { registryKey_.Reset(); }

std::int32_t Win32BootSystem::QueryRegistryValue(const char16_t* valueName, char16_t* out,
                                                 std::size_t capacity) {
  DWORD bytes = ClampToDword(capacity * sizeof(char16_t));
  return RegQueryValueExW(registryKey_.Get(), Wide(valueName), nullptr, nullptr,
                          reinterpret_cast<LPBYTE>(out), &bytes);
}

bool Win32BootSystem::LoadVersionLibrary() {
  // Not a known DLL: only the system folder may supply it, never the package folder.
  versionLibrary_.Reset(LoadLibraryExW(L"version.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32));
  if (!versionLibrary_.IsValid()) return false;
  versionInfoSize_ =
      FindFunction<VersionInfoSizeReader>(versionLibrary_.Get(), "GetFileVersionInfoSizeW");
  versionInfo_ = FindFunction<VersionInfoReader>(versionLibrary_.Get(), "GetFileVersionInfoW");
  versionValue_ = FindFunction<VersionValueReader>(versionLibrary_.Get(), "VerQueryValueW");
  if (versionInfoSize_ != nullptr && versionInfo_ != nullptr && versionValue_ != nullptr) {
    return true;
  }
  FreeVersionLibrary();
  return false;
}

void Win32BootSystem::FreeVersionLibrary() {
  versionInfoSize_ = nullptr;
  versionInfo_ = nullptr;
  versionValue_ = nullptr;
  versionLibrary_.Reset();
}

std::uint32_t Win32BootSystem::GetFileVersionInfoSize(const char16_t* path) {
  DWORD unused = 0;
  return versionInfoSize_(Wide(path), &unused);
}

bool Win32BootSystem::GetFileVersionInfo(const char16_t* path, std::uint32_t size, void* block) {
  return versionInfo_(Wide(path), 0, size, block) != FALSE;
}

bool Win32BootSystem::QueryVersionValue(const void* block, const char16_t* subBlock,
                                        const void*& value, std::uint32_t& length) {
  void* found = nullptr;
  UINT foundLength = 0;
  if (!versionValue_(block, Wide(subBlock), &found, &foundLength)) return false;
  value = found;
  length = foundLength;
  return true;
}

std::uint32_t Win32BootSystem::GetSystemFolder(char16_t* folder, std::size_t capacity) {
  const UINT size = capacity > UINT_MAX ? UINT_MAX : static_cast<UINT>(capacity);
  const UINT length = GetSystemDirectoryW(Wide(folder), size);
  if (length == 0 || length >= size) {
    folder[0] = u'\0';
    return FolderError(length);
  }
  return ERROR_SUCCESS;
}

void Win32BootSystem::ShowMessageBox(const char16_t* text, const char16_t* caption) {
  MessageBoxW(nullptr, Wide(text), Wide(caption), MB_OK);
}

}  // namespace stackboot::win32
