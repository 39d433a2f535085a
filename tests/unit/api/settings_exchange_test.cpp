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

TEST(PortSettingsExchange, OverlongStoredPortIsLoadedCutAndStaysWholeInTheFile) {
  const std::string kLongPort = "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0";
  testing::FakePrivateProfile profile;
  CurrentSettingsFile current;
  current.Set("/dir/VK605.INI");
  profile.WriteString("MAIN", "PORT", kLongPort, "/dir/VK605.INI");
  SettingsBlock settings;
  ApplyDefaults(settings);
  IniDocument document("MAIN", current, profile);
  ExchangePortSettings(document, settings, 0);
  EXPECT_STREQ(settings.Port, "/dev/serial/by-id/u");
  EXPECT_EQ(profile.Value("/dir/VK605.INI", "MAIN", "PORT").value(), kLongPort);
  // The other keys are exchanged as ever.
  EXPECT_EQ(profile.Value("/dir/VK605.INI", "MAIN", "BAUDRATE").value(), "9600");

  ExchangePortSettings(document, settings, 1);
  EXPECT_EQ(profile.Value("/dir/VK605.INI", "MAIN", "PORT").value(), kLongPort);

  CopyField(settings.Port, "/dev/ttyUSB0");
  ExchangePortSettings(document, settings, 1);
  EXPECT_EQ(profile.Value("/dir/VK605.INI", "MAIN", "PORT").value(), "/dev/ttyUSB0");
}

// The longest name Port holds is an ordinary value: loaded and written back whole.
TEST(PortSettingsExchange, StoredPortThatJustFitsIsWrittenBack) {
  testing::FakePrivateProfile profile;
  CurrentSettingsFile current;
  current.Set("/dir/VK605.INI");
  profile.WriteString("MAIN", "PORT", "/dev/serial/by-id/u", "/dir/VK605.INI");
  SettingsBlock settings;
  ApplyDefaults(settings);
  IniDocument document("MAIN", current, profile);
  ExchangePortSettings(document, settings, 0);
  EXPECT_STREQ(settings.Port, "/dev/serial/by-id/u");
  CopyField(settings.Port, "COM2:");
  ExchangePortSettings(document, settings, 1);
  EXPECT_EQ(profile.Value("/dir/VK605.INI", "MAIN", "PORT").value(), "COM2:");
}

}  // namespace
}  // namespace vk605
