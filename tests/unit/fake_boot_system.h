#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "boot_system.h"

namespace stackboot::testing {

// A simulated Windows for the bootstrapper's core: every answer is stated by the test, and every
// request is recorded. It does not emulate Windows algorithms: where a platform call would cut,
// terminate or rewrite a text, the test states what the call delivers, and an answer that was not
// stated (or could not be delivered as stated) ends the process with a message.
//
// Any operation that has a failing form fails when its name is in `failing`; every operation is
// recorded by name in `journal`, and what is acquired and not yet released is kept in a ledger.
class FakeBootSystem : public BootSystem {
 public:
  struct StartedProcess {
    std::u16string applicationName;
    std::u16string commandLine;
  };

  // The error code that failing operations report.
  static constexpr std::uint32_t kFailureCode = 31;  // ERROR_GEN_FAILURE

  // --- failures
  std::set<std::string> failing;
  void Fail(const std::string& operation) { failing.insert(operation); }

  // --- answers
  std::optional<std::u16string> commonFilesFolder = u"C:\\Program Files (x86)\\Common Files";
  LogFileFacts logFileFacts{false, false, 1};
  std::set<std::u16string> foundFiles;  // what FindFile finds besides an open log file
  std::u16string timeStamp = u"09:05:07";
  std::optional<OsVersion> versionEx = OsVersion{2, 6, 2};
  std::optional<OsVersion> versionBasic;
  int serverR2 = 0;
  std::optional<std::uint16_t> nativeArchitecture = std::uint16_t{9};
  std::uint16_t systemArchitecture = 0;
  std::optional<SplitArguments> split = SplitArguments{1, {}};
  std::set<std::u16string> existingPaths;
  // Full paths by the path asked for; a path not stated here comes back as it is.
  std::map<std::u16string, std::u16string> fullPaths;
  std::u16string programFolder = u"D:\\Setup";
  std::uint32_t programFolderError = 0;  // when not 0, the folder is unknown with this error
  ProcessOutcome processOutcome{true, 0};
  std::map<std::u16string, ProcessOutcome> processOutcomes;  // by application, over the above

  // What the profile reader delivers. Values by section and key, as delivered (at most the
  // capacity less one units); the fake matches names exactly. The key-name list of a section is
  // its names in order, each terminated, and one more terminator, unless `keyLists` states the
  // units delivered for it.
  using Section = std::vector<std::pair<std::u16string, std::u16string>>;
  std::map<std::u16string, Section> profile;
  std::map<std::u16string, std::u16string> keyLists;

  // The process list of the snapshot, in snapshot order; nullopt: the snapshot cannot be taken.
  struct Process {
    std::uint32_t id;
    std::uint32_t parentId;
    std::u16string exeFile;
    // What the process-status library reads as its image path; nullopt: it cannot be opened.
    std::optional<std::u16string> imagePath;
    // What the kernel names as its image; nullopt: it does not.
    std::optional<std::u16string> imageName = std::nullopt;
    CreationTime created = 100;
  };
  std::optional<std::vector<Process>> processes =
      std::vector<Process>{{4, 0, u"System", std::nullopt},
                           {100, 4, u"explorer.exe", u"C:\\Windows\\explorer.exe"},
                           {200, 100, u"autorun.exe", u"D:\\Media\\autorun.exe"},
                           {300, 200, u"stackboot.exe", u"D:\\Setup\\stackboot.exe"}};
  std::uint32_t currentProcessId = 300;
  CreationTime ownCreated = 1000;
  std::set<int> failingFirstProcessCalls;  // 1: the first FirstProcess call fails, 2: the second
  // What cutting the last element off a path leaves, by the path; nullopt: nothing is removed.
  std::map<std::u16string, std::optional<std::u16string>> folderOf = {
      {u"", std::nullopt},
      {u"C:\\Windows\\explorer.exe", u"C:\\Windows"},
      {u"D:\\Media\\autorun.exe", u"D:\\Media"}};

  // Keys under HKEY_CLASSES_ROOT with their values as the registry delivers them into the
  // caller's buffer; keys in deniedKeys, or opened with a mask in deniedAccessMasks, refuse access.
  struct RegistryValue {
    std::int32_t status = 0;
    std::u16string units;  // written to the buffer as they stand
  };
  static RegistryValue StoredString(const std::u16string& text) { return {0, text + u'\0'}; }
  std::map<std::u16string, std::map<std::u16string, RegistryValue>> classesRoot;
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
  std::optional<std::u16string> systemFolder = u"C:\\Windows\\system32";

