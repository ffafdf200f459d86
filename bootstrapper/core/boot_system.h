#pragma once

#include <cstddef>
#include <cstdint>

namespace stackboot {

// Platform answers the bootstrapper relies on. Each operation is one Windows call or a small
// fixed group of them; the logic that decides anything lives in the core, not behind this
// interface, so that it can be tested against a simulated system.

struct OsVersion {
  std::uint32_t platformId = 0;
  std::uint32_t major = 0;
  std::uint32_t minor = 0;
};

// What the quiet switch needs of the split process command line: the argument count (program
// name included) and the first two code units of the second argument (zeros past its end).
struct SplitArguments {
  int count = 0;
  char16_t secondArgumentHead[2] = {};
};

// One entry of a process snapshot.
struct ProcessEntry {
  std::uint32_t processId = 0;
  std::uint32_t parentProcessId = 0;
  char16_t exeFile[260] = {};  // the executable's file name, as the snapshot gives it
};

// What the log file turned out to be once opened: a file reached through a reparse point, or one
// with further names elsewhere, could be a place that someone other than the system chose.
struct LogFileFacts {
  bool folderIsReparsePoint = false;
  bool fileIsReparsePoint = false;
  std::uint32_t linkCount = 0;
};

// A process creation time, in the system's 100-nanosecond units.
using CreationTime = std::uint64_t;

struct ProcessOutcome {
  bool started = false;
  // The child's exit code when started, else the system error code of the failed start.
  std::uint32_t code = 0;
};

inline constexpr std::size_t kMaxPath = 260;  // MAX_PATH, terminator included

class BootSystem {
 public:
  virtual ~BootSystem() = default;

  // --- diagnostic log
  // The common program files folder as this 32-bit process sees it; false if unavailable.
  virtual bool GetCommonProgramFilesFolder(char16_t* folder, std::size_t capacity) = 0;
  // Creates the folder; an existing folder or a failure is not reported.
  virtual void CreateFolder(const char16_t* path) = 0;
  // Opens the log file in `folder` for appending (created when missing), shared for reading and
  // writing but not deleting, without following a reparse point at the file itself; the folder
  // is held against replacement while the file is opened. Reports what was opened. At most one
  // log file is open at a time.
  virtual bool OpenLogFile(const char16_t* folder, const char16_t* path, LogFileFacts& facts) = 0;
  // Hands the bytes to the system in one write at the end of the open log file.
  virtual bool AppendToLogFile(const std::uint8_t* bytes, std::size_t count) = 0;
  virtual void CloseLogFile() = 0;
  // Whether a directory entry matches the path.
  virtual bool FindFile(const char16_t* path) = 0;
  virtual void OutputDebugText(const char16_t* text) = 0;
  // The local time in the invariant locale's default time format; returns its length, 0 when
  // the formatting failed.
  virtual std::size_t FormatLocalTime(char16_t* out, std::size_t capacity) = 0;

  // --- OS classification
  // The version query with a record of the given size in bytes; false when it fails.
  virtual bool QueryVersion(std::uint32_t recordSize, OsVersion& version) = 0;
  virtual int GetServerR2Metric() = 0;
  // The processor architecture from GetNativeSystemInfo; false when kernel32 lacks it.
  virtual bool GetNativeSystemArchitecture(std::uint16_t& architecture) = 0;
  virtual std::uint16_t GetSystemArchitecture() = 0;

  // --- run sequence
  virtual bool SplitCommandLine(SplitArguments& arguments) = 0;
  virtual bool IsExistingPath(const char16_t* path) = 0;
  // Heap memory for `count` UTF-16 units, or null.
  virtual char16_t* AllocateText(std::size_t count) = 0;
  virtual void FreeText(char16_t* text) = 0;
  // The folder of the running program file without a trailing backslash. Returns 0, or the
  // system error code when the module path is unavailable or did not fit into `capacity`.
  virtual std::uint32_t GetProgramFolder(char16_t* folder, std::size_t capacity) = 0;
  // Starts `applicationName` with the command line unchanged, waits without a time limit.
  virtual ProcessOutcome RunProcess(const char16_t* applicationName, char16_t* commandLine) = 0;

