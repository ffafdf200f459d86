#include "os_classification.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "case_name.h"
#include "diagnostic_log.h"
#include "fake_boot_system.h"

namespace stackboot {
namespace {

using testing::FakeBootSystem;

constexpr std::uint16_t kX86 = 0;
constexpr std::uint16_t kArm64 = 12;
constexpr std::uint16_t kAmd64 = 9;
constexpr std::uint16_t kIa64 = 6;

struct OsCase {
  const char* name;
  OsVersion version;
  int serverR2;
  std::uint16_t nativeArchitecture;
  int expected;
  std::vector<std::u16string> lines;  // the debugger lines, the closing line feed included
};

class DetectOsType : public ::testing::TestWithParam<OsCase> {};

TEST_P(DetectOsType, ClassifiesAndLogsTheRelease) {
  const OsCase& c = GetParam();
  FakeBootSystem system;
  system.versionEx = c.version;
  system.serverR2 = c.serverR2;
  system.nativeArchitecture = c.nativeArchitecture;
  DiagnosticLog log{system};
  EXPECT_EQ(DetectOSType(system, log), c.expected);
  EXPECT_EQ(system.debugLines, c.lines);
}

const std::u16string kFeed = u"\n";

INSTANTIATE_TEST_SUITE_P(
    Table, DetectOsType,
    ::testing::Values(
        OsCase{"NotNt", {1, 6, 2}, 0, kAmd64, OS_UNSUPPORTED, {kFeed}},
        OsCase{"Win8X64", {2, 6, 2}, 0, kAmd64, OS_WIN8_X64, {u"Windows 8 ", kFeed}},
        OsCase{"Win8Ia64", {2, 6, 2}, 0, kIa64, OS_WIN8_X64, {u"Windows 8 ", kFeed}},
        OsCase{"Win8X86", {2, 6, 2}, 0, kX86, OS_WIN8_X86, {u"Windows 8 ", kFeed}},
        OsCase{"Win8Arm64IsNot64Bit", {2, 6, 2}, 0, kArm64, OS_WIN8_X86, {u"Windows 8 ", kFeed}},
        OsCase{"Win7X64", {2, 6, 1}, 0, kAmd64, OS_WIN7_X64, {u"Windows 7 ", kFeed}},
        OsCase{"Win7X86", {2, 6, 1}, 0, kX86, OS_WIN7_X86, {u"Windows 7 ", kFeed}},
        OsCase{"VistaX64", {2, 6, 0}, 0, kAmd64, OS_VISTA_X64, {u"Windows Vista ", kFeed}},
        OsCase{"VistaX86", {2, 6, 0}, 0, kX86, OS_VISTA_X86, {u"Windows Vista ", kFeed}},
        OsCase{"Version63", {2, 6, 3}, 0, kAmd64, OS_UNSUPPORTED, {kFeed}},
        OsCase{"Version10", {2, 10, 0}, 0, kAmd64, OS_UNSUPPORTED, {kFeed}},
        OsCase{"Version7", {2, 7, 0}, 0, kAmd64, OS_UNSUPPORTED, {kFeed}},
        OsCase{"Server2003R2X64",
               {2, 5, 2},
               1,
               kAmd64,
               OS_UNSUPPORTED,
               {u"Microsoft Windows Server 2003 \"R2\" ", kFeed}},
        OsCase{"Server2003R2X86",
               {2, 5, 2},
               1,
               kX86,
               OS_UNSUPPORTED,
               {u"Microsoft Windows Server 2003 \"R2\" ", kFeed}},
        OsCase{"XpX64",
               {2, 5, 2},
               0,
               kAmd64,
               OS_WINXP_X64,
               {u"Microsoft Windows XP Professional x64 Edition ", kFeed}},
        OsCase{"Server2003X86",
               {2, 5, 2},
               0,
               kX86,
               OS_UNSUPPORTED,
               {u"Microsoft Windows Server 2003, ", kFeed}},
        OsCase{"Xp", {2, 5, 1}, 0, kX86, OS_WINXP, {u"Microsoft Windows XP ", kFeed}},
        OsCase{"Win2000", {2, 5, 0}, 0, kX86, OS_UNSUPPORTED, {u"Microsoft Windows 2000 ", kFeed}},
        OsCase{"Version53", {2, 5, 3}, 0, kX86, OS_UNSUPPORTED, {kFeed}},
        OsCase{"Nt4", {2, 4, 0}, 0, kX86, OS_UNSUPPORTED, {u"Microsoft Windows NT ", kFeed}},
        OsCase{"Nt3", {2, 3, 51}, 0, kX86, OS_UNSUPPORTED, {u"Microsoft Windows NT ", kFeed}}),
    testing::CaseName());

TEST(DetectOsTypeQuery, FallsBackToTheBasicRecord) {
  FakeBootSystem system;
  system.versionEx.reset();
  system.versionBasic = OsVersion{2, 6, 2};
  DiagnosticLog log{system};
  EXPECT_EQ(DetectOSType(system, log), OS_WIN8_X64);
  EXPECT_EQ(system.versionQueries, (std::vector<std::uint32_t>{284, 276}));
}

TEST(DetectOsTypeQuery, BothQueriesFailingGivesUnsupportedWithoutALine) {
  FakeBootSystem system;
  system.versionEx.reset();
  DiagnosticLog log{system};
  EXPECT_EQ(DetectOSType(system, log), OS_UNSUPPORTED);
  EXPECT_TRUE(system.debugLines.empty());
}

struct ArchitectureCase {
  const char* name;
  std::optional<std::uint16_t> native;  // nullopt: kernel32 lacks GetNativeSystemInfo
  std::uint16_t plain;
  bool expected;
};

class Is64BitNativeTest : public ::testing::TestWithParam<ArchitectureCase> {};

TEST_P(Is64BitNativeTest, PrefersTheNativeAnswer) {
  FakeBootSystem system;
  system.nativeArchitecture = GetParam().native;
  system.systemArchitecture = GetParam().plain;
  EXPECT_EQ(Is64BitNative(system), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, Is64BitNativeTest,
    ::testing::Values(ArchitectureCase{"NativeAmd64", kAmd64, kX86, true},
                      ArchitectureCase{"NativeIa64", kIa64, kX86, true},
                      ArchitectureCase{"NativeX86", kX86, kAmd64, false},
                      ArchitectureCase{"NativeArm64", kArm64, kX86, false},
                      ArchitectureCase{"NoNativeAmd64", std::nullopt, kAmd64, true},
                      ArchitectureCase{"NoNativeX86", std::nullopt, kX86, false}),
    testing::CaseName());

}  // namespace
}  // namespace stackboot