  // --- records
  std::vector<std::string> journal;    // every operation, by name, in call order
  std::set<std::string> failableSeen;  // the operations called that have a failing form
  std::vector<std::u16string> createdFolders;
  std::u16string openedLogPath;
  std::u16string openedLogFolder;
  std::vector<std::string> logWrites;  // one entry per AppendToLogFile call that reached the file
  std::vector<std::u16string> debugLines;
  std::vector<std::uint32_t> versionQueries;
  std::vector<StartedProcess> started;
  std::vector<std::u16string> profileLookups;  // "section/key" per value read
  std::vector<std::u16string> profileFiles;    // the file named by each read
  std::optional<std::uint32_t> openedProcessId;
  std::vector<std::uint32_t> creationTimeQueries;                  // process ids asked for by id
  std::vector<std::pair<std::u16string, std::uint32_t>> keyOpens;  // key path and access mask
  std::vector<std::uint32_t> versionBlockSizes;                    // the size of each block read
  std::vector<std::pair<std::u16string, std::u16string>> messageBoxes;  // text and caption
  // Every path that reached a file operation or a process start, with the operation's name.
  std::vector<std::pair<std::string, std::u16string>> pathsUsed;

  // --- the ledger of what is open
  static constexpr char kLogFile[] = "log file";
  static constexpr char kSnapshot[] = "process snapshot";
  static constexpr char kProcess[] = "opened process";
  static constexpr char kProcessStatusLibrary[] = "process-status library";
  static constexpr char kRegistryKey[] = "registry key";
  static constexpr char kVersionLibrary[] = "version library";
  static constexpr char kHeapText[] = "heap text";
  int OpenCount(const std::string& kind) const {
    const auto found = ledger_.find(kind);
    return found == ledger_.end() ? 0 : found->second;
  }
  // What is still open, e.g. "registry key x1"; empty when everything was released once.
  std::vector<std::string> StillOpen() const {
    std::vector<std::string> open = ledgerErrors_;
    for (const auto& [kind, count] : ledger_) {
      if (count != 0) open.push_back(kind + " x" + std::to_string(count));
    }
    return open;
  }
  bool LogOpen() const { return OpenCount(kLogFile) != 0; }

  // The debugger lines as byte strings, for readable assertions on ASCII texts.
  std::vector<std::string> DebugMessages() const;

  std::string LogBytes() const {
    std::string all;
    for (const auto& write : logWrites) all += write;
    return all;
  }

  bool GetCommonProgramFilesFolder(char16_t* folder, std::size_t capacity) override {
    if (Fails("GetCommonProgramFilesFolder") || !commonFilesFolder) return false;
    CopyOut(*commonFilesFolder, folder, capacity, "common files folder");
    return true;
  }
  void CreateFolder(const char16_t* path) override {
    UsePath("CreateFolder", path);
    if (Fails("CreateFolder")) return;
    createdFolders.emplace_back(path);
  }
  bool OpenLogFile(const char16_t* folder, const char16_t* path, LogFileFacts& facts) override {
    UsePath("OpenLogFile", folder);
    UsePath("OpenLogFile", path);
    if (Fails("OpenLogFile")) return false;
    openedLogFolder = folder;
    openedLogPath = path;
    facts = logFileFacts;
    Acquire(kLogFile);
    return true;
  }
  bool AppendToLogFile(const std::uint8_t* bytes, std::size_t count) override {
    if (Fails("AppendToLogFile") || !LogOpen()) return false;
    logWrites.emplace_back(reinterpret_cast<const char*>(bytes), count);
    return true;
  }
  void CloseLogFile() override {
    Record("CloseLogFile");
    Release(kLogFile);
  }
  bool FindFile(const char16_t* path) override {
    UsePath("FindFile", path);
    if (Fails("FindFile")) return false;
    return (LogOpen() && openedLogPath == path) || foundFiles.count(path) != 0;
  }
  void OutputDebugText(const char16_t* text) override {
    Record("OutputDebugText");
    debugLines.emplace_back(text);
  }
  std::size_t FormatLocalTime(char16_t* out, std::size_t capacity) override {
    if (Fails("FormatLocalTime")) return 0;
    CopyOut(timeStamp, out, capacity, "time stamp");
    return timeStamp.size();
  }

