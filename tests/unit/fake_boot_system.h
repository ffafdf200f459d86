#pragma once

#include <algorithm>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "boot_system.h"

namespace stackboot::testing {

// A simulated Windows for the bootstrapper's core: every answer is set by the test, and every
// request is recorded. It does not emulate Windows algorithms.
class FakeBootSystem : public BootSystem {
 public:
  struct StartedProcess {
    std::u16string applicationName;
    std::u16string commandLine;
  };

  // --- answers
  std::optional<std::u16string> commonFilesFolder = u"C:\\Program Files (x86)\\Common Files";
  bool logOpenSucceeds = true;
  std::set<std::u16string> foundFiles;  // what FindFile finds besides an open log file
  std::u16string timeStamp = u"09:05:07";
  std::optional<OsVersion> versionEx = OsVersion{2, 6, 2};
  std::optional<OsVersion> versionBasic;
  int serverR2 = 0;
  std::optional<std::uint16_t> nativeArchitecture = std::uint16_t{9};
  std::uint16_t systemArchitecture = 0;
  std::optional<SplitArguments> split = SplitArguments{1, {}};
  std::set<std::u16string> existingPaths;
  bool allocationSucceeds = true;
  std::optional<std::u16string> programFolder = u"D:\\Setup";
  ProcessOutcome processOutcome{true, 0};
  std::map<std::u16string, ProcessOutcome> processOutcomes;  // by application, over the above

  // The answer file: sections with their keys in file order. The fake matches names exactly.
  using Section = std::vector<std::pair<std::u16string, std::u16string>>;
  std::map<std::u16string, Section> profile;

  // The process list of the snapshot, in snapshot order; nullopt: the snapshot cannot be taken.
  struct Process {
    std::uint32_t id;
    std::uint32_t parentId;
    std::u16string exeFile;
    std::optional<std::u16string> imagePath;  // nullopt: the process cannot be opened
  };
  std::optional<std::vector<Process>> processes =
      std::vector<Process>{{4, 0, u"System", std::nullopt},
                           {100, 4, u"explorer.exe", u"C:\\Windows\\explorer.exe"},
                           {200, 100, u"autorun.exe", u"D:\\Media\\autorun.exe"},
                           {300, 200, u"stackboot.exe", u"D:\\Setup\\stackboot.exe"}};
  std::uint32_t currentProcessId = 300;
  std::set<int> failingFirstProcessCalls;  // 1: the first FirstProcess call fails, 2: the second
  bool processStatusLibraryLoads = true;
  bool modulePathReaderFound = true;

  // Keys under HKEY_CLASSES_ROOT with their string values; keys in deniedKeys refuse access.
  std::map<std::u16string, std::map<std::u16string, std::u16string>> classesRoot;
  std::set<std::u16string> deniedKeys;
  std::set<std::uint32_t> deniedAccessMasks;
  // Version resources by file path: the translation table as stored (pairs of language and code
  // page) and the texts by their full query path.
  struct VersionResource {
    std::uint32_t size = 1024;
    std::optional<std::vector<std::uint16_t>> translations;
    std::map<std::u16string, std::u16string> strings;
    bool readFails = false;
  };
  std::map<std::u16string, VersionResource> versionResources;
  bool versionLibraryLoads = true;
  std::optional<std::u16string> systemFolder = u"C:\\Windows\\system32";

  // --- records
  std::vector<std::string> journal;
  std::vector<std::u16string> createdFolders;
  std::u16string openedLogPath;
  bool logOpen = false;
  std::vector<std::string> logWrites;  // one entry per AppendToLogFile call
  std::vector<std::u16string> debugLines;
  std::vector<std::uint32_t> versionQueries;
  std::vector<StartedProcess> started;
  int liveAllocations = 0;
  std::vector<std::u16string> profileLookups;  // "section/key" per value read
  std::vector<std::u16string> profileFiles;    // the file named by each read
  int liveSnapshots = 0;
  int liveProcesses = 0;
  int liveLibraries = 0;
  std::optional<std::uint32_t> openedProcessId;
  std::vector<std::pair<std::u16string, std::uint32_t>> keyOpens;  // key path and access mask
  int liveKeys = 0;
  int liveVersionLibraries = 0;
  std::vector<std::uint32_t> versionBlockSizes;  // the size of each block read
  std::vector<std::pair<std::u16string, std::u16string>> messageBoxes;  // text and caption

