#include "bounded_text.h"

#include <gtest/gtest.h>

namespace stackboot {
namespace {

TEST(BoundedText, AppendCutsAtCapacityAndStaysTerminated) {
  BoundedText<6> text;
  EXPECT_TRUE(text.Append(u"abc"));
  EXPECT_FALSE(text.Append(u"defg"));
  EXPECT_EQ(text.View(), u"abcde");
  EXPECT_EQ(text.CStr()[5], u'\0');
  EXPECT_FALSE(text.Append(u"x"));
  EXPECT_EQ(text.View(), u"abcde");
}

TEST(BoundedText, AppendWholeLeavesOutAPieceThatDoesNotFit) {
  BoundedText<6> text;
  EXPECT_TRUE(text.AppendWhole(u"abc"));
  EXPECT_FALSE(text.AppendWhole(u"defg"));
  EXPECT_EQ(text.View(), u"abc");
  EXPECT_TRUE(text.AppendWhole(u"de"));
  EXPECT_EQ(text.View(), u"abcde");
}

TEST(BoundedText, SyncAfterExternalWriteTerminatesAnUnterminatedBuffer) {
  BoundedText<4> text;
  for (std::size_t i = 0; i < 4; ++i) text.Data()[i] = u'z';
  text.SyncAfterExternalWrite();
  EXPECT_EQ(text.View(), u"zzz");
}

}  // namespace
}  // namespace stackboot
