#include "settings/settings_block.h"

#include <cstring>
#include <string>

#include <gtest/gtest.h>

namespace vk605 {
namespace {

TEST(SettingsBlockTest, DefaultsOverwriteEveryPreviousByte) {
  SettingsBlock block;
  std::memset(&block, 0xAB, sizeof block);
  ApplyDefaults(block);

  EXPECT_STREQ(block.EmulationName, "VK605");
  EXPECT_STREQ(block.InstrumentName, "VK605");
  EXPECT_STREQ(block.ModelPrefix, "VK605");
  EXPECT_STREQ(block.Port, "COM1:");
  EXPECT_STREQ(block.SerialNumber, "");
  // The rest of each text field is zero too, not left-over bytes.
  for (std::size_t i = 6; i < sizeof block.Port; ++i) EXPECT_EQ(block.Port[i], '\0') << i;
  EXPECT_EQ(block.ByteSize, 8);
  EXPECT_EQ(block.Parity, 0);
  EXPECT_EQ(block.StopBits, 0);
  EXPECT_EQ(block.BaudRate, 9600);
  EXPECT_EQ(block.DefaultBaudRate, 9600);
  EXPECT_EQ(block.CommPortType, 1);
  EXPECT_EQ(block.DriverRevision, 8);
  EXPECT_EQ(block.Geometry, 0);
  EXPECT_EQ(block.TriggerMode, 1);
  EXPECT_EQ(block.AngleCount, 1);
  EXPECT_EQ(block.WavelengthCount, 40);
  EXPECT_EQ(block.VisibleCount, 31);
  EXPECT_EQ(block.StartingVisible, 4);
  EXPECT_EQ(block.EndingWavelength, 750);
  EXPECT_EQ(block.WavelengthInterval, 10);
  EXPECT_EQ(block.StartingWavelength, 360);
  EXPECT_EQ(block.ReferenceFlashInterval[0], 0);
  EXPECT_EQ(block.ReferenceFlashInterval[1], 0);
  EXPECT_EQ(block.SpecularMode, 1);
  EXPECT_EQ(block.StatusLength, 7);
  EXPECT_EQ(block.Calibrated, 1);
  EXPECT_EQ(block.Communications, 0);
  EXPECT_EQ(block.EmulationMode, 0);
  EXPECT_EQ(block.ReflectanceSupported, 1);
  EXPECT_EQ(block.TransmissionSupported, 0);
  EXPECT_EQ(block.OverLightOverDarkSupported, 1);
  EXPECT_EQ(block.SCESupported, 1);
  EXPECT_EQ(block.SCISupported, 0);
  EXPECT_EQ(block.SCISCESupported, 0);
  EXPECT_EQ(block.CalveraID, 23);
  EXPECT_EQ(block.CalveraEnabled, 1);
  EXPECT_EQ(block.LightLevelTestSupported, 0);
  EXPECT_EQ(block.Spare4, 0);
  EXPECT_EQ(block.HoldPortOpen, 1);
}

TEST(SettingsBlockTest, CopyFieldTruncatesToTheFieldAndTerminates) {
  SettingsBlock block;
  ApplyDefaults(block);
  CopyField(block.Port, "/dev/serial/by-id/usb-0403-6001");
  EXPECT_EQ(std::string(block.Port), "/dev/serial/by-id/u");
  CopyField(block.Port, nullptr);
  EXPECT_STREQ(block.Port, "");
}

TEST(SettingsBlockTest, FitsFieldOnlyWhenTheTerminatorFitsToo) {
  SettingsBlock block;
  ApplyDefaults(block);
  EXPECT_TRUE(FitsField(block.Port, "/dev/serial/by-id/u"));
  EXPECT_FALSE(FitsField(block.Port, "/dev/serial/by-id/us"));
  EXPECT_FALSE(FitsField(block.Port, "/dev/serial/by-id/usb-0403-6001"));
  EXPECT_TRUE(FitsField(block.Port, ""));
  EXPECT_TRUE(FitsField(block.Port, nullptr));
  // Only as much of the text is read as the field holds.
  const char unterminated[20] = {'/', 'd', 'e', 'v', '/', 's', 'e', 'r', 'i', 'a',
                                 'l', '/', 'b', 'y', '-', 'i', 'd', '/', 'u', 's'};
  EXPECT_FALSE(FitsField(block.Port, unterminated));
}

}  // namespace
}  // namespace vk605
