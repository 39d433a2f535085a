#include "api/settings_exchange.h"

#include <gtest/gtest.h>

#include "fakes/fake_private_profile.h"

namespace vk605 {
namespace {

struct TextCase {
  std::string text;
  int value;
};

class ParityMapping : public ::testing::TestWithParam<TextCase> {};
TEST_P(ParityMapping, ReadsLetter) {
  EXPECT_EQ(ParityFromText(GetParam().text), GetParam().value);
}
INSTANTIATE_TEST_SUITE_P(Letters, ParityMapping,
                         ::testing::Values(TextCase{"E", 2}, TextCase{"e", 2}, TextCase{"O", 1},
                                           TextCase{"o", 1}, TextCase{"N", 0}, TextCase{"X", 0},
                                           TextCase{"", 0}, TextCase{"EE", 0}));

class ByteSizeMapping : public ::testing::TestWithParam<TextCase> {};
TEST_P(ByteSizeMapping, ReadsDigit) {
  EXPECT_EQ(ByteSizeFromText(GetParam().text), GetParam().value);
}
INSTANTIATE_TEST_SUITE_P(Digits, ByteSizeMapping,
                         ::testing::Values(TextCase{"8", 8}, TextCase{"7", 7}, TextCase{"6", 6},
                                           TextCase{"5", 5}, TextCase{"4", 4}, TextCase{"9", 8},
                                           TextCase{"3", 8}, TextCase{"78", 8}));

class StopBitsMapping : public ::testing::TestWithParam<TextCase> {};
TEST_P(StopBitsMapping, ReadsText) {
  EXPECT_EQ(StopBitsFromText(GetParam().text), GetParam().value);
}
INSTANTIATE_TEST_SUITE_P(Texts, StopBitsMapping,
                         ::testing::Values(TextCase{"1", 0}, TextCase{"2", 2}, TextCase{"1.5", 1},
                                           TextCase{"3", 0}, TextCase{"1.50", 0}));

TEST(SettingsTexts, FallbackTextsForValuesOutsideTheirRange) {
  EXPECT_EQ(ParityText(2), "E");
  EXPECT_EQ(ParityText(1), "O");
  EXPECT_EQ(ParityText(5), "N");
  EXPECT_EQ(ByteSizeText(6), "6");
  EXPECT_EQ(ByteSizeText(9), "8");
  EXPECT_EQ(ByteSizeText(3), "8");
  EXPECT_EQ(StopBitsText(1), "1.5");
  EXPECT_EQ(StopBitsText(3), "1");
}

TEST(PortSettingsExchange, LoadKeepsReadTextAndWritesItBack) {
  testing::FakePrivateProfile profile;
  CurrentSettingsFile current;
  current.Set("/dir/VK605.INI");
  profile.WriteString("MAIN", "PARITY", "X", "/dir/VK605.INI");
  profile.WriteString("MAIN", "BAUDRATE", "70000", "/dir/VK605.INI");
  SettingsBlock settings;
  ApplyDefaults(settings);
  IniDocument document("MAIN", current, profile);
  ExchangePortSettings(document, settings, 0);
  EXPECT_EQ(settings.Parity, 0);
  EXPECT_EQ(settings.BaudRate, 70000);
  EXPECT_EQ(profile.Value("/dir/VK605.INI", "MAIN", "PARITY").value(), "X");
  EXPECT_EQ(profile.Value("/dir/VK605.INI", "MAIN", "PORT").value(), "COM1:");
  settings.ByteSize = 9;
  ExchangePortSettings(document, settings, 1);
  EXPECT_EQ(profile.Value("/dir/VK605.INI", "MAIN", "PARITY").value(), "N");
  EXPECT_EQ(profile.Value("/dir/VK605.INI", "MAIN", "BYTESIZE").value(), "8");
}

}  // namespace
}  // namespace vk605
