// A triggered measurement with the instrument behind the USB bridge: the worker's polls read the bridge,
// so the instrument's acknowledgement is seen there (a poll of the serial layer never would be).
#include <gtest/gtest.h>

#include <string>

#include "engine/command_engine.h"
#include "engine/result_code.h"
#include "fakes/fake_clock.h"
#include "fakes/fake_private_profile.h"
#include "fakes/fake_serial_devices.h"
#include "fakes/fake_usb.h"
#include "fakes/fake_user_interface.h"
#include "instrument_script.h"
#include "settings/calibration_validity.h"
#include "ui/expiry_message.h"

namespace vk605 {
namespace {

using testing::ScriptedFactor;
using testing::SpectralReply;

struct UsbEngineRig {
  testing::FakeClock clock;
  testing::FakeSerialDevices devices{clock};
  testing::FakeUsbState usb_state{clock};
  testing::FakeUsbSystem usb{usb_state};
  testing::FakePrivateProfile profile;
  testing::FakeUserInterface ui;
  SettingsBlock settings{};
  EngineState state;
  InterfaceSwitches switches;
  CurrentSettingsFile settings_file;
  CalibrationValidity validity{settings_file, profile, clock};
  DiagnosticsLog log{clock};
  CommChannel channel{devices, usb, clock, log};
  ExpiryMessage expiry{ui};
  CommandEngine engine{EngineContext{settings, state, switches, channel, log, ui, clock, validity, expiry}};

  UsbEngineRig() {
    ApplyDefaults(settings);
    ResetStatusTexts(state);
    CopyField(settings.Port, "USB");
    settings.CommPortType = 2;
    usb_state.AddDevice(0x0105, true);
    for (const char* step :
         {"0005CF\r", "000CCF\r", "0101SM\r", "0004CF\r", "000BCF\r", "1241CF\r", "0108CF\r", "0601SM\r"}) {
      usb_state.replies[step] = "<00>\r\n";
    }
    usb_state.replies["\r"] = ">\r\n";
    usb_state.replies["BR\r"] = "9600\r\n<00>\r\n";
    usb_state.replies["00SN\r"] = "12345\r\n<00>\r\n";
    usb_state.replies["SV\r"] = "VK605 V1.07\r\n<00>\r\n";
    usb_state.replies["01XD\r"] = "00\r\n<00>\r\n";
    usb_state.replies["AT\r,"] = "LAV\r\n<00>\r\n";
    usb_state.replies["104GF\r"] = SpectralReply();
  }
  ~UsbEngineRig() { engine.JoinWorkers(); }
};

TEST(TriggerOverUsb, AcknowledgementOnTheBridgeDeliversTheSpectrum) {
  UsbEngineRig rig;
  char text[kTextBufferSize] = {};
  ASSERT_EQ(rig.engine.ReadHead(0, nullptr, nullptr, text), 0u);
  EXPECT_EQ(rig.devices.open_attempts(), 0);
  // The instrument acknowledges the trigger some time after it was armed.
  rig.usb_state.follow = {{"0101SM\r", ""}, {"\r", "<00>\r\n"}};
  rig.usb_state.writes.clear();
  double spectra[kSpectrumPoints] = {};
  EXPECT_EQ(rig.engine.ReadHead(code::kTrigger, spectra, nullptr, text), 0u);
  for (int i = 0; i < kMeasuredPoints; ++i) EXPECT_DOUBLE_EQ(spectra[4 + i], ScriptedFactor(i)) << i;
  EXPECT_STREQ(text, "CREILL");
  EXPECT_EQ(rig.devices.open_attempts(), 0);
}

TEST(TriggerOverUsb, NoAcknowledgementEndsWith122) {
  UsbEngineRig rig;
  char text[kTextBufferSize] = {};
  ASSERT_EQ(rig.engine.ReadHead(0, nullptr, nullptr, text), 0u);
  double spectra[kSpectrumPoints] = {};
  EXPECT_EQ(rig.engine.ReadHead(code::kTrigger, spectra, nullptr, text),
            static_cast<unsigned>(result::kTriggerAborted));
  EXPECT_GT(rig.clock.TickMs(), 30000u);
}

}  // namespace
}  // namespace vk605
