#include "engine/protocol_replies.h"

#include <gtest/gtest.h>

#include <string>

namespace vk605 {
namespace {

std::string ThreeLineReply(const std::string& first_value) {
  // 31 values with three characters before each decimal point, over three lines.
  std::string reply = "SPC " + first_value;
  const char* rest[] = {" 12.63", " 14.00", " 20.50", " 30.25", " 40.00", " 50.00", " 55.55", " 60.00",
                        " 61.10", " 62.20", " 63.30", " 64.40", " 65.50", " 66.60", " 67.70", " 68.80",
                        " 69.90", " 70.00", " 71.00", " 72.00", " 73.00", " 74.00", " 75.00", " 76.00",
                        " 77.00", " 78.00", " 79.00", " 80.00", " 81.00", " 99.99"};
  for (int i = 0; i < 30; ++i) {
    reply += rest[i];
    if (i == 9 || i == 19) reply += "\r\n";
  }
  return reply + "\r\n";
}

double Percent(float value) {
  return static_cast<double>(value) * 0.01;
}

TEST(SpectralReply, ValuesScalePadAndClamp) {
  double values[40] = {};
  ASSERT_TRUE(ParseSpectralReply(ThreeLineReply("  9.08"), values));
  EXPECT_DOUBLE_EQ(values[4], Percent(9.08f));
  EXPECT_DOUBLE_EQ(values[5], Percent(12.63f));
  for (int i = 0; i < 4; ++i) EXPECT_DOUBLE_EQ(values[i], values[4]) << i;
  EXPECT_DOUBLE_EQ(values[34], Percent(99.99f));
  for (int i = 35; i < 40; ++i) EXPECT_DOUBLE_EQ(values[i], values[34]) << i;
}

TEST(SpectralReply, ZeroAndNegativeValuesClampToOneHundredThousandth) {
  double values[40] = {};
  ASSERT_TRUE(ParseSpectralReply(ThreeLineReply("  0.00"), values));
  EXPECT_DOUBLE_EQ(values[4], 0.00001);
  EXPECT_DOUBLE_EQ(values[0], 0.00001);
  ASSERT_TRUE(ParseSpectralReply(ThreeLineReply(" -3.50"), values));
  EXPECT_DOUBLE_EQ(values[4], 0.00001);
}

// Found by fuzzing: a negative 400 nm value must not let 360-390 nm copy a later wavelength's value.
TEST(SpectralReply, NegativeFirstValuePadsWithTheClampedFirstValue) {
  double values[40] = {};
  ASSERT_TRUE(ParseSpectralReply(ThreeLineReply(" -0.05"), values));
  EXPECT_DOUBLE_EQ(values[4], 0.00001);
  EXPECT_DOUBLE_EQ(values[5], Percent(12.63f));
  for (int i = 0; i < 4; ++i) EXPECT_DOUBLE_EQ(values[i], 0.00001) << i;
}

TEST(SpectralReply, ThreeDigitsBeforeThePointReadAsOne) {
  double values[40] = {};
  ASSERT_TRUE(ParseSpectralReply(ThreeLineReply("100.00"), values));
  EXPECT_DOUBLE_EQ(values[4], 1.0);
}

// A reply that does not hold 31 values must not be read past its end nor reported as a spectrum.
TEST(SpectralReply, ShortOrUnreadableRepliesLeaveValuesUntouched) {
  double values[40];
  for (double& v : values) v = -7.0;
  EXPECT_FALSE(ParseSpectralReply(" 12.34 56.78\r\n", values));
  EXPECT_FALSE(ParseSpectralReply("", values));
  std::string garbage = ThreeLineReply("  9.08");
  garbage.replace(garbage.find("40.00") - 1, 6, "abc.de");
  EXPECT_FALSE(ParseSpectralReply(garbage, values));
  for (double v : values) EXPECT_EQ(v, -7.0);
}

// A decimal point in the reply's second character has only one character before it: the field starts
// at the reply's first character instead of before it.
TEST(SpectralReply, FieldAtTheVeryStartOfTheReply) {
  std::string reply = "1.50" + ThreeLineReply("  9.08").substr(4);
  double values[40] = {};
  ASSERT_TRUE(ParseSpectralReply(reply, values));
  EXPECT_DOUBLE_EQ(values[4], Percent(1.5f));
  EXPECT_DOUBLE_EQ(values[5], Percent(9.08f));
}

struct LineCase {
  const char* reply;
  const char* first_line;
};
class FirstLine : public ::testing::TestWithParam<LineCase> {};
TEST_P(FirstLine, SkipsLeadingLineEnds) {
  EXPECT_EQ(FirstReplyLine(GetParam().reply), GetParam().first_line);
}
INSTANTIATE_TEST_SUITE_P(Replies, FirstLine,
                         ::testing::Values(LineCase{"V1.07\r\n<00>\r\n", "V1.07"},
                                           LineCase{"\r\n\r\nV2\r\n", "V2"}, LineCase{"\r\n\r\n", ""},
                                           LineCase{"", ""}, LineCase{"\nV3\rrest", "V3"}));

TEST(SerialNumberLine, KeepsLeadingLineEndsAndCutsAfterTheFirstText) {
  EXPECT_EQ(SerialNumberLine("12345\r\n<00>\r\n").value(), "12345");
  EXPECT_EQ(SerialNumberLine("\r\n12345\r\n").value(), "\r\n12345");
  EXPECT_FALSE(SerialNumberLine("\r\n\r\n").has_value());
  EXPECT_FALSE(SerialNumberLine("").has_value());
}

TEST(ReplyChecks, CalibrationStateAndAcceptance) {
  EXPECT_TRUE(ReportsCalibrated("00\r\n"));
  EXPECT_TRUE(ReportsCalibrated("0012"));
  EXPECT_FALSE(ReportsCalibrated("01\r\n"));
  EXPECT_FALSE(ReportsCalibrated("0"));
  EXPECT_FALSE(ReportsCalibrated(""));
  EXPECT_TRUE(IsAccepted("<00>\r\n"));
  EXPECT_FALSE(IsAccepted("<01>\r\n"));
  EXPECT_FALSE(IsAccepted("<00"));
}

// Only a complete two-line reply of printable text identifies an instrument; what a silent port, a cut
// reply or a noisy line leaves in the buffer does not.
TEST(ReplyChecks, IdentificationNeedsTwoCompletePrintableLines) {
  EXPECT_TRUE(IdentifiesInstrument("12345\r\n<00>\r\n"));
  EXPECT_TRUE(IdentifiesInstrument("\r\nA1\r\n"));
  EXPECT_TRUE(IdentifiesInstrument("SN 0042\r\n\r\n"));
  EXPECT_FALSE(IdentifiesInstrument(""));
  EXPECT_FALSE(IdentifiesInstrument("12345\r\n"));
  EXPECT_FALSE(IdentifiesInstrument("12345\r\n<00"));
  EXPECT_FALSE(IdentifiesInstrument("12345\r\n<00>\r\nx\r\n"));
  EXPECT_FALSE(IdentifiesInstrument("\r\n\r\n"));
  EXPECT_FALSE(IdentifiesInstrument("   \r\n \r\n"));
  EXPECT_FALSE(
      IdentifiesInstrument("12\x01"
                           "45\r\n<00>\r\n"));
  EXPECT_FALSE(IdentifiesInstrument("12345\r\n<00>\xff\r\n"));
  EXPECT_FALSE(IdentifiesInstrument("12\r45\r\n<00>\r\n"));
  EXPECT_FALSE(IdentifiesInstrument("12345\n\r\n<00>\r\n"));
}

}  // namespace
}  // namespace vk605
