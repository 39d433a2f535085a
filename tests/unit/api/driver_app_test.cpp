#include "api/driver_app.h"

#include <cstdio>
#include <fstream>
#include <iterator>

#include <gtest/gtest.h>

#include <memory>

#include "fakes/fake_clock.h"
#include "fakes/fake_private_profile.h"
#include "fakes/fake_registry.h"
#include "fakes/fake_user_interface.h"
#include "fakes/null_serial_devices.h"
#include "ui/expiry_message.h"

namespace vk605 {
namespace {

constexpr const char* kIni = "/opt/vk605/VK605.INI";

// The driver's objects in their load order, built over fakes.
struct DriverRig {
  testing::FakeClock clock;
  testing::FakePrivateProfile profile;
  testing::FakeRegistry registry;
  testing::FakeUserInterface ui;
  testing::NullSerialDevices devices;
  DriverState state;
  CurrentSettingsFile settings_file;
  CalibrationValidity validity{settings_file, profile, clock};
  DiagnosticsLog log{clock};
  CommChannel channel{devices, clock, log};
  ExpiryMessage expiry{ui};
  CommandEngine engine{
      EngineContext{state.settings, state.engine, state.switches, channel, log, ui, clock, validity, expiry}};
  std::unique_ptr<DriverApp> app;

