#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>

namespace vk605::sim {

// The instrument reports 31 reflectance percentages, 400 nm to 700 nm in 10 nm steps.
inline constexpr std::size_t kSpectrumValues = 31;
using Spectrum = std::array<double, kSpectrumValues>;

// A light cream sample: a little blue absorbed, flat and bright towards the red end.
inline constexpr Spectrum kDefaultSpectrum = {52.31, 56.04, 59.87, 63.12, 65.80, 67.94, 69.61, 70.95,
                                              72.03, 72.92, 73.66, 74.30, 74.87, 75.39, 75.86, 76.30,
                                              76.71, 77.09, 77.45, 77.79, 78.11, 78.41, 78.69, 78.95,
                                              79.19, 79.41, 79.61, 79.79, 79.95, 80.09, 80.21};

// What goes wrong with every reply (or with the replies named in fault_only).
enum class Fault { kNone, kCut, kTrickle, kNoise, kStar, kOversize };

// Shape of the spectral reply: all 31 values, only the first 20, or unreadable fields.
enum class SpectrumForm { kNormal, kShort, kGarbage };

// Everything about the simulated instrument that a test or a demo can choose. Command names are the
// command texts without their carriage return (and without the comma of "AT\r,"): "RM", "AT", "" for the
// bare wake-up CR. The trigger acknowledgement is named "TRIGGER".
struct SimSettings {
  std::string serial_number = "12345";
  std::string firmware_version = "VK605 V1.07";
  bool calibrated = true;
  unsigned calibrate_after = 0;  // 0: calibration prompts never change the state
  bool refuse_measure = false;
  SpectrumForm spectrum_form = SpectrumForm::kNormal;
  Spectrum spectrum = kDefaultSpectrum;
  std::uint32_t reply_delay_ms = 0;
  std::map<std::string, std::uint32_t> command_delay_ms;  // overrides reply_delay_ms per command
  std::set<std::string> silent;
  std::optional<std::uint32_t> trigger_after_ms = 2000;  // empty: the instrument never triggers
  Fault fault = Fault::kNone;
  std::set<std::string> fault_only;  // empty: the fault hits every reply
  std::uint32_t seed = 1;
};

}  // namespace vk605::sim
