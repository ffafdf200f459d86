#include "installed_package_gate.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "case_name.h"
#include "fake_boot_system.h"
#include "os_classification.h"
#include "run_sequence.h"

namespace stackboot {
namespace {

using testing::FakeBootSystem;
using testing::Narrow;

constexpr char16_t kKey64[] = u"Installer\\Products\\37F90B4ED1C258A46B2E173FD8509C4A";
constexpr char16_t kKey32[] = u"Installer\\Products\\0C2E71A54B39E6D4F812C0B7A9E3D485";
constexpr char kCode64[] = "{E4B09F73-2C1D-4A85-B6E2-71F38D05C9A4}";
constexpr char kCode32[] = "{5A17E2C0-93B4-4D6E-8F21-0C7B9A3E4D58}";
constexpr char16_t kMsiexec[] = u"C:\\Windows\\system32\\msiexec.exe";

struct ProductCase {
  const char* name;
  int osType;
  std::u16string key;
  std::string code;
};

class ProductTable : public ::testing::TestWithParam<ProductCase> {};

TEST_P(ProductTable, GivesKeyAndCodeForEachOsType) {
  RegistryKeyPath key;
  key.Assign(u"stale");
  GetInstallerCode(GetParam().osType, key);
  EXPECT_EQ(key.View(), GetParam().key);
  ProductCode code;
  code.Assign(u"untouched");
  EXPECT_EQ(GetProductCode(GetParam().osType, code), 1);
  EXPECT_EQ(Narrow(code.View()), GetParam().code);
}

INSTANTIATE_TEST_SUITE_P(Table, ProductTable,
                         ::testing::Values(ProductCase{"Unsupported", 0, u"", "untouched"},
                                           ProductCase{"Xp", 1, u"Installer\\Products\\", ""},
                                           ProductCase{"XpX64", 2, u"Installer\\Products\\", ""},
                                           ProductCase{"VistaX86", 3, u"Installer\\Products\\", ""},
                                           ProductCase{"VistaX64", 4, u"Installer\\Products\\", ""},
                                           ProductCase{"Win7X86", 5, u"Installer\\Products\\", ""},
                                           ProductCase{"Win7X64", 6, u"Installer\\Products\\", ""},
                                           ProductCase{"Win8X86", 7, kKey32, kCode32},
                                           ProductCase{"Win8X64", 8, kKey64, kCode64},
                                           ProductCase{"OutOfRange", 9, u"", "untouched"},
                                           ProductCase{"Negative", -1, u"", "untouched"}),
                         testing::CaseName());

class GateTest : public ::testing::Test {
 protected:
  void SetUp() override {
    system.versionResources[u"D:\\Setup\\win864.exe"] = Launcher(u"2.2.0.35");
    system.versionResources[u"D:\\Setup\\win832.exe"] = Launcher(u"2.2.0.35");
    system.processes.reset();  // no launching folder: the parameter text is one blank
    log.OpenLogFile();
  }

  static FakeBootSystem::VersionResource Launcher(const std::u16string& version) {
    FakeBootSystem::VersionResource resource;
    resource.translations = std::vector<std::uint16_t>{0x0409, 0x04B0};
    resource.strings[u"\\StringFileInfo\\040904b0\\ProductVersion"] = version;
    return resource;
  }

  void Register(const char16_t* key, std::optional<std::u16string> version) {
    auto& values = system.classesRoot[key];
    if (version) values[u"ProductVersion"] = FakeBootSystem::StoredString(*version);
  }

  int Run(bool quiet = false) {
    if (quiet) system.split = SplitArguments{2, {u'/', u'q'}};
    const int exitCode = RunStackboot(system, log, quiet ? u"/q" : u"");
    EXPECT_EQ(system.OpenCount(FakeBootSystem::kRegistryKey), 0);
    EXPECT_EQ(system.OpenCount(FakeBootSystem::kHeapText), 0);
    return exitCode;
  }