  void Load() {
    app = std::make_unique<DriverApp>(DriverAppContext{state, settings_file, profile, registry, log, validity,
                                                       channel, ui, engine, "/opt/vk605", '/'});
    app->Startup();
  }
  void Unload() {
    app->Exit();
    app.reset();
  }
  std::string Main(const char* key) { return profile.Value(kIni, "MAIN", key).value_or("<absent>"); }
};

TEST(DriverApp, FirstStartWritesEveryMainKeyInOrder) {
  DriverRig rig;
  rig.Load();
  EXPECT_EQ(rig.app->SettingsPath(), kIni);
  EXPECT_EQ(rig.settings_file.Get(), kIni);
  EXPECT_EQ(
      rig.profile.Dump(kIni),
      "[MAIN]\r\nPORT=COM1:\r\nBAUDRATE=9600\r\nPARITY=N\r\nBYTESIZE=8\r\nSTOPBITS=1\r\nEMULATION_MODE=0\r\n"
      "CALVERA_STATE=1\r\nMODE=0\r\nHOLD_PORT_OPEN=1\r\n");
  EXPECT_STREQ(rig.state.engine.InstrumentStatus, "CREILL");
  EXPECT_STREQ(rig.state.engine.CalibrationStatus, "CREILL");
  EXPECT_STREQ(rig.state.engine.MeasurementStatus, "CREILL");
  EXPECT_EQ(rig.channel.GetHoldPortOpen(), 1);
  EXPECT_TRUE(rig.ui.boxes.empty());
  EXPECT_EQ(rig.devices.opens, 0);  // the instrument is not contacted at start-up
}

TEST(DriverApp, StoredValuesReplaceDefaults) {
  DriverRig rig;
  rig.profile.WriteString("MAIN", "PORT", "/dev/ttyUSB3", kIni);
  rig.profile.WriteString("MAIN", "HOLD_PORT_OPEN", "0", kIni);
  rig.profile.WriteString("MAIN", "MODE", "1", kIni);
  rig.profile.WriteString("MAIN", "CALVERA_STATE", "0", kIni);
  rig.Load();
  EXPECT_STREQ(rig.state.settings.Port, "/dev/ttyUSB3");
  EXPECT_EQ(rig.state.settings.HoldPortOpen, 0);
  EXPECT_EQ(rig.channel.GetHoldPortOpen(), 0);
  EXPECT_EQ(rig.state.settings.Mode, 1);
  EXPECT_EQ(rig.state.settings.CalveraEnabled, 0);
}

// The port name USB selects the bridge; the file keeps exactly what it held.
TEST(DriverApp, StoredPortUsbSelectsTheUsbLinkAndChangesNothingStored) {
  DriverRig rig;
  rig.profile.WriteString("MAIN", "PORT", "uSb", kIni);
  std::string before = rig.profile.Dump(kIni);
  rig.Load();
  EXPECT_EQ(rig.state.settings.CommPortType, 2);
  rig.Unload();
  EXPECT_EQ(rig.Main("PORT"), "uSb");
  rig.profile.WriteString("MAIN", "PORT", "/dev/ttyUSB0", kIni);
  rig.Load();
  EXPECT_EQ(rig.state.settings.CommPortType, 1);
  EXPECT_EQ(before.find("COMMPORT"), std::string::npos);
  EXPECT_EQ(rig.profile.Dump(kIni).find("TYPE"), std::string::npos);
}

TEST(DriverApp, UnwritableDirectoryKeepsTheBareSettingsName) {
  DriverRig rig;
  rig.profile.SetUnwritable(kIni);
  rig.Load();
  EXPECT_EQ(rig.app->SettingsPath(), "");
  EXPECT_EQ(rig.settings_file.Get(), "VK605");
}

TEST(DriverApp, PublishesProfilingIdOnlyIntoAnExistingKey) {
  DriverRig without;
  without.Load();
  EXPECT_FALSE(
      without.registry.Value("Software\\Orvanta\\Spectrophotometers\\VK605", "CalveraID").has_value());

  DriverRig with;
  with.registry.AddKey("Software\\Orvanta\\Spectrophotometers\\VK605");
  with.Load();
  EXPECT_EQ(with.registry.Value("Software\\Orvanta\\Spectrophotometers\\VK605", "CalveraID").value(), "23");
}

// A 200 MB VK605.INI took seconds and hundreds of megabytes to load, and every write copied it again.
TEST(DriverApp, OversizedSettingsFileIsNeitherReadNorWritten) {
  DriverRig rig;
  rig.profile.SetOversized(kIni);
  std::string log_path = ::testing::TempDir() + "vk605_oversized_settings.log";
  std::remove(log_path.c_str());
  rig.app = std::make_unique<DriverApp>(DriverAppContext{rig.state, rig.settings_file, rig.profile,
                                                         rig.registry, rig.log, rig.validity, rig.channel,
                                                         rig.ui, rig.engine, "/opt/vk605", '/'});
  rig.log.StartLogFile(log_path);
  rig.app->Startup();
  EXPECT_STREQ(rig.state.settings.Port, "COM1:");
  EXPECT_EQ(rig.state.settings.BaudRate, 9600);
  rig.state.settings.BaudRate = 19200;
  rig.Unload();
  EXPECT_EQ(rig.profile.Dump(kIni), "");
  std::ifstream log(log_path);
  std::string text((std::istreambuf_iterator<char>(log)), std::istreambuf_iterator<char>());
  EXPECT_NE(text.find("SETTINGS: /opt/vk605/VK605.INI is larger than 1048576 bytes: not read, not written, "
                      "defaults in use"),
            std::string::npos)
      << text;
  std::remove(log_path.c_str());
}

TEST(DriverApp, UnloadClosesTheInstrumentAndWritesMainBack) {
  DriverRig rig;
  rig.Load();
  rig.state.settings.ByteSize = 9;
  rig.state.settings.Parity = 5;
  rig.state.settings.StopBits = 3;
  rig.state.settings.Mode = 1;
  rig.state.settings.CalveraEnabled = 0;
  rig.Unload();
  EXPECT_EQ(rig.Main("BYTESIZE"), "8");
  EXPECT_EQ(rig.Main("PARITY"), "N");
  EXPECT_EQ(rig.Main("STOPBITS"), "1");
  EXPECT_EQ(rig.Main("MODE"), "1");
  EXPECT_EQ(rig.Main("CALVERA_STATE"), "0");
  // The close: reset (1 + 1 s before the steps, 0.5 s after) and 2 s. Nothing answers the serial-number
  // query on this line, so the version query and its wake-up second are left out.
  EXPECT_EQ(rig.clock.WaitedMs(), 4500u);
  EXPECT_EQ(rig.settings_file.Get(), "VK605");
}

TEST(DriverApp, ConfiguredToProfileWritesOnlyCalveraState) {
  DriverRig rig;
  rig.Load();
  rig.state.host.ConfiguredToProfile = 1;
  rig.state.settings.Mode = 1;
  rig.state.settings.BaudRate = 1200;
  rig.state.settings.CalveraEnabled = 0;
  rig.Unload();
  EXPECT_EQ(rig.Main("MODE"), "0");
  EXPECT_EQ(rig.Main("BAUDRATE"), "9600");
  EXPECT_EQ(rig.Main("CALVERA_STATE"), "0");
}

TEST(DriverApp, UnloadSavesTheCalibrationRecordOnceLoaded) {
  DriverRig rig;
  rig.Load();
  rig.Unload();
  EXPECT_FALSE(rig.profile.Exists("/opt/vk605/A1234.INI"));

  DriverRig loaded;
  loaded.Load();
  loaded.validity.Load("A1234", "/opt/vk605", '/');
  loaded.validity.SetCountRule(1);
  loaded.Unload();
  EXPECT_EQ(loaded.profile.Value("/opt/vk605/A1234.INI", "CALIBRATION", "bMEASUREMENTS").value(), "1");
}

}  // namespace
}  // namespace vk605
