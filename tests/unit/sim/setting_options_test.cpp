#include "setting_options.h"

#include <gtest/gtest.h>

#include "command_line.h"

namespace vk605::sim {
namespace {

std::string ThirtyOne(const std::string& value) {
  std::string list = value;
  for (int i = 1; i < 31; ++i) list += "," + value;
  return list;
}

TEST(SimSettingOptionsTest, ValuesAreStoredAsGiven) {
  SimSettings s;
  EXPECT_EQ(SettingOptions::Apply(s, "serial", "X 1"), std::nullopt);
  EXPECT_EQ(SettingOptions::Apply(s, "firmware", "V9"), std::nullopt);
  EXPECT_EQ(SettingOptions::Apply(s, "delay-ms", "250"), std::nullopt);
  EXPECT_EQ(SettingOptions::Apply(s, "command-delay", "RM\\r=4000"), std::nullopt);
  EXPECT_EQ(SettingOptions::Apply(s, "silent", "AT\\r,"), std::nullopt);
  EXPECT_EQ(SettingOptions::Apply(s, "silent", ""), std::nullopt);
  EXPECT_EQ(SettingOptions::Apply(s, "trigger-after-ms", "75"), std::nullopt);
  EXPECT_EQ(SettingOptions::Apply(s, "fault", "trickle"), std::nullopt);
  EXPECT_EQ(SettingOptions::Apply(s, "fault-only", "104GF"), std::nullopt);
  EXPECT_EQ(s.serial_number, "X 1");
  EXPECT_EQ(s.firmware_version, "V9");
  EXPECT_EQ(s.reply_delay_ms, 250u);
  EXPECT_EQ(s.command_delay_ms, (std::map<std::string, std::uint32_t>{{"RM", 4000}}));
  EXPECT_EQ(s.silent, (std::set<std::string>{"", "AT"}));
  EXPECT_EQ(s.trigger_after_ms, 75u);
  EXPECT_EQ(s.fault, Fault::kTrickle);
  EXPECT_EQ(s.fault_only, std::set<std::string>{"104GF"});
}

TEST(SimSettingOptionsTest, SwitchesAndTheirOpposites) {
  SimSettings s;
  EXPECT_EQ(SettingOptions::Apply(s, "calibrate-after", "2"), std::nullopt);
  EXPECT_FALSE(s.calibrated);
  EXPECT_EQ(s.calibrate_after, 2u);
  EXPECT_EQ(SettingOptions::Apply(s, "refuse-measure", ""), std::nullopt);
  EXPECT_EQ(SettingOptions::Apply(s, "garbage-spectrum", ""), std::nullopt);
  EXPECT_EQ(SettingOptions::Apply(s, "trigger-never", ""), std::nullopt);
  EXPECT_TRUE(s.refuse_measure);
  EXPECT_EQ(s.spectrum_form, SpectrumForm::kGarbage);
  EXPECT_FALSE(s.trigger_after_ms.has_value());
  EXPECT_EQ(SettingOptions::Apply(s, "silent", "RM"), std::nullopt);
  EXPECT_EQ(SettingOptions::Apply(s, "answer", "RM"), std::nullopt);
  EXPECT_TRUE(s.silent.empty());
  EXPECT_EQ(SettingOptions::Apply(s, "defaults", ""), std::nullopt);
  EXPECT_TRUE(s.calibrated);
  EXPECT_FALSE(s.refuse_measure);
  EXPECT_EQ(s.trigger_after_ms, 2000u);
}

TEST(SimSettingOptionsTest, SpectrumNeedsExactlyThirtyOneValuesInRange) {
  SimSettings s;
  EXPECT_EQ(SettingOptions::Apply(s, "spectrum", ThirtyOne("9.08")), std::nullopt);
  EXPECT_DOUBLE_EQ(s.spectrum[30], 9.08);
  EXPECT_EQ(SettingOptions::Apply(s, "spectrum", "1,2,3"), "31 values needed, got 3");
  EXPECT_EQ(SettingOptions::Apply(s, "spectrum", ThirtyOne("1") + ",1"), "more than 31 values");
  EXPECT_EQ(SettingOptions::Apply(s, "spectrum", ThirtyOne("1000")), "outside -99.99..999.99: 1000");
  EXPECT_EQ(SettingOptions::Apply(s, "spectrum", "x" + ThirtyOne("1")), "not a number: x1");
  EXPECT_DOUBLE_EQ(s.spectrum[0], 9.08);
}

TEST(SimSettingOptionsTest, BadNamesAndValuesAreRefused) {
  SimSettings s;
  EXPECT_EQ(SettingOptions::Apply(s, "colour", "red"), "unknown option: colour");
  EXPECT_EQ(SettingOptions::Apply(s, "uncalibrated", "1"), "option uncalibrated takes no value");
  EXPECT_EQ(SettingOptions::Apply(s, "delay-ms", "-5"), "not an unsigned number: -5");
  EXPECT_EQ(SettingOptions::Apply(s, "delay-ms", ""), "not an unsigned number: ");
  EXPECT_EQ(SettingOptions::Apply(s, "fault", "smoke"), "unknown fault: smoke");
  EXPECT_EQ(SettingOptions::Apply(s, "command-delay", "RM"), "CMD=N expected: RM");
  EXPECT_EQ(SettingOptions::Apply(s, "silent", "RM\\q"), "bad escape in command name: RM\\q");
  EXPECT_TRUE(s.calibrated);
}

TEST(SimCommandLineTest, ParsesFrontEndAndInstrumentOptions) {
  std::string error;
  const auto options = CommandLine::Parse(
      {"--serial", "777", "--uncalibrated", "--silent=RM", "--silent", "", "--record", "/tmp/r",
       "--link=/tmp/l", "--control", "/tmp/c", "--verbose", "--trigger-never", "--fault", "cut"},
      error);
  ASSERT_TRUE(options.has_value()) << error;
  EXPECT_EQ(options->settings.serial_number, "777");
  EXPECT_FALSE(options->settings.calibrated);
  EXPECT_EQ(options->settings.silent, (std::set<std::string>{"", "RM"}));
  EXPECT_FALSE(options->settings.trigger_after_ms.has_value());
  EXPECT_EQ(options->settings.fault, Fault::kCut);
  EXPECT_EQ(options->record_path, "/tmp/r");
  EXPECT_EQ(options->link_path, "/tmp/l");
  EXPECT_EQ(options->control_path, "/tmp/c");
  EXPECT_TRUE(options->verbose);
  EXPECT_FALSE(options->help);
}

TEST(SimCommandLineTest, ReportsWhatItDoesNotUnderstand) {
  std::string error;
  EXPECT_FALSE(CommandLine::Parse({"serial"}, error).has_value());
  EXPECT_EQ(error, "unexpected argument: serial");
  EXPECT_FALSE(CommandLine::Parse({"--serial"}, error).has_value());
  EXPECT_EQ(error, "option --serial needs a value");
  EXPECT_FALSE(CommandLine::Parse({"--delay-ms", "soon"}, error).has_value());
  EXPECT_EQ(error, "--delay-ms: not an unsigned number: soon");
  EXPECT_FALSE(CommandLine::Parse({"--verbose=yes"}, error).has_value());
  EXPECT_EQ(error, "option --verbose takes no value");
}

TEST(SimCommandLineTest, HelpNamesEveryOption) {
  std::string error;
  const auto options = CommandLine::Parse({"--help"}, error);
  ASSERT_TRUE(options.has_value());
  EXPECT_TRUE(options->help);
  const std::string help = CommandLine::Help();
  for (const SettingOption& option : SettingOptions::All()) {
    EXPECT_NE(help.find("--" + std::string(option.name) + " "), std::string::npos) << option.name;
  }
  EXPECT_NE(help.find("--record FILE"), std::string::npos);
}

}  // namespace
}  // namespace vk605::sim