  // The debugger lines as byte strings, for readable assertions on ASCII texts.
  std::vector<std::string> DebugMessages() const;

  std::string LogBytes() const {
    std::string all;
    for (const auto& write : logWrites) all += write;
    return all;
  }

  bool GetCommonProgramFilesFolder(char16_t* folder, std::size_t capacity) override {
    journal.push_back("GetCommonProgramFilesFolder");
    if (!commonFilesFolder) return false;
    return CopyOut(*commonFilesFolder, folder, capacity);
  }
  void CreateFolder(const char16_t* path) override {
    journal.push_back("CreateFolder");
    createdFolders.emplace_back(path);
  }
  bool OpenLogFile(const char16_t* path) override {
    journal.push_back("OpenLogFile");
    openedLogPath = path;
    logOpen = logOpenSucceeds;
    return logOpen;
  }
  bool AppendToLogFile(const std::uint8_t* bytes, std::size_t count) override {
    journal.push_back("AppendToLogFile");
    logWrites.emplace_back(reinterpret_cast<const char*>(bytes), count);
    return logOpen;
  }
  void CloseLogFile() override {
    journal.push_back("CloseLogFile");
    logOpen = false;
  }
  bool FindFile(const char16_t* path) override {
    journal.push_back("FindFile");
    return (logOpen && openedLogPath == path) || foundFiles.count(path) != 0;
  }
  void OutputDebugText(const char16_t* text) override { debugLines.emplace_back(text); }
  std::size_t FormatLocalTime(char16_t* out, std::size_t capacity) override {
    return CopyOut(timeStamp, out, capacity) ? timeStamp.size() : 0;
  }

  bool QueryVersion(std::uint32_t recordSize, OsVersion& version) override {
    versionQueries.push_back(recordSize);
    const auto& answer = recordSize == 284 ? versionEx : versionBasic;
    if (!answer) return false;
    version = *answer;
    return true;
  }
  int GetServerR2Metric() override { return serverR2; }
  bool GetNativeSystemArchitecture(std::uint16_t& architecture) override {
    if (!nativeArchitecture) return false;
    architecture = *nativeArchitecture;
    return true;
  }
  std::uint16_t GetSystemArchitecture() override { return systemArchitecture; }

  bool SplitCommandLine(SplitArguments& arguments) override {
    journal.push_back("SplitCommandLine");
    if (!split) return false;
    arguments = *split;
    return true;
  }
  bool IsExistingPath(const char16_t* path) override { return existingPaths.count(path) != 0; }
  char16_t* AllocateText(std::size_t count) override {
    journal.push_back("AllocateText");
    if (!allocationSucceeds) return nullptr;
    ++liveAllocations;
    // Filled with a marker, so that a caller relying on zeroed memory shows up.
    auto* text = new char16_t[count];
    std::fill_n(text, count, u'#');
    return text;
  }
  void FreeText(char16_t* text) override {
    --liveAllocations;
    delete[] text;
  }
  bool GetProgramFolder(char16_t* folder, std::size_t capacity) override {
    if (!programFolder) return false;
    return CopyOut(*programFolder, folder, capacity);
  }
  ProcessOutcome RunProcess(const char16_t* applicationName, char16_t* commandLine) override {
    journal.push_back("RunProcess");
    started.push_back({applicationName, commandLine});
    const auto found = processOutcomes.find(applicationName);
    return found == processOutcomes.end() ? processOutcome : found->second;
  }

