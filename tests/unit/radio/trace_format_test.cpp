#include "trace_format.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fake_radio_system.h"
#include "radio_lines.h"

namespace radiogate {
namespace {

using testing::CaseName;
using testing::FakeRadioSystem;
using testing::Narrow;

struct FormatCase {
  const char* name;
  std::u16string format;
  std::vector<TraceArg> args;
  std::size_t capacity;
  std::string expected;
};

class TraceFormatText : public ::testing::TestWithParam<FormatCase> {};

TEST_P(TraceFormatText, FormatsAsExpected) {
  const FormatCase& c = GetParam();
  std::u16string out(c.capacity + 1, u'@');
  const std::size_t length = FormatTraceText(out.data(), c.capacity, c.format, c.args);
  EXPECT_EQ(Narrow(out.substr(0, out.find(u'\0'))), c.expected);
  EXPECT_EQ(length, c.expected.size());
  EXPECT_EQ(out[c.capacity], u'@') << "wrote past the capacity";
}

const TraceArg kPath = MakeTraceArg(u"\\\\?\\root#bus");

INSTANTIATE_TEST_SUITE_P(
    Cases, TraceFormatText,
    ::testing::Values(
        FormatCase{"Plain",
                   u"Failed to query the radio status\n",
                   {},
                   64,
                   "Failed to query the radio status\n"},
        FormatCase{"Integer", u"code: %d\n", {MakeTraceArg(259)}, 64, "code: 259\n"},
        FormatCase{"Negative", u"%d", {MakeTraceArg(-1)}, 64, "-1"},
        FormatCase{"MostNegative", u"%d", {MakeTraceArg(INT32_MIN)}, 64, "-2147483648"},
        FormatCase{"MostPositive", u"%d", {MakeTraceArg(INT32_MAX)}, 64, "2147483647"},
        FormatCase{"Text", u"is: %s\n", {kPath}, 64, "is: \\\\?\\root#bus\n"},
        FormatCase{"TextThenInteger",
                   u"%s with %d",
                   {kPath, MakeTraceArg(5)},
                   64,
                   "\\\\?\\root#bus with 5"},
        FormatCase{"Percent", u"100%%", {}, 64, "100%"},
        FormatCase{"UnknownKept", u"%x %", {}, 64, "%x %"},
        FormatCase{"MissingArgument", u"a%sb%dc", {kPath}, 64, "a\\\\?\\root#busbc"},
        FormatCase{"WrongKind", u"a%db", {kPath}, 64, "ab"},
        FormatCase{"NullText",
                   u"is %s!",
                   {MakeTraceArg(static_cast<const char16_t*>(nullptr))},
                   64,
                   "is !"},
        FormatCase{"CutInsideText", u"ab%s", {kPath}, 5, "ab\\\\"},
        FormatCase{"CutInsideInteger", u"ab%d", {MakeTraceArg(12345)}, 5, "ab12"},
        FormatCase{"CapacityOne", u"abc", {}, 1, ""}),
    CaseName());

// A line longer than the stack buffer is cut to its 1,023 characters and still terminated.
TEST(TraceFormat, CutsALongLineAtTheBuffer) {
  FakeRadioSystem system;
  const std::u16string longText(3000, u'x');
  TraceFormat(system, u"path %s\n", longText.c_str());
  ASSERT_EQ(system.debugLines.size(), 1u);
  EXPECT_EQ(system.debugLines[0], u"path " + std::u16string(kTraceCapacity - 1 - 5, u'x'));
}

TEST(TraceFormat, SendsOneFormattedLine) {
  FakeRadioSystem system;
  TraceFormat(system, u"The status of uStatus is %d!\n", std::int32_t{255});
  EXPECT_EQ(system.DebugMessages(), testing::Lines{"The status of uStatus is 255!\n"});
}

}  // namespace
}  // namespace radiogate
