// The pure reply checks and parsers: first reply line (version, status), serial-number line, calibrated
// and accepted checks, and the spectral parser. Input: the reply bytes.
#include <cmath>
#include <string>

#include "engine/protocol_replies.h"
#include "fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using vk605::fuzz::Fail;
  std::string_view reply(reinterpret_cast<const char*>(data), size);

  std::string line = vk605::FirstReplyLine(reply);
  if (line.size() > reply.size()) Fail("first line longer than the reply");
  if (line.find_first_of("\r\n") != std::string::npos) Fail("first line holds a line end");

  std::optional<std::string> serial = vk605::SerialNumberLine(reply);
  if (serial) {
    if (!reply.starts_with(*serial)) Fail("serial line is not a prefix of the reply");
    if (serial->find_first_not_of("\r\n") == std::string::npos) Fail("serial line of line ends only");
  }

  vk605::ReportsCalibrated(reply);
  vk605::IsAccepted(reply);

  constexpr double kUntouched = -12345.0;
  double values[vk605::kSpectrumPoints];
  for (double& v : values) v = kUntouched;
  if (vk605::ParseSpectralReply(reply, values)) {
    for (double v : values) {
      if (!std::isfinite(v)) Fail("spectral value not finite");
      if (v < 0.00001) Fail("spectral value below the clamp");
    }
    for (int i = 0; i < 4; ++i) {
      if (values[i] != values[4]) Fail("360-390 nm do not copy 400 nm");
    }
    for (int i = 35; i < vk605::kSpectrumPoints; ++i) {
      if (values[i] != values[34]) Fail("710-750 nm do not copy 700 nm");
    }
  } else {
    for (double v : values) {
      if (v != kUntouched) Fail("failed parse wrote the values");
    }
  }
  // A NUL-terminated copy, the way the engine hands its reply buffer to the parser.
  std::string terminated(reply);
  vk605::ParseSpectralReply(terminated.c_str(), nullptr);
  return 0;
}
