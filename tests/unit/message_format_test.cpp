#include "message_format.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "case_name.h"
#include "fake_boot_system.h"

namespace stackboot {
namespace {

using testing::Narrow;

struct FormatCase {
  const char* name;
  std::u16string format;
  std::vector<FormatArg> args;
  std::size_t capacity;
  std::string expected;
};

class MessageFormat : public ::testing::TestWithParam<FormatCase> {};

TEST_P(MessageFormat, FormatsAsExpected) {
  const FormatCase& c = GetParam();
  std::u16string out(c.capacity + 1, u'@');
  const std::size_t length = FormatMessageText(out.data(), c.capacity, c.format, c.args);
  EXPECT_EQ(Narrow(out.c_str()), c.expected);
  EXPECT_EQ(length, c.expected.size());
  EXPECT_EQ(out[c.capacity], u'@') << "wrote past the capacity";
}

const FormatArg kPath = MakeFormatArg(u"C:\\x");

INSTANTIATE_TEST_SUITE_P(
    Cases, MessageFormat,
    ::testing::Values(
        FormatCase{"Plain", u"This OS is not supported.", {}, 64, "This OS is not supported."},
        FormatCase{"Text", u"Log file (%s)", {kPath}, 64, "Log file (C:\\x)"},
        FormatCase{"Integer",
                   u"CreateProcess failed (%d)\n",
                   {MakeFormatArg(2)},
                   64,
                   "CreateProcess failed (2)\n"},
        FormatCase{"Negative", u"%d", {MakeFormatArg(-1605)}, 64, "-1605"},
        FormatCase{"MostNegative", u"%d", {MakeFormatArg(INT32_MIN)}, 64, "-2147483648"},
        FormatCase{"Zero", u"[%d]", {MakeFormatArg(0)}, 64, "[0]"},
        FormatCase{"Both", u"%s=%d", {kPath, MakeFormatArg(7)}, 64, "C:\\x=7"},
        FormatCase{"Percent", u"100%% %s", {kPath}, 64, "100% C:\\x"},
        FormatCase{"UnknownKept", u"%x %", {}, 64, "%x %"},
        FormatCase{"MissingArgument", u"a%sb%dc", {kPath}, 64, "aC:\\xbc"},
        FormatCase{"WrongKind", u"a%db", {kPath}, 64, "ab"},
        FormatCase{
            "NullText", u"a%sb", {MakeFormatArg(static_cast<const char16_t*>(nullptr))}, 64, "ab"},
        FormatCase{"CutAtCapacity", u"abcdef%s", {kPath}, 8, "abcdefC"},
        FormatCase{"CutInsideInteger", u"ab%d", {MakeFormatArg(12345)}, 5, "ab12"},
        FormatCase{"CapacityOne", u"abc", {}, 1, ""}),
    testing::CaseName());

}  // namespace
}  // namespace stackboot