  bool QueryVersion(std::uint32_t recordSize, OsVersion& version) override {
    if (Fails("QueryVersion")) return false;
    versionQueries.push_back(recordSize);
    const auto& answer = recordSize == 284 ? versionEx : versionBasic;
    if (!answer) return false;
    version = *answer;
    return true;
  }
  int GetServerR2Metric() override { return Fails("GetServerR2Metric") ? 0 : serverR2; }
  bool GetNativeSystemArchitecture(std::uint16_t& architecture) override {
    if (Fails("GetNativeSystemArchitecture") || !nativeArchitecture) return false;
    architecture = *nativeArchitecture;
    return true;
  }
  std::uint16_t GetSystemArchitecture() override {
    Record("GetSystemArchitecture");
    return systemArchitecture;
  }

  bool SplitCommandLine(SplitArguments& arguments) override {
    if (Fails("SplitCommandLine") || !split) return false;
    arguments = *split;
    return true;
  }
  bool IsExistingPath(const char16_t* path) override {
    if (Fails("IsExistingPath")) return false;
    return existingPaths.count(path) != 0;
  }
  char16_t* AllocateText(std::size_t count) override {
    if (Fails("AllocateText")) return nullptr;
    Acquire(kHeapText);
    // Filled with a marker, so that a caller relying on zeroed memory shows up.
    auto* text = new char16_t[count];
    std::fill_n(text, count, u'#');
    return text;
  }
  void FreeText(char16_t* text) override {
    Record("FreeText");
    Release(kHeapText);
    delete[] text;
  }
  std::uint32_t GetProgramFolder(char16_t* folder, std::size_t capacity) override {
    if (Fails("GetProgramFolder")) return kFailureCode;
    if (programFolderError != 0) return programFolderError;
    CopyOut(programFolder, folder, capacity, "program folder");
    return 0;
  }
  ProcessOutcome RunProcess(const char16_t* applicationName, char16_t* commandLine) override {
    UsePath("RunProcess", applicationName);
    started.push_back({applicationName, Terminated(commandLine)});
    if (Fails("RunProcess")) return {false, kFailureCode};
    const auto found = processOutcomes.find(applicationName);
    return found == processOutcomes.end() ? processOutcome : found->second;
  }

  bool GetFullPath(const char16_t* path, char16_t* out, std::size_t capacity) override {
    if (Fails("GetFullPath")) return false;
    const auto found = fullPaths.find(path);
    CopyOut(found == fullPaths.end() ? std::u16string(path) : found->second, out, capacity,
            "full path");
    return true;
  }
  std::size_t ReadProfileValue(const char16_t* section, const char16_t* key,
                               const char16_t* defaultText, char16_t* out, std::size_t capacity,
                               const char16_t* file) override {
    UsePath("ReadProfileValue", file);
    profileLookups.push_back(std::u16string(section) + u"/" + key);
    profileFiles.emplace_back(file);
    if (Fails("ReadProfileValue")) {
      out[0] = u'\0';
      return 0;
    }
    std::u16string value = defaultText;
    if (const auto found = profile.find(section); found != profile.end()) {
      for (const auto& [name, text] : found->second) {
        if (name == key) {
          value = text;
          break;
        }
      }
    }
    CopyOut(value, out, capacity, "profile value");
    return value.size();
  }
  std::size_t ReadProfileKeyNames(const char16_t* section, char16_t* out, std::size_t capacity,
                                  const char16_t* file) override {
    UsePath("ReadProfileKeyNames", file);
    profileFiles.emplace_back(file);
    if (Fails("ReadProfileKeyNames")) {
      out[0] = out[1] = u'\0';
      return 0;
    }
    std::u16string list;
    if (const auto stated = keyLists.find(section); stated != keyLists.end()) {
      list = stated->second;
    } else if (const auto found = profile.find(section); found != profile.end()) {
      for (const auto& entry : found->second) list += entry.first + u'\0';
      if (!list.empty()) list += u'\0';
    }
    if (list.empty()) {
      out[0] = out[1] = u'\0';
      return 0;
    }
    if (list.size() > capacity) Unstated("a key list longer than its buffer");
    list.copy(out, list.size());
    return list.size() - 1;
  }

