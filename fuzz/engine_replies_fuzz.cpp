// The command engine over a fake serial line whose instrument answers with fuzzed replies: connect
// (version, serial number, calibration state, status), the status and version codes and a measurement.
// Input: "SV reply\0 00SN reply\0 01XD reply\0 AT reply\0 RM reply\0 spectral reply"; the fake clock makes
// the protocol's waits and time-outs cost nothing.
#include <cmath>
#include <cstring>
#include <string>

#include "engine/engine_rig.h"
#include "fuzz_input.h"

namespace {

constexpr std::size_t kHostText = 8192;

void CheckText(const char* text) {
  if (std::memchr(text, '\0', kHostText) == nullptr) vk605::fuzz::Fail("host text not terminated");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using vk605::fuzz::Fail;
  std::vector<std::string_view> parts = vk605::fuzz::SplitInput(data, size, 6);
  vk605::testing::EngineRig rig;
  rig.devices.Reply("SV\r", std::string(parts[0]));
  rig.devices.Reply("00SN\r", std::string(parts[1]));
  rig.devices.Reply("01XD\r", std::string(parts[2]));
  rig.devices.Reply("AT\r,", std::string(parts[3]));
  rig.devices.Reply("RM\r", std::string(parts[4]));
  rig.devices.Reply("104GF\r", std::string(parts[5]));
  rig.devices.Reply("004GF\r", std::string(parts[5]));
  rig.ui.default_answer = 2;  // decline calibration prompts: the measurement itself is what is fuzzed

  static char text[kHostText];
  text[0] = '\0';
  rig.Run(0, text);
  CheckText(text);
  rig.Run(2, text);
  CheckText(text);
  rig.Run(3, text);
  CheckText(text);

  constexpr double kUntouched = -7.0;
  double spectra[40];
  for (double& v : spectra) v = kUntouched;
  unsigned result = rig.Run(8, text, spectra);
  CheckText(text);
  for (double v : spectra) {
    if (result == 0 && v != kUntouched && (!std::isfinite(v) || v < 0.00001)) Fail("bad spectral value");
    if (result != 0 && v != kUntouched) Fail("failed measurement wrote the spectrum");
  }
  return 0;
}