  std::vector<std::string> FileMessages() const {
    std::vector<std::string> messages;
    const std::string bytes = system.LogBytes();
    for (std::size_t start = 0; start < bytes.size();) {
      const std::size_t end = bytes.find("\r\n", start);
      const std::string line = bytes.substr(start, end - start);
      messages.push_back(line.starts_with("09:05:07:   ") ? line.substr(12) : line);
      start = end + 2;
    }
    return messages;
  }

  FakeBootSystem system;
  DiagnosticLog log{system};
};

TEST_F(GateTest, NothingRegisteredStartsTheLauncherAlone) {
  EXPECT_EQ(Run(), 0);
  ASSERT_EQ(system.started.size(), 1u);
  EXPECT_EQ(system.started[0].applicationName, u"D:\\Setup\\win864.exe");
  EXPECT_EQ(system.keyOpens,
            (std::vector<std::pair<std::u16string, std::uint32_t>>{{kKey64, 0x101}}));
  const auto messages = FileMessages();
  EXPECT_EQ(messages[9], "RegOpenKeyEx " + Narrow(kKey64) + " failed.(2)");
}

TEST_F(GateTest, EqualVersionIsRemovedBeforeTheLauncherRuns) {
  Register(kKey64, u"2.2.0.35");
  EXPECT_EQ(Run(), 0);
  ASSERT_EQ(system.started.size(), 2u);
  EXPECT_EQ(system.started[0].applicationName, kMsiexec);
  EXPECT_EQ(Narrow(system.started[0].commandLine),
            "msiexec /x " + std::string(kCode64) + " /passive /norestart");
  EXPECT_EQ(system.started[1].applicationName, u"D:\\Setup\\win864.exe");

  const auto messages = FileMessages();
  const std::vector<std::string> gate(messages.begin() + 5, messages.begin() + 15);
  EXPECT_EQ(gate, (std::vector<std::string>{
                      "CheckProductInstalled started.",
                      "GetInstallerCode started.",
                      "Installer code is " + Narrow(kKey64),
                      "GetInstallerCode finished.",
                      "CheckStackIsInstallEx is true.(" + Narrow(kKey64) + ")",
                      "CheckProductInstalled finished.",
                      "Windows 8 ",
                      "",
                      "",
                      "Uninstall _strCommandLine is msiexec /x " + std::string(kCode64) +
                          " /passive /norestart",
                  }));
  const auto lines = system.DebugMessages();
  const auto at =
      std::find(lines.begin(), lines.end(), "The _strModuleName is D:\\Setup\\win864.exe.");
  ASSERT_NE(at, lines.end());
  EXPECT_EQ(std::vector<std::string>(at, at + 5),
            (std::vector<std::string>{"The _strModuleName is D:\\Setup\\win864.exe.", "Windows 8 ",
                                      "\n", "The ProductVersion existed is 2.2.0.35.",
                                      "The ProductVersion to be installed is 2.2.0.35."}));
  EXPECT_EQ(system.keyOpens, (std::vector<std::pair<std::u16string, std::uint32_t>>{
                                 {kKey64, 0x101}, {kKey64, 0xF003F}}));
}

TEST_F(GateTest, QuietRemovalIsQuiet) {
  Register(kKey64, u"2.2.0.30");
  Run(true);
  EXPECT_EQ(Narrow(system.started.at(0).commandLine),
            "msiexec /x " + std::string(kCode64) + " /quiet /norestart");
  EXPECT_EQ(system.started.size(), 2u);
}

TEST_F(GateTest, HigherVersionAbandonsWithAMessageBox) {
  Register(kKey64, u"2.3.0.0");
  EXPECT_EQ(Run(), 0);
  EXPECT_TRUE(system.started.empty());
  ASSERT_EQ(system.messageBoxes.size(), 1u);
  EXPECT_EQ(Narrow(system.messageBoxes[0].first),
            "The existed ProductVersion is higher than your ProductVersion. Installation quit.");
  EXPECT_EQ(system.messageBoxes[0].second, u"Kestrava");
  EXPECT_EQ(system.DebugMessages().back(),
            "the ProductVersion(2.3.0.0) existed is higher than the ProductVersion(2.2.0.35) to be "
            "installed.");
  EXPECT_EQ(FileMessages().back(), "") << "the log file holds no line about the decision";
}

TEST_F(GateTest, HigherVersionInQuietModeShowsNoMessageBox) {
  Register(kKey64, u"1.10");
  system.versionResources[u"D:\\Setup\\win864.exe"] = Launcher(u"1.9");
  EXPECT_EQ(Run(true), 0);
  EXPECT_TRUE(system.started.empty());
  EXPECT_TRUE(system.messageBoxes.empty());
}

struct InstalledVersionCase {
  const char* name;
  // What the registry delivers for ProductVersion; nullopt: the key has no such value.
  std::optional<FakeBootSystem::RegistryValue> registered;
  bool allAccessDenied;
  bool removed;
};

class InstalledVersion : public GateTest,
                         public ::testing::WithParamInterface<InstalledVersionCase> {};

TEST_P(InstalledVersion, DecidesBetweenRemovalAndAbandon) {
  auto& values = system.classesRoot[kKey64];
  if (GetParam().registered) values[u"ProductVersion"] = *GetParam().registered;
  if (GetParam().allAccessDenied) system.deniedAccessMasks.insert(0xF003F);
  EXPECT_EQ(Run(), 0);
  EXPECT_EQ(system.started.size(), GetParam().removed ? 2u : 0u);
}

FakeBootSystem::RegistryValue Stored(const std::u16string& text) {
  return FakeBootSystem::StoredString(text);
}

INSTANTIATE_TEST_SUITE_P(
    Table, InstalledVersion,
    ::testing::Values(
        InstalledVersionCase{"Lower", Stored(u"2.2.0.30"), false, true},
        InstalledVersionCase{"Equal", Stored(u"2.2.0.35"), false, true},
        InstalledVersionCase{"Higher", Stored(u"2.2.0.36"), false, false},
        InstalledVersionCase{"NoValue", std::nullopt, false, true},
        InstalledVersionCase{"EmptyValue", Stored(u""), false, true},
        InstalledVersionCase{"UnreadableForAllAccess", Stored(u"9.9"), true, true},
        InstalledVersionCase{"LongestValueIsRead", Stored(u"9." + std::u16string(257, u'0')), false,
                             false},
        // A value stored without its terminator that fills the buffer arrives unterminated.
        InstalledVersionCase{"UnterminatedValueCountsAsNone",
                             FakeBootSystem::RegistryValue{0, u"9." + std::u16string(258, u'0')},
                             false, true},
        // A longer one gives ERROR_MORE_DATA with whatever the buffer then holds.
        InstalledVersionCase{"TooLongValueCountsAsNone",
                             FakeBootSystem::RegistryValue{234, std::u16string(260, u'9')}, false,
                             true}),
    testing::CaseName());

TEST_F(GateTest, LauncherWithoutVersionLosesToAnyRegisteredVersion) {
  Register(kKey64, u"0.0.0.1");
  system.versionResources.clear();
  EXPECT_EQ(Run(true), 0);
  EXPECT_TRUE(system.started.empty());
}

TEST_F(GateTest, ThirtyTwoBitWindows8UsesItsOwnProduct) {
  system.nativeArchitecture = std::uint16_t{0};
  Register(kKey32, u"1.0");
  Run();
  EXPECT_EQ(system.keyOpens, (std::vector<std::pair<std::u16string, std::uint32_t>>{
                                 {kKey32, 0x1}, {kKey32, 0xF003F}}));
  ASSERT_EQ(system.started.size(), 2u);
  EXPECT_EQ(Narrow(system.started[0].commandLine),
            "msiexec /x " + std::string(kCode32) + " /passive /norestart");
  EXPECT_EQ(system.started[1].applicationName, u"D:\\Setup\\win832.exe");
}

TEST_F(GateTest, DeniedRegistrationKeyCountsAsNotRegistered) {
  Register(kKey64, u"9.9");
  system.deniedKeys.insert(kKey64);
  Run();
  EXPECT_EQ(FileMessages()[9], "RegOpenKeyEx " + Narrow(kKey64) + " failed.(5)");
  EXPECT_EQ(system.started.size(), 1u);
}

TEST_F(GateTest, MsiexecThatCannotStartIsLoggedAndTheRunGoesOn) {
  Register(kKey64, u"1.0");
  system.processOutcomes[kMsiexec] = {false, 2};
  system.processOutcome = {true, 0};
  EXPECT_EQ(Run(), 0);
  const auto messages = FileMessages();
  const auto at = std::find(messages.begin(), messages.end(), "CreateProcess failed (2)");
  ASSERT_NE(at, messages.end());
  EXPECT_EQ(*(at + 2), "Uninstall _strCommandLine is msiexec /x " + std::string(kCode64) +
                           " /passive /norestart");
  EXPECT_EQ(system.started.size(), 2u);
}

TEST_F(GateTest, UnknownProgramFolderReadsNoVersionRemovesNothingAndEndsWithItsError) {
  Register(kKey64, u"1.0");
  system.programFolderError = 122;
  EXPECT_EQ(Run(), 122);
  EXPECT_TRUE(system.started.empty()) << "neither msiexec nor a launcher";
  EXPECT_TRUE(system.messageBoxes.empty());
  EXPECT_EQ(std::count(system.journal.begin(), system.journal.end(), "GetFileVersionInfoSize"), 0);
  EXPECT_EQ(std::count(system.journal.begin(), system.journal.end(), "QueryRegistryValue"), 0);
  EXPECT_EQ(system.DebugMessages().back(), "CreateProcess failed (122)\n");
}

TEST_F(GateTest, UnknownSystemFolderStartsNoMsiexecAndTheRunGoesOn) {
  Register(kKey64, u"1.0");
  system.systemFolder.reset();
  system.processOutcome = {true, 3010};
  EXPECT_EQ(Run(), 3010);
  ASSERT_EQ(system.started.size(), 1u) << "msiexec is never looked for elsewhere";
  EXPECT_EQ(system.started[0].applicationName, u"D:\\Setup\\win864.exe");
  const auto messages = FileMessages();
  const auto at =
      std::find(messages.begin(), messages.end(),
                "CreateProcess failed (" + std::to_string(FakeBootSystem::kFailureCode) + ")");
  ASSERT_NE(at, messages.end());
  EXPECT_EQ(*(at + 2), "Uninstall _strCommandLine is msiexec /x " + std::string(kCode64) +
                           " /passive /norestart");
}

TEST_F(GateTest, MsiexecsExitCodeIsNotTheRunsExitCode) {
  Register(kKey64, u"1.0");
  system.processOutcomes[kMsiexec] = {true, 1605};
  system.processOutcome = {true, 7};
  EXPECT_EQ(Run(), 7);
}

TEST_F(GateTest, WorkingBufferThatCannotBeAllocatedEndsTheRun) {
  Register(kKey64, u"1.0");
  system.Fail("AllocateText");
  EXPECT_EQ(Run(), 14);
  EXPECT_TRUE(system.started.empty());
  EXPECT_EQ(FileMessages().back(), "CheckProductInstalled finished.");
}

TEST_F(GateTest, DebugLinesAreCutToTheirBuffer) {
  const std::u16string folder = u"D:\\" + std::u16string(256, u'f');  // 259 characters
  system.programFolder = folder;
  system.versionResources[folder + u"\\win864.exe"] = Launcher(u"2.2.0.35");
  Register(kKey64, u"1.0");
  Run(true);
  const auto lines = system.DebugMessages();
  const auto at = std::find_if(lines.begin(), lines.end(), [](const std::string& line) {
    return line.starts_with("The _strModuleName is ");
  });
  ASSERT_NE(at, lines.end());
  EXPECT_EQ(*at, ("The _strModuleName is " + Narrow(folder) + "\\win864.exe.").substr(0, 259));
  EXPECT_EQ(system.started.size(), 2u) << "the whole path still reaches the version lookup";
}

}  // namespace
}  // namespace stackboot