  bool OpenProcessSnapshot() override {
    if (Fails("OpenProcessSnapshot") || !processes) return false;
    Acquire(kSnapshot);
    return true;
  }
  bool FirstProcess(ProcessEntry& entry) override {
    ++firstProcessCalls_;
    if (Fails("FirstProcess")) return false;
    if (failingFirstProcessCalls.count(firstProcessCalls_) != 0 || processes->empty()) {
      return false;
    }
    snapshotIndex_ = 0;
    return Deliver(entry);
  }
  bool NextProcess(ProcessEntry& entry) override {
    if (Fails("NextProcess")) return false;
    if (snapshotIndex_ + 1 >= processes->size()) return false;
    ++snapshotIndex_;
    return Deliver(entry);
  }
  void CloseProcessSnapshot() override {
    Record("CloseProcessSnapshot");
    Release(kSnapshot);
  }
  std::uint32_t GetCurrentProcessId() override {
    Record("GetCurrentProcessId");
    return currentProcessId;
  }
  bool OpenProcessForQuery(std::uint32_t processId) override {
    openedProcessId = processId;
    if (Fails("OpenProcessForQuery")) return false;
    if (const Process* process = FindProcess(processId); process && process->imagePath) {
      opened_ = *process;
      Acquire(kProcess);
      return true;
    }
    return false;
  }
  void CloseProcess() override {
    Record("CloseProcess");
    Release(kProcess);
  }
  bool LoadProcessStatusLibrary() override {
    if (Fails("LoadProcessStatusLibrary")) return false;
    Acquire(kProcessStatusLibrary);
    return true;
  }
  bool FindModulePathReader() override { return !Fails("FindModulePathReader"); }
  void FreeProcessStatusLibrary() override {
    Record("FreeProcessStatusLibrary");
    Release(kProcessStatusLibrary);
  }
  void ReadProcessImagePath(char16_t* out, std::size_t capacity) override {
    if (Fails("ReadProcessImagePath")) return;
    CopyOut(*opened_.imagePath, out, capacity, "module path");
  }
  bool ReadProcessImageName(char16_t* out, std::size_t capacity) override {
    if (Fails("ReadProcessImageName") || !opened_.imageName) return false;
    CopyOut(*opened_.imageName, out, capacity, "image name");
    return true;
  }
  bool GetOpenedProcessCreationTime(CreationTime& time) override {
    if (Fails("GetOpenedProcessCreationTime")) return false;
    time = opened_.created;
    return true;
  }
  bool GetProcessCreationTime(std::uint32_t processId, CreationTime& time) override {
    creationTimeQueries.push_back(processId);
    if (Fails("GetProcessCreationTime")) return false;
    const Process* process = FindProcess(processId);
    if (process == nullptr) return false;
    time = process->created;
    return true;
  }
  bool GetOwnCreationTime(CreationTime& time) override {
    if (Fails("GetOwnCreationTime")) return false;
    time = ownCreated;
    return true;
  }
  bool RemoveFileSpec(char16_t* path) override {
    if (Fails("RemoveFileSpec")) return false;
    const auto found = folderOf.find(path);
    if (found == folderOf.end()) Unstated("the folder of a path");
    if (!found->second) return false;
    found->second->copy(path, found->second->size());
    path[found->second->size()] = u'\0';
    return true;
  }

