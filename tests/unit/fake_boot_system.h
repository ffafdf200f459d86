#pragma once

#include <algorithm>
#include <cstdint>
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
    return processOutcome;
  }

 private:
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

inline std::u16string Widen(std::string_view text) {
  std::u16string out;
  for (char unit : text) out += static_cast<char16_t>(static_cast<unsigned char>(unit));
  return out;
}

}  // namespace stackboot::testing
