#pragma once

#include <string>
#include <vector>

#include "engine/command_engine.h"
#include "fakes/fake_clock.h"
#include "fakes/fake_private_profile.h"
#include "fakes/fake_serial_devices.h"
#include "fakes/fake_user_interface.h"
#include "settings/calibration_validity.h"
#include "ui/expiry_message.h"

namespace vk605::testing {

// A calibrated instrument that answers every command of the connect sequence and the status queries.
inline void ScriptInstrument(FakeSerialDevices& devices) {
  for (const char* step :
       {"0005CF\r", "000CCF\r", "0101SM\r", "0004CF\r", "000BCF\r", "1241CF\r", "0108CF\r", "0601SM\r"}) {
    devices.Reply(step, "<00>\r\n");
  }
  devices.Reply("\r", ">\r\n");
  devices.Reply("BR\r", "9600\r\n<00>\r\n");
  devices.Reply("00SN\r", "12345\r\n<00>\r\n");
  devices.Reply("SV\r", "VK605 V1.07\r\n<00>\r\n");
  devices.Reply("01XD\r", "00\r\n<00>\r\n");
  devices.Reply("AT\r,", "LAV\r\n<00>\r\n");
}

// A command engine over a scripted instrument on a fake serial line and a fake clock: the protocol's
// fixed waits cost no real time.
struct EngineRig {
  FakeClock clock;
  FakeSerialDevices devices{clock};
  FakePrivateProfile profile;
  FakeUserInterface ui;
  SettingsBlock settings{};
  EngineState state;
  InterfaceSwitches switches;
  CurrentSettingsFile settings_file;
  CalibrationValidity validity{settings_file, profile, clock};
  DiagnosticsLog log{clock};
  CommChannel channel{devices, clock, log};
  ExpiryMessage expiry{ui};
  CommandEngine engine{EngineContext{settings, state, switches, channel, log, ui, clock, validity, expiry}};

  EngineRig() {
    ApplyDefaults(settings);
    ResetStatusTexts(state);
    CopyField(settings.Port, "/dev/ttyFAKE");
    ScriptInstrument(devices);
  }

  unsigned Run(unsigned code, char* text = nullptr, double* spectra = nullptr) {
    return engine.ReadHead(code, spectra, nullptr, text);
  }
  std::string Written() {
    std::string all;
    for (const std::string& w : devices.written()) all += w;
    return all;
  }
};

}  // namespace vk605::testing
