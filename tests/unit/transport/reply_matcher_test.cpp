#include "transport/reply_matcher.h"

#include <ostream>
#include <string>

#include <gtest/gtest.h>

namespace vk605 {
namespace {

struct MatcherCase {
  const char* name;
  const char* terminator;
  const char* counted_text;
  std::uint32_t required_count;
  std::uint32_t expected_length;
  std::string data;
  bool complete;
};

void PrintTo(const MatcherCase& c, std::ostream* out) {
  *out << c.name;
}

class ReplyMatcherTableTest : public ::testing::TestWithParam<MatcherCase> {};

TEST_P(ReplyMatcherTableTest, IsComplete) {
  const MatcherCase& c = GetParam();
  ReplyMatcher matcher;
  matcher.SetTerminator(c.terminator);
  matcher.SetCountedText(c.counted_text);
  matcher.SetRequiredCount(c.required_count);
  matcher.SetExpectedLength(c.expected_length);
  EXPECT_EQ(matcher.IsComplete(c.data.data(), c.data.size()), c.complete);
}

const MatcherCase kCases[] = {
    {"NoCriteriaEmptyData", "", "", 0, 0, "", true},
    {"NoCriteriaAnyData", "", "\r\n", 0, 0, "partial", true},
    {"TwoLinesCountTwo", "\r\n", "\r\n", 2, 0, "00\r\n>\r\n", true},
    {"TwoLinesCountOne", "\r\n", "\r\n", 1, 0, "00\r\n>\r\n", false},
    {"OneLineCountTwo", "\r\n", "\r\n", 2, 0, "00\r\n", false},
    {"ThreeLinesCountTwo", "\r\n", "\r\n", 2, 0, "a\r\nb\r\nc\r\n", false},
    {"CountMetTerminatorMissing", "\r\n", "\r\n", 2, 0, "a\r\nb\r\nc", false},
    {"CountAloneIgnoresEnd", "", "\r\n", 1, 0, "a\r\nb", true},
    {"MatchesDoNotOverlapOne", "", "aa", 1, 0, "aaa", true},
    {"MatchesDoNotOverlapTwo", "", "aa", 2, 0, "aaa", false},
    {"MatchesAdjacentTwo", "", "aa", 2, 0, "aaaa", true},
    {"EmptyCountedTextNeverCounts", "", "", 1, 0, "a\r\n", false},
    {"LengthExact", "", "", 0, 4, "abcd", true},
    {"LengthShort", "", "", 0, 4, "abc", false},
    {"LengthLong", "", "", 0, 4, "abcde", false},
    {"TerminatorOnly", ">", "", 0, 0, "abc>", true},
    {"TerminatorNotAtEnd", ">", "", 0, 0, "abc>d", false},
    {"TerminatorIsWholeData", "\r\n", "", 0, 0, "\r\n", true},
    {"TerminatorLongerThanData", "\r\n>", "", 0, 0, ">", false},
    {"TerminatorOnEmptyData", ">", "", 0, 0, "", false},
    {"AllThreePass", ">", "\r\n", 1, 5, "ab\r\n>", true},
    {"AllThreeLengthFails", ">", "\r\n", 1, 6, "ab\r\n>", false},
    {"NulInsideDataCounted", "\r\n", "\r\n", 2, 0, std::string("a\0\r\nb\r\n", 7), true},
};

INSTANTIATE_TEST_SUITE_P(Cases, ReplyMatcherTableTest, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<MatcherCase>& param_info) {
                           return param_info.param.name;
                         });

TEST(ReplyMatcherTest, TerminatorLongerThanDataDoesNotLookBeforeTheData) {
  ReplyMatcher matcher;
  matcher.SetTerminator("\r\n>");
  const char buffer[] = "\r\n>";
  // The bytes in front of the data would complete the terminator if the test read them.
  EXPECT_FALSE(matcher.IsComplete(buffer + 2, 1));
}

TEST(ReplyMatcherTest, StartsWithTimeout1000AndNoCriteria) {
  ReplyMatcher matcher;
  EXPECT_EQ(matcher.GetTimeout(), 1000u);
  EXPECT_EQ(matcher.GetExpectedLength(), 0u);
  EXPECT_EQ(matcher.GetRequiredCount(), 0u);
  EXPECT_STREQ(matcher.GetTerminator(), "");
  EXPECT_TRUE(matcher.IsComplete("", 0));
}

TEST(ReplyMatcherTest, SettersStoreTheirValues) {
  ReplyMatcher matcher;
  matcher.SetTimeout(25000);
  matcher.SetExpectedLength(7);
  matcher.SetRequiredCount(3);
  matcher.SetTerminator("\r\n");
  EXPECT_EQ(matcher.GetTimeout(), 25000u);
  EXPECT_EQ(matcher.GetExpectedLength(), 7u);
  EXPECT_EQ(matcher.GetRequiredCount(), 3u);
  EXPECT_STREQ(matcher.GetTerminator(), "\r\n");
}

TEST(ReplyMatcherTest, TextsAreCutTo19Characters) {
  ReplyMatcher matcher;
  const std::string long_text = "0123456789ABCDEFGHIJKLMNOP";
  matcher.SetTerminator(long_text.c_str());
  EXPECT_EQ(std::string(matcher.GetTerminator()), long_text.substr(0, 19));

  matcher.SetTerminator("");
  matcher.SetCountedText(long_text.c_str());
  matcher.SetRequiredCount(1);
  // Only the first 19 characters are counted, so the full text is no longer needed for a match.
  EXPECT_TRUE(matcher.IsComplete("0123456789ABCDEFGHI", 19));
}

TEST(ReplyMatcherTest, EmptyOrNullTerminatorClearsTheCriterion) {
  ReplyMatcher matcher;
  matcher.SetTerminator(">");
  EXPECT_FALSE(matcher.IsComplete("abc", 3));
  matcher.SetTerminator("");
  EXPECT_TRUE(matcher.IsComplete("abc", 3));
  matcher.SetTerminator(">");
  matcher.SetTerminator(nullptr);
  EXPECT_STREQ(matcher.GetTerminator(), "");
  EXPECT_TRUE(matcher.IsComplete("abc", 3));
}

}  // namespace
}  // namespace vk605
