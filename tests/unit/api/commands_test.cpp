#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "api/configuration_commands.h"
#include "api/measurement_commands.h"
#include "api/profiling_commands.h"
#include "engine/engine_rig.h"
#include "engine/instrument_script.h"
#include "engine/result_code.h"
#include "fakes/fake_profiling_component.h"
#include "fakes/fake_registry.h"
#include "lighttest/light_level_results.h"

namespace vk605 {
namespace {

using testing::ScriptedFactor;
using testing::SpectralReply;

using testing::kUntouched;
constexpr const char* kInstrumentFile = "/opt/vk605/VK60512345.INI";

// The export bodies over the driver's objects, with a scripted instrument on a fake line and a fake
// clock, as the runtime wires them.
class CommandsTest : public ::testing::Test {
 protected:
  CommandsTest() {
    ApplyDefaults(state_.settings);
    ResetStatusTexts(state_.engine);
    CopyField(state_.settings.Port, "/dev/ttyFAKE");
    // Profiling is covered by its own tests; here the spectrum must come through as measured.
    state_.settings.CalveraEnabled = 0;
    testing::ScriptInstrument(devices_);
    devices_.Reply("RM\r", "<00>\r\n");
    devices_.Reply("104GF\r", SpectralReply());
    for (double& value : spectra_) value = kUntouched;
  }
  ~CommandsTest() override { engine_.JoinWorkers(); }

  void Connect() {
    char text[kTextBufferSize] = {};
    engine_.ReadHead(code::kInit, nullptr, nullptr, text);
    ui_.events.clear();  // the connect's progress window
  }
  void Expire() {
    validity_.SetCountRule(1);
    validity_.SetLimits(4, 0, 0);
  }
  int Count(const std::string& command) const {
    int count = 0;
    for (const std::string& written : devices_.written()) count += written == command ? 1 : 0;
    return count;
  }