  std::int32_t OpenClassesRootKey(const char16_t* subKey, std::uint32_t access) override {
    keyOpens.emplace_back(subKey, access);
    if (Fails("OpenClassesRootKey")) return static_cast<std::int32_t>(kFailureCode);
    if (deniedKeys.count(subKey) != 0 || deniedAccessMasks.count(access) != 0) {
      return 5;  // ERROR_ACCESS_DENIED
    }
    const auto found = classesRoot.find(subKey);
    if (found == classesRoot.end()) return 2;  // ERROR_FILE_NOT_FOUND
    openKey_ = &found->second;
    Acquire(kRegistryKey);
    return 0;
  }
  void CloseRegistryKey() override {
    Record("CloseRegistryKey");
    openKey_ = nullptr;
    Release(kRegistryKey);
  }
  std::int32_t QueryRegistryValue(const char16_t* valueName, char16_t* out,
                                  std::size_t capacity) override {
    if (Fails("QueryRegistryValue")) return static_cast<std::int32_t>(kFailureCode);
    const auto found = openKey_->find(valueName);
    if (found == openKey_->end()) return 2;
    const RegistryValue& value = found->second;
    if (value.units.size() > capacity) Unstated("registry units longer than their buffer");
    value.units.copy(out, value.units.size());
    return value.status;
  }
  bool LoadVersionLibrary() override {
    if (Fails("LoadVersionLibrary")) return false;
    Acquire(kVersionLibrary);
    return true;
  }
  void FreeVersionLibrary() override {
    Record("FreeVersionLibrary");
    Release(kVersionLibrary);
  }
  std::uint32_t GetFileVersionInfoSize(const char16_t* path) override {
    UsePath("GetFileVersionInfoSize", path);
    if (Fails("GetFileVersionInfoSize")) return 0;
    const auto found = versionResources.find(path);
    return found == versionResources.end() ? 0 : found->second.size;
  }
  bool GetFileVersionInfo(const char16_t* path, std::uint32_t size, void* block) override {
    UsePath("GetFileVersionInfo", path);
    if (Fails("GetFileVersionInfo")) return false;
    const auto found = versionResources.find(path);
    if (found == versionResources.end() || found->second.readFails) return false;
    versionBlockSizes.push_back(size);
    std::fill_n(static_cast<std::uint8_t*>(block), size, std::uint8_t{0xAB});
    readResource_ = &found->second;
    return true;
  }
  bool QueryVersionValue(const void*, const char16_t* subBlock, const void*& value,
                         std::uint32_t& length) override {
    if (Fails("QueryVersionValue")) return false;
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
  std::uint32_t GetSystemFolder(char16_t* folder, std::size_t capacity) override {
    if (Fails("GetSystemFolder") || !systemFolder) return kFailureCode;
    CopyOut(*systemFolder, folder, capacity, "system folder");
    return 0;
  }
  void ShowMessageBox(const char16_t* text, const char16_t* caption) override {
    Record("ShowMessageBox");
    messageBoxes.emplace_back(text, caption);
  }

 private:
  void Record(const char* operation) { journal.emplace_back(operation); }
  bool Fails(const char* operation) {
    Record(operation);
    failableSeen.insert(operation);
    return failing.count(operation) != 0;
  }
  void UsePath(const char* operation, const char16_t* path) {
    pathsUsed.emplace_back(operation, path);
  }
  void Acquire(const std::string& kind) { ++ledger_[kind]; }
  void Release(const std::string& kind) {
    if (--ledger_[kind] < 0) {
      ledgerErrors_.push_back(kind + " released without being held");
      ledger_[kind] = 0;
    }
  }

  [[noreturn]] static void Unstated(const char* what) {
    static_cast<void>(std::fprintf(stderr, "simulated system: no answer stated for %s\n", what));
    std::abort();
  }
  // Delivers a stated text; one that cannot be delivered whole is a fault of the test.
  static void CopyOut(const std::u16string& text, char16_t* out, std::size_t capacity,
                      const char* what) {
    if (text.size() + 1 > capacity) Unstated(what);
    text.copy(out, text.size());
    out[text.size()] = u'\0';
  }
  // A command line as started, up to its terminator; an unterminated one is recorded with a mark.
  static std::u16string Terminated(const char16_t* text) {
    constexpr std::size_t kLongest = 8192;
    std::u16string line;
    for (std::size_t i = 0; i < kLongest; ++i) {
      if (text[i] == u'\0') return line;
      line += text[i];
    }
    return line + u"<unterminated>";
  }

  const Process* FindProcess(std::uint32_t processId) const {
    for (const auto& process : *processes) {
      if (process.id == processId) return &process;
    }
    return nullptr;
  }

  bool Deliver(ProcessEntry& entry) const {
    const Process& process = (*processes)[snapshotIndex_];
    entry.processId = process.id;
    entry.parentProcessId = process.parentId;
    CopyOut(process.exeFile, entry.exeFile, 260, "executable file name");
    return true;
  }

  std::map<std::string, int> ledger_;
  std::vector<std::string> ledgerErrors_;
  std::map<std::u16string, RegistryValue>* openKey_ = nullptr;
  const VersionResource* readResource_ = nullptr;
  int firstProcessCalls_ = 0;
  std::size_t snapshotIndex_ = 0;
  Process opened_{0, 0, u"", std::nullopt};
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

// Whether a path names its place whole: a drive root or a UNC share, not a path relative to the
// current drive or folder.
inline bool IsAbsolutePath(std::u16string_view path) {
  const bool drive =
      path.size() >= 3 &&
      ((path[0] >= u'A' && path[0] <= u'Z') || (path[0] >= u'a' && path[0] <= u'z')) &&
      path[1] == u':' && path[2] == u'\\';
  return drive || path.starts_with(u"\\\\");
}

}  // namespace stackboot::testing