  std::size_t ReadProfileValue(const char16_t* section, const char16_t* key,
                               const char16_t* defaultText, char16_t* out, std::size_t capacity,
                               const char16_t* file) override {
    profileLookups.push_back(std::u16string(section) + u"/" + key);
    profileFiles.emplace_back(file);
    std::u16string value = defaultText;
    if (const auto found = profile.find(section); found != profile.end()) {
      for (const auto& [name, text] : found->second) {
        if (name == key) {
          value = text;
          break;
        }
      }
    }
    value = value.substr(0, capacity - 1);
    return CopyOut(value, out, capacity) ? value.size() : 0;
  }
  std::size_t ReadProfileKeyNames(const char16_t* section, char16_t* out, std::size_t capacity,
                                  const char16_t* file) override {
    profileFiles.emplace_back(file);
    std::u16string list;
    if (const auto found = profile.find(section); found != profile.end()) {
      for (const auto& entry : found->second) list += entry.first + u'\0';
    }
    if (list.empty()) {
      out[0] = out[1] = u'\0';
      return 0;
    }
    // A list that does not fit is cut and still ends with two terminators.
    if (list.size() + 1 > capacity) list = list.substr(0, capacity - 2) + u'\0';
    list += u'\0';
    list.copy(out, list.size());
    return list.size() - 1;
  }

  bool OpenProcessSnapshot() override {
    if (!processes) return false;
    ++liveSnapshots;
    return true;
  }
  bool FirstProcess(ProcessEntry& entry) override {
    ++firstProcessCalls_;
    if (failingFirstProcessCalls.count(firstProcessCalls_) != 0 || processes->empty()) {
      return false;
    }
    snapshotIndex_ = 0;
    return Deliver(entry);
  }
  bool NextProcess(ProcessEntry& entry) override {
    if (snapshotIndex_ + 1 >= processes->size()) return false;
    ++snapshotIndex_;
    return Deliver(entry);
  }
  void CloseProcessSnapshot() override { --liveSnapshots; }
  std::uint32_t GetCurrentProcessId() override { return currentProcessId; }
  bool OpenProcessForQuery(std::uint32_t processId) override {
    openedProcessId = processId;
    for (const auto& process : *processes) {
      if (process.id == processId && process.imagePath) {
        openedImagePath_ = *process.imagePath;
        ++liveProcesses;
        return true;
      }
    }
    return false;
  }
  void CloseProcess() override { --liveProcesses; }
  bool LoadProcessStatusLibrary() override {
    if (!processStatusLibraryLoads) return false;
    ++liveLibraries;
    return true;
  }
  bool FindModulePathReader() override { return modulePathReaderFound; }
  void FreeProcessStatusLibrary() override { --liveLibraries; }
  void ReadProcessImagePath(char16_t* out, std::size_t capacity) override {
    CopyOut(openedImagePath_.substr(0, capacity - 1), out, capacity);
  }
  // The simplest form of the rule: cut at the last backslash; a drive root keeps its backslash.
  bool RemoveFileSpec(char16_t* path) override {
    std::u16string text(path);
    const auto slash = text.rfind(u'\\');
    if (text.empty() || slash == std::u16string::npos) return false;
    const std::size_t keep = (slash == 2 && text[1] == u':') ? 3 : slash;
    if (keep >= text.size()) return false;
    path[keep] = u'\0';
    return true;
  }