  // --- answer file (profile reader)
  // The full path of a path relative to the current folder; false when it fails or does not fit.
  virtual bool GetFullPath(const char16_t* path, char16_t* out, std::size_t capacity) = 0;
  // The value of one key (the default when the key is absent), cut to capacity - 1 units and
  // terminated; returns the number of units copied.
  virtual std::size_t ReadProfileValue(const char16_t* section, const char16_t* key,
                                       const char16_t* defaultText, char16_t* out,
                                       std::size_t capacity, const char16_t* file) = 0;
  // The key names of a section in file order, each terminated, the list ended by one more
  // terminator, cut to fit; returns the number of units copied, 0 for no keys.
  virtual std::size_t ReadProfileKeyNames(const char16_t* section, char16_t* out,
                                          std::size_t capacity, const char16_t* file) = 0;

  // --- launching program
  // A snapshot of all processes, walked with FirstProcess/NextProcess; one at a time.
  virtual bool OpenProcessSnapshot() = 0;
  virtual bool FirstProcess(ProcessEntry& entry) = 0;
  virtual bool NextProcess(ProcessEntry& entry) = 0;
  virtual void CloseProcessSnapshot() = 0;
  virtual std::uint32_t GetCurrentProcessId() = 0;
  // Opens a process for querying its main module; one at a time.
  virtual bool OpenProcessForQuery(std::uint32_t processId) = 0;
  virtual void CloseProcess() = 0;
  // Loads the process-status library from the system folder and finds its module-path reader.
  virtual bool LoadProcessStatusLibrary() = 0;
  virtual bool FindModulePathReader() = 0;
  virtual void FreeProcessStatusLibrary() = 0;
  // The path of the opened process's main executable through the process-status library; the
  // result is not reported.
  virtual void ReadProcessImagePath(char16_t* out, std::size_t capacity) = 0;
  // The same path through the kernel, which also reads a process of the other bitness; false
  // when unavailable or cut.
  virtual bool ReadProcessImageName(char16_t* out, std::size_t capacity) = 0;
  // Creation times: of the opened process, of any process by id, and of this one.
  virtual bool GetOpenedProcessCreationTime(CreationTime& time) = 0;
  virtual bool GetProcessCreationTime(std::uint32_t processId, CreationTime& time) = 0;
  virtual bool GetOwnCreationTime(CreationTime& time) = 0;
  // Cuts the last element off a path in place (a drive root keeps its backslash); false when
  // nothing was removed.
  virtual bool RemoveFileSpec(char16_t* path) = 0;

  // --- installed-package gate
  // Opens a key under HKEY_CLASSES_ROOT with the access mask; returns the status of the open
  // (0 on success). One key is held at a time.
  virtual std::int32_t OpenClassesRootKey(const char16_t* subKey, std::uint32_t access) = 0;
  virtual void CloseRegistryKey() = 0;
  // Reads a value of the open key into `out` with a size of `capacity` units, as the registry
  // gives it (not necessarily terminated); returns the status of the query.
  virtual std::int32_t QueryRegistryValue(const char16_t* valueName, char16_t* out,
                                          std::size_t capacity) = 0;
  // Loads the version-resource functions from the system folder.
  virtual bool LoadVersionLibrary() = 0;
  virtual void FreeVersionLibrary() = 0;
  // The size of a file's version resource in bytes, 0 when it has none.
  virtual std::uint32_t GetFileVersionInfoSize(const char16_t* path) = 0;
  virtual bool GetFileVersionInfo(const char16_t* path, std::uint32_t size, void* block) = 0;
  // A value of a version resource read into `block`: a pointer into the block and its length
  // (bytes for binary values, characters for texts).
  virtual bool QueryVersionValue(const void* block, const char16_t* subBlock, const void*& value,
                                 std::uint32_t& length) = 0;
  // The system folder, without a trailing backslash. Returns 0, or the system error code when
  // it is unavailable or did not fit.
  virtual std::uint32_t GetSystemFolder(char16_t* folder, std::size_t capacity) = 0;
  // A message box with an OK button and no owner window; the answer is not reported.
  virtual void ShowMessageBox(const char16_t* text, const char16_t* caption) = 0;
};

}  // namespace stackboot
