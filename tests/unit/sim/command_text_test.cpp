#include "command_text.h"

#include <gtest/gtest.h>

#include "command_splitter.h"

namespace vk605::sim {
namespace {

TEST(SimCommandTextTest, KeyDropsCrAndTrailingComma) {
  EXPECT_EQ(CommandKey("AT\r,"), "AT");
  EXPECT_EQ(CommandKey("00SN\r"), "00SN");
  EXPECT_EQ(CommandKey("\r"), "");
  EXPECT_EQ(CommandKey("PARTIAL"), "PARTIAL");
}

TEST(SimCommandTextTest, EscapesRoundTrip) {
  const std::string raw = std::string("AT\r,\n\t\\\x01\xFF", 9);
  EXPECT_EQ(EscapeText(raw), "AT\\r,\\n\\t\\\\\\x01\\xFF");
  EXPECT_EQ(UnescapeText(EscapeText(raw)), raw);
}

TEST(SimCommandTextTest, MalformedEscapesAreRefused) {
  EXPECT_EQ(UnescapeText("RM\\"), std::nullopt);
  EXPECT_EQ(UnescapeText("\\q"), std::nullopt);
  EXPECT_EQ(UnescapeText("\\x4"), std::nullopt);
  EXPECT_EQ(UnescapeText("\\xG0"), std::nullopt);
  EXPECT_EQ(UnescapeText("\\x41"), "A");
}

TEST(SimCommandTextTest, UserCommandNamesAcceptEscapedForms) {
  EXPECT_EQ(CommandNameFromUser("RM"), "RM");
  EXPECT_EQ(CommandNameFromUser("RM\\r"), "RM");
  EXPECT_EQ(CommandNameFromUser("AT\\r,"), "AT");
  EXPECT_EQ(CommandNameFromUser("\\r"), "");
  EXPECT_EQ(CommandNameFromUser(""), "");
}

using Kind = CommandSplitter::Event::Kind;

TEST(SimCommandSplitterTest, SplitsAtCrAndKeepsTheCommaOfTheCommandBefore) {
  CommandSplitter splitter;
  const auto events = splitter.Feed("AT\r,\r,,X\r");
  ASSERT_EQ(events.size(), 5u);
  EXPECT_EQ(events[0].kind, Kind::kCommand);
  EXPECT_EQ(events[0].text, "AT\r");
  EXPECT_EQ(events[1].kind, Kind::kTrailingComma);
  EXPECT_EQ(events[2].text, "\r");
  EXPECT_EQ(events[3].kind, Kind::kTrailingComma);
  // Only one comma belongs to the CR; the second one starts the next command.
  EXPECT_EQ(events[4].kind, Kind::kCommand);
  EXPECT_EQ(events[4].text, ",X\r");
}

TEST(SimCommandSplitterTest, CommaInALaterPieceStillFollowsTheCr) {
  CommandSplitter splitter;
  EXPECT_EQ(splitter.Feed("AT\r").size(), 1u);
  const auto events = splitter.Feed(",");
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].kind, Kind::kTrailingComma);
  EXPECT_TRUE(splitter.Feed("RM").empty());
  splitter.Reset();
  const auto after_reset = splitter.Feed("SV\r");
  ASSERT_EQ(after_reset.size(), 1u);
  EXPECT_EQ(after_reset[0].text, "SV\r");
}

}  // namespace
}  // namespace vk605::sim
