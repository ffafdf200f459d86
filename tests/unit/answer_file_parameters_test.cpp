#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "case_name.h"
#include "fake_boot_system.h"
#include "setup_parameters.h"

namespace stackboot {
namespace {

using testing::FakeBootSystem;
using testing::Narrow;
using Section = FakeBootSystem::Section;

constexpr char16_t kAnswerFile[] = u"C:\\answers.ini";

class AnswerFileTest : public ::testing::Test {
 protected:
  std::u16string Build() {
    RunContext run{system, log};
    std::u16string buffer(kParameterCapacity, u'#');
    BuildParamsFromIni(run, kAnswerFile, buffer.data());
    const std::size_t end = buffer.find(u'\0');
    EXPECT_NE(end, std::u16string::npos) << "the text is terminated inside the buffer";
    return buffer.substr(0, end);
  }

  FakeBootSystem system;
  DiagnosticLog log{system};
};

TEST_F(AnswerFileTest, WorkedExample) {
  system.profile[u"CommonInfo"] = {
      {u"SilenceInstall", u"1"}, {u"LANG", u"1031"}, {u"LOG", u"C:\\Temp\\stack.log"}};
  system.profile[u"MSParam"] = {{u"INSTALLDIR", u"C:\\Program Files\\Radio Stack"},
                                {u"REINSTALL", u"ALL"},
                                {u"REBOOT", u"ReallySuppress"},
                                {u"vtrlaunchdir", u"D:\\Media"},
                                {u"COMMENT", u""}};
  EXPECT_EQ(Narrow(Build()),
            "/s /v\"/qn /l* \\\"C:\\Temp\\stack.log\\\" "
            "INSTALLDIR=\\\"C:\\Program Files\\Radio Stack \\\" REBOOT=ReallySuppress "
            "vtrlaunchdir=\\\"D:\\Media \\\" \"  /l1031");
  for (const auto& file : system.profileFiles) EXPECT_EQ(file, kAnswerFile);
  EXPECT_TRUE(system.debugLines.empty()) << "the builder logs nothing of its own";
}

TEST_F(AnswerFileTest, RelativeAnswerFileIsReadWhereItWasFound) {
  // Given a bare name, the profile reader would look in the Windows folder instead.
  system.fullPaths[u"answers.ini"] = u"D:\\Setup\\answers.ini";
  system.profile[u"CommonInfo"] = {{u"SilenceInstall", u"1"}};
  RunContext run{system, log};
  std::u16string buffer(kParameterCapacity, u'#');
  BuildParamsFromIni(run, u"answers.ini", buffer.data());
  EXPECT_EQ(Narrow(buffer.substr(0, buffer.find(u'\0'))), "/s /v\"/qn \"  /l1033");
  ASSERT_FALSE(system.profileFiles.empty());
  for (const auto& file : system.profileFiles) EXPECT_EQ(file, u"D:\\Setup\\answers.ini");
}

TEST_F(AnswerFileTest, AnswerFileWithoutAFullPathReadsAsAllDefaults) {
  system.Fail("GetFullPath");
  system.profile[u"CommonInfo"] = {{u"SilenceInstall", u"1"}, {u"LANG", u""}};
  EXPECT_EQ(Narrow(Build()), "/v\"\"  /l1033");
  EXPECT_TRUE(system.profileFiles.empty()) << "nothing is read by a path that is not whole";
}

TEST_F(AnswerFileTest, FileWithNeitherSectionGivesTheDefaults) {
  EXPECT_EQ(Narrow(Build()), "/v\"\"  /l1033");
}

struct CommonInfoCase {
  const char* name;
  Section commonInfo;
  std::string expected;
};

class CommonInfo : public AnswerFileTest, public ::testing::WithParamInterface<CommonInfoCase> {};

TEST_P(CommonInfo, SelectsModeLogAndLanguage) {
  system.profile[u"CommonInfo"] = GetParam().commonInfo;
  EXPECT_EQ(Narrow(Build()), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, CommonInfo,
    ::testing::Values(
        CommonInfoCase{"SilentOne", {{u"SilenceInstall", u"1"}}, "/s /v\"/qn \"  /l1033"},
        CommonInfoCase{"LeadingZero", {{u"SilenceInstall", u"01"}}, "/v\"\"  /l1033"},
        CommonInfoCase{"Two", {{u"SilenceInstall", u"2"}}, "/v\"\"  /l1033"},
        CommonInfoCase{"Yes", {{u"SilenceInstall", u"yes"}}, "/v\"\"  /l1033"},
        CommonInfoCase{"OneAndMore", {{u"SilenceInstall", u"11"}}, "/v\"\"  /l1033"},
        CommonInfoCase{"EmptySilence", {{u"SilenceInstall", u""}}, "/v\"\"  /l1033"},
        CommonInfoCase{"EmptyLanguage", {{u"LANG", u""}}, "/v\"\" "},
        CommonInfoCase{"NineCharacterLanguage", {{u"LANG", u"123456789"}}, "/v\"\"  /l123456789"},
        CommonInfoCase{
            "TenCharacterLanguageGivesTheDefault", {{u"LANG", u"1234567890"}}, "/v\"\"  /l1033"},
        CommonInfoCase{"EmptyLog", {{u"LOG", u""}}, "/v\"\"  /l1033"},
        CommonInfoCase{"Log",
                       {{u"LOG", u"C:\\l.log"}, {u"LANG", u"1041"}},
                       "/v\"/l* \\\"C:\\l.log\\\" \"  /l1041"},
        CommonInfoCase{"SilentWithLog",
                       {{u"SilenceInstall", u"1"}, {u"LOG", u"x"}},
                       "/s /v\"/qn /l* \\\"x\\\" \"  /l1033"}),
    testing::CaseName());

struct PropertyCase {
  const char* name;
  Section msParam;
  std::string properties;  // what stands between the prefix and the closing
};

class Properties : public AnswerFileTest, public ::testing::WithParamInterface<PropertyCase> {};

TEST_P(Properties, AreWrittenByTheirRules) {
  system.profile[u"MSParam"] = GetParam().msParam;
  EXPECT_EQ(Narrow(Build()), "/v\"" + GetParam().properties + "\"  /l1033");
}

INSTANTIATE_TEST_SUITE_P(
    Table, Properties,
    ::testing::Values(
        PropertyCase{"SectionWithoutKeys", {}, ""},
        PropertyCase{"Plain", {{u"REBOOT", u"ReallySuppress"}}, "REBOOT=ReallySuppress "},
        PropertyCase{"EmptyValueIsLeftOut", {{u"A", u""}, {u"B", u"1"}}, "B=1 "},
        PropertyCase{"EmptyInstallDirIsLeftOut", {{u"installdir", u""}}, ""},
        PropertyCase{"EmptyLaunchDirIsLeftOut", {{u"VTRLAUNCHDIR", u""}}, ""},
        PropertyCase{
            "InstallDirKeepsItsCase", {{u"InstallDir", u"C:\\X"}}, "InstallDir=\\\"C:\\X \\\" "},
        PropertyCase{"TrailingBackslashNeverTouchesTheQuote",
                     {{u"INSTALLDIR", u"C:\\X\\"}},
                     "INSTALLDIR=\\\"C:\\X\\ \\\" "},
        PropertyCase{
            "LaunchDirQuoted", {{u"VtrLaunchDir", u"D:\\"}}, "VtrLaunchDir=\\\"D:\\ \\\" "},
        PropertyCase{"ReinstallAllLower", {{u"reinstall", u"all"}}, ""},
        PropertyCase{"ReinstallAllMixed", {{u"Reinstall", u"All"}}, ""},
        PropertyCase{"ReinstallOther", {{u"REINSTALL", u"ALLX"}}, "REINSTALL=ALLX "},
        PropertyCase{"ReinstallFeature", {{u"REINSTALL", u"Core"}}, "REINSTALL=Core "},
        PropertyCase{"QuotesAndPercentAsRead", {{u"P", u"a\"b\\c%s"}}, "P=a\"b\\c%s "},
        PropertyCase{"FileOrder", {{u"Z", u"1"}, {u"A", u"2"}, {u"M", u"3"}}, "Z=1 A=2 M=3 "},
        PropertyCase{
            "NonAsciiLettersAreNotFolded", {{u"\u00cdNSTALLDIR", u"x"}}, "\xcdNSTALLDIR=x "}),
    testing::CaseName());

TEST_F(AnswerFileTest, KeyNamesAreCutAt259AndLookedUpUnderTheCutName) {
  const std::u16string longName(300, u'K');
  const std::u16string cutName(259, u'K');
  system.profile[u"MSParam"] = {{longName, u"lost"}, {cutName, u"found"}, {u"B", u"2"}};
  EXPECT_EQ(Build(), u"/v\"" + cutName + u"=found " + cutName + u"=found B=2 \"  /l1033");
  EXPECT_EQ(system.profileLookups.at(3), u"MSParam/" + cutName);
}

TEST_F(AnswerFileTest, FullKeyListEndsWithTheNamesThatFit) {
  // The reader fills the 1,024-unit list with names of three letters (four units each): 255 whole
  // ones, the 256th cut to two letters, and the closing terminators; later names are not seen.
  std::u16string list;
  Section keys;
  for (int i = 0; i < 255; ++i) {
    const std::u16string name = testing::Widen(
        std::string{static_cast<char>('a' + i / 26 % 26), static_cast<char>('a' + i % 26), 'z'});
    keys.emplace_back(name, u"");
    list += name + u'\0';
  }
  list += u"jv";
  list += u'\0';
  list += u'\0';
  ASSERT_EQ(list.size(), 1024u);
  keys[0].second = u"first";
  keys.emplace_back(u"jv", u"cut");
  system.profile[u"MSParam"] = keys;
  system.keyLists[u"MSParam"] = list;
  EXPECT_EQ(Narrow(Build()), "/v\"aaz=first jv=cut \"  /l1033");
  std::vector<std::u16string> msParamLookups;
  for (const auto& lookup : system.profileLookups) {
    if (lookup.starts_with(u"MSParam/")) msParamLookups.push_back(lookup.substr(8));
  }
  ASSERT_EQ(msParamLookups.size(), 256u);
  EXPECT_EQ(msParamLookups[254], u"juz");
  EXPECT_EQ(msParamLookups[255], u"jv") << "the cut name is looked up as it stands";
}

TEST_F(AnswerFileTest, PropertiesThatDoNotFitAreLeftOutWholeAndTheTextStillCloses) {
  system.profile[u"CommonInfo"] = {
      {u"SilenceInstall", u"1"}, {u"LANG", u"123456789"}, {u"LOG", std::u16string(259, u'L')}};
  Section keys;
  for (char16_t c = u'A'; c <= u'H'; ++c) {
    keys.emplace_back(std::u16string(1, c) + u"_PROPERTY", std::u16string(259, c));
  }
  keys.emplace_back(u"SHORT", u"1");
  system.profile[u"MSParam"] = keys;
  const std::u16string text = Build();
  EXPECT_TRUE(text.ends_with(u"\"  /l123456789")) << Narrow(text.substr(text.size() - 30));
  // Prefix 10, log option 268, each property 271: three fit into 1,300 with room kept for the
  // closing and the longest language switch (14).
  EXPECT_NE(text.find(u"C_PROPERTY="), std::u16string::npos);
  EXPECT_EQ(text.find(u"D_PROPERTY"), std::u16string::npos) << "no half property";
  EXPECT_EQ(text.find(u"SHORT"), std::u16string::npos) << "nothing after the first left out";
  EXPECT_EQ(text.size(), 10u + 268u + 3 * 271u + 14u) << Narrow(text);
}

TEST_F(AnswerFileTest, LongestPossibleTextStaysInsideTheBuffer) {
  // Every value as long as the reader delivers it.
  system.profile[u"CommonInfo"] = {
      {u"SilenceInstall", u"1"}, {u"LANG", u"123456789"}, {u"LOG", std::u16string(259, u'L')}};
  Section keys;
  for (int i = 0; i < 3; ++i) {
    keys.emplace_back(std::u16string(259, static_cast<char16_t>(u'a' + i)),
                      std::u16string(259, u'v'));
  }
  for (int i = 0; i < 60; ++i) keys.emplace_back(testing::Widen("P" + std::to_string(i)), u"1");
  system.profile[u"MSParam"] = keys;
  const std::u16string text = Build();
  EXPECT_LE(text.size(), 1300u);
  EXPECT_TRUE(text.ends_with(u"\"  /l123456789"));
}

}  // namespace
}  // namespace stackboot