  std::int32_t OpenClassesRootKey(const char16_t* subKey, std::uint32_t access) override {
    journal.push_back("OpenClassesRootKey");
    keyOpens.emplace_back(subKey, access);
    if (deniedKeys.count(subKey) != 0 || deniedAccessMasks.count(access) != 0) {
      return 5;  // ERROR_ACCESS_DENIED
    }
    const auto found = classesRoot.find(subKey);
    if (found == classesRoot.end()) return 2;  // ERROR_FILE_NOT_FOUND
    openKey_ = &found->second;
    ++liveKeys;
    return 0;
  }
  void CloseRegistryKey() override {
    openKey_ = nullptr;
    --liveKeys;
  }
  // Values that fit with their terminator arrive terminated; a value exactly as long as the
  // buffer arrives without one (as a value stored without its terminator does); a longer one
  // gives ERROR_MORE_DATA and leaves the buffer spoilt.
  std::int32_t QueryRegistryValue(const char16_t* valueName, char16_t* out,
                                  std::size_t capacity) override {
    const auto found = openKey_->find(valueName);
    if (found == openKey_->end()) return 2;
    const std::u16string& value = found->second;
    if (value.size() > capacity) {
      std::fill_n(out, capacity, u'#');
      return 234;
    }
    value.copy(out, value.size());
    if (value.size() < capacity) out[value.size()] = u'\0';
    return 0;
  }
  bool LoadVersionLibrary() override {
    if (!versionLibraryLoads) return false;
    ++liveVersionLibraries;
    return true;
  }
  void FreeVersionLibrary() override { --liveVersionLibraries; }
  std::uint32_t GetFileVersionInfoSize(const char16_t* path) override {
    const auto found = versionResources.find(path);
    return found == versionResources.end() ? 0 : found->second.size;
  }
  bool GetFileVersionInfo(const char16_t* path, std::uint32_t size, void* block) override {
    const auto found = versionResources.find(path);
    if (found == versionResources.end() || found->second.readFails) return false;
    versionBlockSizes.push_back(size);
    std::fill_n(static_cast<std::uint8_t*>(block), size, std::uint8_t{0xAB});
    readResource_ = &found->second;
    return true;
  }
  bool QueryVersionValue(const void*, const char16_t* subBlock, const void*& value,
                         std::uint32_t& length) override {
    const std::u16string query = subBlock;
    if (query == u"\\VarFileInfo\\Translation") {
      if (!readResource_->translations) return false;
      value = readResource_->translations->data();
      length = static_cast<std::uint32_t>(readResource_->translations->size() * 2);
      return true;
    }
    const auto found = readResource_->strings.find(query);
    if (found == readResource_->strings.end()) return false;
    value = found->second.c_str();
    length = static_cast<std::uint32_t>(found->second.size() + 1);
    return true;
  }
  bool GetSystemFolder(char16_t* folder, std::size_t capacity) override {
    if (!systemFolder) return false;
    return CopyOut(*systemFolder, folder, capacity);
  }
  void ShowMessageBox(const char16_t* text, const char16_t* caption) override {
    journal.push_back("ShowMessageBox");
    messageBoxes.emplace_back(text, caption);
  }

 private:
  std::map<std::u16string, std::u16string>* openKey_ = nullptr;
  const VersionResource* readResource_ = nullptr;

  bool Deliver(ProcessEntry& entry) const {
    const Process& process = (*processes)[snapshotIndex_];
    entry.processId = process.id;
    entry.parentProcessId = process.parentId;
    CopyOut(process.exeFile.substr(0, 259), entry.exeFile, 260);
    return true;
  }

  int firstProcessCalls_ = 0;
  std::size_t snapshotIndex_ = 0;
  std::u16string openedImagePath_;

  static bool CopyOut(const std::u16string& text, char16_t* out, std::size_t capacity) {
    if (text.size() + 1 > capacity) return false;
    text.copy(out, text.size());
    out[text.size()] = u'\0';
    return true;
  }
};

// UTF-16 to a byte string for readable assertions; every unit must be ASCII.
inline std::string Narrow(std::u16string_view text) {
  std::string out;
  for (char16_t unit : text) out += static_cast<char>(unit);
  return out;
}

inline std::vector<std::string> FakeBootSystem::DebugMessages() const {
  std::vector<std::string> messages;
  for (const auto& line : debugLines) messages.push_back(Narrow(line));
  return messages;
}

inline std::u16string Widen(std::string_view text) {
  std::u16string out;
  for (char unit : text) out += static_cast<char16_t>(static_cast<unsigned char>(unit));
  return out;
}

}  // namespace stackboot::testing
