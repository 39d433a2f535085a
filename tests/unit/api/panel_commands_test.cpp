#include "api/panel_commands.h"

#include <gtest/gtest.h>

#include <string>

#include "engine/engine_rig.h"

namespace vk605 {
namespace {

using testing::EngineRig;

TEST(EnginePanelInstrument, VersionThroughReadHeadAndTheSerialNumberExchange) {
  EngineRig rig;
  EnginePanelInstrument instrument(rig.engine);
  std::string version;
  EXPECT_EQ(instrument.ReadVersion(version), 0);
  EXPECT_EQ(version, "VK605 V1.07");
  const std::size_t before = rig.devices.written().size();
  EXPECT_EQ(instrument.QuerySerialNumber(), "12345");
  ASSERT_GT(rig.devices.written().size(), before);
  EXPECT_EQ(rig.devices.written().back(), "00SN\r");
}

TEST(EnginePanelInstrument, SerialNumberOfASilentInstrumentIsEmpty) {
  EngineRig rig;
  EnginePanelInstrument instrument(rig.engine);
  std::string version;
  EXPECT_EQ(instrument.ReadVersion(version), 0);
  rig.devices.Reply("00SN\r", "");
  EXPECT_EQ(instrument.QuerySerialNumber(), "");
}

TEST(ValidityLimits, CarriesTheCalibrationPagesCallsToTheRecord) {
  EngineRig rig;
  ValidityLimits limits(rig.validity);
  std::int32_t hours = -1, minutes = -1, limit = -1;
  limits.ReadLimits(hours, minutes, limit);
  EXPECT_EQ(hours, 4);
  EXPECT_EQ(minutes, 0);
  EXPECT_EQ(limit, 250);
  limits.SetLimits(36, 15, 500);
  limits.SetTimeRule(1);
  limits.SetCountRule(1);
  EXPECT_EQ(rig.validity.Hours(), 36);
  EXPECT_EQ(rig.validity.Minutes(), 15);
  EXPECT_EQ(rig.validity.MeasurementLimit(), 500);
  EXPECT_EQ(limits.IsTimeRuleOn(), 1);
  EXPECT_EQ(limits.IsCountRuleOn(), 1);
  const double start = rig.validity.CalibrationDate().days;
  limits.ApplySpan(1.5);
  EXPECT_DOUBLE_EQ(rig.validity.Expiration().days, start + 1.5);
}

}  // namespace
}  // namespace vk605