  testing::FakeClock clock_;
  testing::FakeSerialDevices devices_{clock_};
  testing::FakePrivateProfile profile_;
  testing::FakeRegistry registry_;
  testing::FakeUserInterface ui_;
  testing::FakeProfilingComponents components_;
  LightLevelTestResults light_level_;
  DriverState state_;
  CurrentSettingsFile settings_file_;
  CalibrationValidity validity_{settings_file_, profile_, clock_};
  DiagnosticsLog log_{clock_};
  CommChannel channel_{devices_, clock_, log_};
  ExpiryMessage expiry_{ui_};
  CommandEngine engine_{EngineContext{state_.settings, state_.engine, state_.switches, channel_, log_, ui_,
                                      clock_, validity_, expiry_}};
  DriverServices services_{
      state_,   engine_,   validity_,   expiry_,      log_,         ui_, settings_file_,
      profile_, registry_, components_, light_level_, "/opt/vk605", '/', "/opt/vk605/libvk605.so"};
  MeasurementCommands commands_{services_};
  double spectra_[80] = {};
};

TEST_F(CommandsTest, ExpiredCalibrationAnswers123WithoutContactingTheInstrument) {
  Expire();
  state_.host.Profiled = 1;
  EXPECT_EQ(commands_.Measure(code::kMeasure, spectra_, nullptr), 123);
  EXPECT_EQ(devices_.open_attempts(), 0);
  EXPECT_TRUE(devices_.written().empty());
  EXPECT_EQ(spectra_[0], kUntouched);
  EXPECT_EQ(state_.host.Profiled, 0);
  ASSERT_EQ(ui_.boxes.size(), 1u);
  EXPECT_EQ(ui_.boxes[0].text,
            "The calibration has expired. The instrument must be recalibrated before taking measurements.");
  EXPECT_EQ(ui_.boxes[0].caption, "VK605");
  EXPECT_EQ(ui_.boxes[0].type, 0x30u);  // OK, exclamation icon
}

TEST_F(CommandsTest, GlossMeasurementsAreUnsupportedUnlessExpired) {
  EXPECT_EQ(commands_.MeasureGloss(), -1);
  Expire();
  EXPECT_EQ(commands_.MeasureGloss(), 123);
  EXPECT_TRUE(devices_.written().empty());
}

TEST_F(CommandsTest, SuccessfulMeasurementIsCountedUnderTheCountRule) {
  validity_.SetCountRule(1);
  validity_.SetLimits(4, 0, 250);
  EXPECT_EQ(commands_.Measure(code::kMeasure, spectra_, nullptr), 0);
  EXPECT_EQ(validity_.MeasurementCount(), 1);
  EXPECT_DOUBLE_EQ(spectra_[4], ScriptedFactor(0));
  EXPECT_EQ(state_.host.Profiled, 0);
}

TEST_F(CommandsTest, RefusedMeasurementReturns1006AndIsNotCounted) {
  validity_.SetCountRule(1);
  validity_.SetLimits(4, 0, 250);
  devices_.Reply("RM\r", "<01>\r\n");
  EXPECT_EQ(commands_.Measure(code::kMeasure, spectra_, nullptr), result::kFailedToMeasure);
  EXPECT_EQ(validity_.MeasurementCount(), 0);
  EXPECT_EQ(spectra_[4], kUntouched);
}

// PerformRemoteMeasurement: no acknowledgement within the 30 s, 122, nothing counted.
TEST_F(CommandsTest, UnacknowledgedRemoteMeasurementReturns122) {
  validity_.SetCountRule(1);
  validity_.SetLimits(4, 0, 250);
  EXPECT_EQ(commands_.Measure(code::kTrigger, spectra_, nullptr), result::kTriggerAborted);
  EXPECT_EQ(validity_.MeasurementCount(), 0);
  EXPECT_EQ(spectra_[4], kUntouched);
  EXPECT_EQ(Count("104GF\r"), 0);
}

TEST_F(CommandsTest, AcknowledgedTriggerMeasurementIsCounted) {
  validity_.SetCountRule(1);
  validity_.SetLimits(4, 0, 250);
  Connect();
  std::size_t arming = 0;
  devices_.OnWaitForInput([this, &arming](const std::string& last_written) {
    if (last_written == "\r" && arming++ == 0) devices_.Deliver("<00>\r\n");
  });
  int options = 0;
  EXPECT_EQ(commands_.Measure(code::kTrigger, spectra_, &options), 0);
  EXPECT_EQ(validity_.MeasurementCount(), 1);
  EXPECT_DOUBLE_EQ(spectra_[34], ScriptedFactor(30));
}

// The two-channel codes measure nothing on this model: 1023 after the ReadHead call, which copies the
// instrument status into the caller's status text.
TEST_F(CommandsTest, TwoChannelMeasurementsAnswer1023) {
  Connect();
  std::size_t before = devices_.written().size();
  char status[kTextBufferSize] = {};
  EXPECT_EQ(commands_.MeasureTwoChannels(code::kMeasureSciSce, spectra_, nullptr, status),
            result::kFeatureNotSupported);
  EXPECT_STREQ(status, "CREILL");
  int options = 1;
  EXPECT_EQ(commands_.MeasureTwoChannels(code::kTriggerSciSce, spectra_, &options, nullptr),
            result::kFeatureNotSupported);
  EXPECT_EQ(devices_.written().size(), before);
  EXPECT_EQ(spectra_[0], kUntouched);
  EXPECT_TRUE(ui_.events.empty());
}

// A cancelled calibration still returns the connect's 0 (the outcome is read from the status), but it is
// no calibration: it used to be recorded as one, date now and a fresh expiry, in memory and file.
TEST_F(CommandsTest, CancelledCalibrationLeavesTheRecordAsItWas) {
  profile_.WriteString("CALIBRATION", "CALIBRATION_DATE", "12/01/2026 09:00:00", kInstrumentFile);
  profile_.WriteString("CALIBRATION", "EXPIRATION", "12/01/2026 13:00:00", kInstrumentFile);
  Connect();
  validity_.Load("VK60512345", "/opt/vk605", '/');
  validity_.CountMeasurement();
  validity_.CountMeasurement();
  clock_.Advance(60000);
  devices_.Reply("01XD\r", "01\r\n<00>\r\n");
  ui_.answers = {kIdCancel, kIdOk};
  EXPECT_EQ(commands_.PerformCalibration(), 0);
  ASSERT_EQ(ui_.boxes.size(), 2u);
  EXPECT_EQ(ui_.boxes[1].text,
            "You have cancelled calibration.  You will not be able to take measurements until you calibrate "
            "the spectrophotometer.");
  EXPECT_EQ(validity_.MeasurementCount(), 2);
  EXPECT_EQ(FormatCalibrationDate(validity_.CalibrationDate()), "12/01/2026 09:00:00");
  EXPECT_EQ(FormatCalibrationDate(validity_.Expiration()), "12/01/2026 13:00:00");
  validity_.Save();
  EXPECT_EQ(profile_.Value(kInstrumentFile, "CALIBRATION", "CALIBRATION_DATE"), "12/01/2026 09:00:00");
  EXPECT_EQ(profile_.Value(kInstrumentFile, "CALIBRATION", "EXPIRATION"), "12/01/2026 13:00:00");
  char status[kTextBufferSize] = {};
  EXPECT_EQ(commands_.GetCalibrationStatus(status), 0);
  EXPECT_STREQ(status, "XREILL");
}

// A calibration that never reached the instrument (the port does not open) is not recorded either; the
// export still returns the connect's failure.
TEST_F(CommandsTest, CalibrationWithoutAnInstrumentLeavesTheRecordAsItWas) {
  validity_.CountMeasurement();
  devices_.FailOpen();
  // No emulation; the calibration prompt is cancelled, as nothing ever reports calibrated.
  ui_.answers = {kIdNo, kIdCancel, kIdOk};
  EXPECT_NE(commands_.PerformCalibration(), 0);
  EXPECT_EQ(validity_.MeasurementCount(), 1);
}

// A confirmed calibration restarts the period and reaches the file at once, not only at unload.
TEST_F(CommandsTest, ConfirmedCalibrationIsRecordedAndSavedAtOnce) {
  Connect();
  validity_.Load("VK60512345", "/opt/vk605", '/');
  validity_.CountMeasurement();
  clock_.Advance(60000);
  ui_.answers = {kIdOk};
  EXPECT_EQ(commands_.PerformCalibration(), 0);
  EXPECT_EQ(validity_.MeasurementCount(), 0);
  // The sequence's own pauses take 5 s of the fake clock.
  EXPECT_EQ(FormatCalibrationDate(validity_.CalibrationDate()), "12/08/2026 10:31:05");
  EXPECT_EQ(profile_.Value(kInstrumentFile, "CALIBRATION", "CALIBRATION_DATE"), "12/08/2026 10:31:05");
  EXPECT_EQ(profile_.Value(kInstrumentFile, "CALIBRATION", "EXPIRATION"), "12/08/2026 14:31:05");
  EXPECT_EQ(profile_.Value(kInstrumentFile, "CALIBRATION", "MEASUREMENT_COUNT"), "0");
}

TEST_F(CommandsTest, BlackCalibrationChangesNothing) {
  Connect();
  std::size_t before = devices_.written().size();
  validity_.CountMeasurement();
  EXPECT_EQ(commands_.RunCode(code::kBlackCalibration), 0);
  EXPECT_EQ(devices_.written().size(), before);
  EXPECT_EQ(validity_.MeasurementCount(), 1);
}

TEST_F(CommandsTest, SerialNumberResetsTheInstrumentEveryTime) {
  char serial[kTextBufferSize] = {};
  EXPECT_EQ(commands_.GetSerialNumber(serial), 0);
  EXPECT_STREQ(serial, "VK60512345");
  EXPECT_EQ(commands_.GetSerialNumber(serial), 0);
  // The connect on demand resets once, then each call once more.
  EXPECT_EQ(Count("0005CF\r"), 3);
  EXPECT_EQ(commands_.IsValidInstrument(), 1);
}

// "SV" is given 5 s. A silent instrument's version read times out, yet the exchange reports the
// write's 0: the version is then empty, not a failure.
TEST_F(CommandsTest, FirmwareVersionOfASilentInstrumentIsEmpty) {
  Connect();
  devices_.Reply("SV\r", "");
  StoreText(state_.engine, state_.engine.FirmwareVersion, "");
  std::size_t before = devices_.written().size();
  char version[kTextBufferSize] = "old";
  EXPECT_EQ(commands_.GetFirmwareVersion(version), 0);
  EXPECT_STREQ(version, "");
  std::vector<std::string> written = devices_.written();
  std::vector<std::uint64_t> times = devices_.written_at();
  ASSERT_EQ(written.size(), before + 2);
  EXPECT_EQ(written[before + 1], "SV\r");
  EXPECT_EQ(clock_.TickMs() - times[before + 1], 5001u);
}

class ConfigurationCommandsTest : public CommandsTest {
 protected:
  ConfigurationCommands configuration_{services_};
};

TEST_F(ConfigurationCommandsTest, CommunicationsFollowTheConnect) {
  EXPECT_EQ(configuration_.GetCommunications(), 1);
  channel_.ClosePort();
  devices_.FailOpen();
  state_.engine.Connected = 0;
  ui_.default_answer = kIdNo;
  EXPECT_EQ(configuration_.GetCommunications(), 0);
}

// Any successful aperture exchange means the large plate; a failed one reads as the small plate.
TEST_F(ConfigurationCommandsTest, ApertureComesFromTheAperturesExchange) {
  Connect();
  devices_.Reply("AT\r,", "");
  EXPECT_EQ(configuration_.IsAperture(0), 1);
  EXPECT_EQ(configuration_.IsAperture(2), 0);
  devices_.OnWaitForInput([this](const std::string& last_written) {
    if (last_written == "01XD\r") devices_.StallOutput();
  });
  devices_.Reply("01XD\r", "00\r\n<00>\r\n", 1);
  EXPECT_EQ(configuration_.IsAperture(2), 1);
  EXPECT_EQ(state_.settings.ApertureSize, 2);
}

TEST_F(ConfigurationCommandsTest, EitherSpecularSettingMeasuresExcluded) {
  Connect();
  state_.settings.SpecularMode = 0;
  EXPECT_EQ(configuration_.SetSpecularComponent(0), 0);
  EXPECT_EQ(state_.settings.SpecularMode, 1);
  EXPECT_EQ(configuration_.GetSpecularComponent(), 1);
  EXPECT_EQ(configuration_.SetSpecularComponent(3), result::kFeatureNotSupported);
}

// Not connected, SetPort only stores and writes the name; the longest name the field holds is taken whole.
TEST_F(ConfigurationCommandsTest, SetPortStoresAndWritesANameThatFits) {
  settings_file_.Set("/opt/vk605/VK605.INI");
  EXPECT_EQ(configuration_.SetPort("/dev/serial/by-id/x"), 0);
  EXPECT_STREQ(state_.settings.Port, "/dev/serial/by-id/x");
  EXPECT_EQ(profile_.Value("/opt/vk605/VK605.INI", "MAIN", "PORT"), "/dev/serial/by-id/x");
  EXPECT_EQ(configuration_.SetPort(nullptr), 0);
  EXPECT_STREQ(state_.settings.Port, "");
  EXPECT_EQ(devices_.open_attempts(), 0);
}

// Setters used to answer 0 when nothing reached the file; now 1, and the setting stays as it was.
TEST_F(ConfigurationCommandsTest, SettersReportAValueThatCouldNotBeStored) {
  settings_file_.Set("/opt/vk605/VK605.INI");
  profile_.WriteString("MAIN", "PORT", "/dev/ttyFAKE", "/opt/vk605/VK605.INI");
  profile_.SetUnwritable("/opt/vk605/VK605.INI");
  EXPECT_EQ(configuration_.SetPort("/dev/ttyUSB1"), 1);
  EXPECT_STREQ(state_.settings.Port, "/dev/ttyFAKE");
  EXPECT_EQ(configuration_.SetBaudRate(19200), 1);
  EXPECT_EQ(state_.settings.BaudRate, 9600);
  EXPECT_EQ(configuration_.SetParity('2'), 1);
  EXPECT_EQ(state_.settings.Parity, 0);
  EXPECT_EQ(configuration_.SetStopBits('2'), 1);
  EXPECT_EQ(state_.settings.StopBits, 0);
  EXPECT_EQ(configuration_.SetByteSize('7'), 1);
  EXPECT_EQ(state_.settings.ByteSize, 8);
  EXPECT_EQ(configuration_.SetEmulationMode(1), 1);
  EXPECT_EQ(state_.settings.EmulationMode, 0);
  // A value that is kept in memory only needs no file.
  EXPECT_EQ(configuration_.SetByteSize('6'), 0);
  EXPECT_EQ(state_.settings.ByteSize, 6);
  EXPECT_EQ(profile_.Value("/opt/vk605/VK605.INI", "MAIN", "PORT"), "/dev/ttyFAKE");
  EXPECT_EQ(devices_.open_attempts(), 0);
}

TEST_F(ConfigurationCommandsTest, SettersLeaveAnOversizedSettingsFileAlone) {
  settings_file_.Set("/opt/vk605/VK605.INI");
  profile_.SetOversized("/opt/vk605/VK605.INI");
  EXPECT_EQ(configuration_.SetBaudRate(19200), 1);
  EXPECT_EQ(configuration_.SetPort("/dev/ttyUSB1"), 1);
  EXPECT_EQ(profile_.Dump("/opt/vk605/VK605.INI"), "");
}

TEST_F(ConfigurationCommandsTest, SetPortUsbInAnyCaseSelectsTheUsbLink) {
  settings_file_.Set("/opt/vk605/VK605.INI");
  EXPECT_EQ(configuration_.SetPort("Usb"), 0);
  EXPECT_EQ(state_.settings.CommPortType, 2);
  EXPECT_EQ(profile_.Value("/opt/vk605/VK605.INI", "MAIN", "PORT"), "Usb");
  EXPECT_EQ(configuration_.SetPort("USB0"), 0);
  EXPECT_EQ(state_.settings.CommPortType, 1);
  EXPECT_EQ(configuration_.SetPort("USB"), 0);
  EXPECT_EQ(configuration_.SetPort("COM3:"), 0);
  EXPECT_EQ(state_.settings.CommPortType, 1);
  EXPECT_EQ(devices_.open_attempts(), 0);
}

// A name one character too long for the field is refused: neither the port in use nor the stored one
// changes, and the port is not reapplied.
TEST_F(ConfigurationCommandsTest, SetPortRefusesANameLongerThanTheFieldHolds) {
  settings_file_.Set("/opt/vk605/VK605.INI");
  profile_.WriteString("MAIN", "PORT", "/dev/ttyFAKE", "/opt/vk605/VK605.INI");
  state_.settings.Communications = 1;
  EXPECT_EQ(configuration_.SetPort("/dev/serial/by-id/xy"), 1);
  EXPECT_EQ(configuration_.SetPort("/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0"), 1);
  EXPECT_STREQ(state_.settings.Port, "/dev/ttyFAKE");
  EXPECT_EQ(profile_.Value("/opt/vk605/VK605.INI", "MAIN", "PORT"), "/dev/ttyFAKE");
  EXPECT_EQ(devices_.open_attempts(), 0);
}

TEST_F(CommandsTest, ConfiguredToProfileSwitchesBothExpiryRulesOff) {
  ProfilingCommands profiling(services_);
  validity_.SetCountRule(1);
  validity_.SetTimeRule(1);
  int out = 5;
  EXPECT_EQ(profiling.IsConfiguredToProfile(&out), 1);
  EXPECT_EQ(out, 0);
  EXPECT_EQ(validity_.IsCountRuleOn(), 0);
  EXPECT_EQ(validity_.IsTimeRuleOn(), 0);
  EXPECT_EQ(state_.host.ConfiguredToProfile, 1);
}

}  // namespace
}  // namespace vk605
