#include "product_version.h"

#include <gtest/gtest.h>

#include <string>

#include "case_name.h"
#include "fake_boot_system.h"

namespace stackboot {
namespace {

using testing::FakeBootSystem;
using testing::Narrow;

struct CompareCase {
  const char* name;
  std::u16string installed;
  std::u16string candidate;
  int expected;  // 0: installed is higher; 1: the candidate is equal or higher
};

class CompareVersions : public ::testing::TestWithParam<CompareCase> {};

TEST_P(CompareVersions, FourUnsignedSlots) {
  EXPECT_EQ(CompareProductVersion(GetParam().installed.c_str(), GetParam().candidate.c_str()),
            GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, CompareVersions,
    ::testing::Values(CompareCase{"Equal", u"2.2.0.35", u"2.2.0.35", 1},
                      CompareCase{"InstalledLower", u"2.2.0.30", u"2.2.0.35", 1},
                      CompareCase{"InstalledHigher", u"2.3.0.0", u"2.2.0.35", 0},
                      CompareCase{"NumericNotTextual", u"1.10", u"1.9", 0},
                      CompareCase{"NumericNotTextualReversed", u"1.9", u"1.10", 1},
                      CompareCase{"MissingPartsAreZero", u"1.2", u"1.2.0.0", 1},
                      CompareCase{"MissingPartsAreZeroReversed", u"1.2.0.0", u"1.2", 1},
                      CompareCase{"FifthPartIgnored", u"1.2.3.4.9", u"1.2.3.4.1", 1},
                      CompareCase{"TwoDotsGiveAnEmptySlot", u"1..3", u"1.0.3.0", 1},
                      CompareCase{"TwoDotsGiveAnEmptySlotHigher", u"1..3", u"1.0.2", 0},
                      CompareCase{"LeadingDot", u".5", u"0.5", 1},
                      CompareCase{"TrailingLettersIgnored", u"2a.1", u"2.1", 1},
                      CompareCase{"TrailingLettersStillCount", u"2a.1", u"2.0", 0},
                      CompareCase{"LettersOnlyAreZero", u"x.1", u"0.1", 1},
                      CompareCase{"NegativeAboveEverything", u"-1", u"4000000000", 0},
                      CompareCase{"NonNegativeBelowNegative", u"5", u"-1", 1},
                      CompareCase{"PlusSign", u"+4", u"4", 1},
                      CompareCase{"LeadingWhiteSpaceSkipped", u"1.\t 7", u"1.7", 1},
                      CompareCase{"EmptyInstalled", u"", u"0.0.0.1", 1},
                      CompareCase{"BothEmpty", u"", u"", 1},
                      CompareCase{"EmptyCandidate", u"0.0.0.1", u"", 0},
                      CompareCase{"ClampedAtTheTop", u"4294967296", u"2147483647", 1},
                      CompareCase{"ClampedBothWays", u"99999999999", u"2147483648", 1},
                      CompareCase{"ClampedAtTheBottom", u"-99999999999", u"2147483647", 0},
                      CompareCase{"LastSlotDecides", u"1.2.3.5", u"1.2.3.4", 0}),
    testing::CaseName());

class FileProductVersion : public ::testing::Test {
 protected:
  static constexpr char16_t kLauncher[] = u"D:\\Setup\\win864.exe";

  std::string Read() {
    VersionText version;
    EXPECT_EQ(GetFileProductVersion(system, kLauncher, version), 1);
    EXPECT_EQ(system.OpenCount(FakeBootSystem::kVersionLibrary), 0);
    return Narrow(version.View());
  }

  FakeBootSystem::VersionResource& Resource() { return system.versionResources[kLauncher]; }

  FakeBootSystem system;
};

TEST_F(FileProductVersion, ReadsTheTranslationsStringTable) {
  Resource().translations = std::vector<std::uint16_t>{0x0409, 0x04B0};
  Resource().strings[u"\\StringFileInfo\\040904b0\\ProductVersion"] = u"2.2.0.35";
  EXPECT_EQ(Read(), "2.2.0.35");
  EXPECT_EQ(system.versionBlockSizes, (std::vector<std::uint32_t>{1024}));
}

TEST_F(FileProductVersion, LastTranslationWithAProductVersionWins) {
  Resource().translations =
      std::vector<std::uint16_t>{0x0409, 0x04B0, 0x0C0A, 0x04E4, 0x0407, 0x04B0};
  Resource().strings[u"\\StringFileInfo\\040904b0\\ProductVersion"] = u"2.2.0.30";
  Resource().strings[u"\\StringFileInfo\\0c0a04e4\\ProductVersion"] = u"2.2.0.40";
  EXPECT_EQ(Read(), "2.2.0.40") << "the third translation has no ProductVersion";
}

TEST_F(FileProductVersion, BlanksAreTrimmedButNotTabs) {
  Resource().translations = std::vector<std::uint16_t>{0x0409, 0x04B0};
  Resource().strings[u"\\StringFileInfo\\040904b0\\ProductVersion"] = u"  2.2.0.35 ";
  EXPECT_EQ(Read(), "2.2.0.35");
  Resource().strings[u"\\StringFileInfo\\040904b0\\ProductVersion"] = u"\t2.2 \t";
  EXPECT_EQ(Read(), "\t2.2 \t");
}

TEST_F(FileProductVersion, LongestTextFitsAndALongerOneCountsAsNone) {
  Resource().translations = std::vector<std::uint16_t>{0x0409, 0x04B0};
  Resource().strings[u"\\StringFileInfo\\040904b0\\ProductVersion"] = std::u16string(259, u'9');
  EXPECT_EQ(Read(), std::string(259, '9'));
  Resource().strings[u"\\StringFileInfo\\040904b0\\ProductVersion"] = std::u16string(260, u'9');
  EXPECT_EQ(Read(), "");
}

struct MissingCase {
  const char* name;
  void (*arrange)(FakeBootSystem::VersionResource&, FakeBootSystem&);
};

class NoUsableVersion : public FileProductVersion,
                        public ::testing::WithParamInterface<MissingCase> {};

TEST_P(NoUsableVersion, LeavesTheVersionEmpty) {
  Resource().translations = std::vector<std::uint16_t>{0x0409, 0x04B0};
  Resource().strings[u"\\StringFileInfo\\040904b0\\ProductVersion"] = u"2.2.0.35";
  GetParam().arrange(Resource(), system);
  EXPECT_EQ(Read(), "");
}

INSTANTIATE_TEST_SUITE_P(
    Table, NoUsableVersion,
    ::testing::Values(
        MissingCase{"NoResource", [](auto&, FakeBootSystem& s) { s.versionResources.clear(); }},
        MissingCase{"LargerThanTheBlock", [](auto& r, auto&) { r.size = 10001; }},
        MissingCase{"ReadFails", [](auto& r, auto&) { r.readFails = true; }},
        MissingCase{"LibraryMissing",
                    [](auto&, FakeBootSystem& s) { s.Fail("LoadVersionLibrary"); }},
        MissingCase{"NoTranslationTable", [](auto& r, auto&) { r.translations.reset(); }},
        MissingCase{"TableShorterThanAnEntry",
                    [](auto& r, auto&) { r.translations = std::vector<std::uint16_t>{0x0409}; }},
        MissingCase{"NoProductVersion", [](auto& r, auto&) { r.strings.clear(); }}),
    testing::CaseName());

TEST_F(FileProductVersion, BlockOfExactlyTenThousandBytesIsRead) {
  Resource().size = 10000;
  Resource().translations = std::vector<std::uint16_t>{0x0409, 0x04B0, 0x0407};
  Resource().strings[u"\\StringFileInfo\\040904b0\\ProductVersion"] = u"1.0";
  EXPECT_EQ(Read(), "1.0") << "a trailing half entry of the table is no entry";
}

}  // namespace
}  // namespace stackboot
