#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vk605::reference {

inline constexpr int kPoints = 40;

// Gain and offset of one wavelength: corrected = value * gain + offset (values in percent).
struct PointCorrection {
  double gain = 1.0;
  double offset = 0.0;
};

// A reference profile as read from its text file (see example.prf for the format).
struct ReferenceProfile {
  double created = 0.0;  // automation date, local time
  std::string description;
  std::array<PointCorrection, kPoints> reflectance{};
  std::array<PointCorrection, kPoints> transmission{};
  double specular_included_offset = 0.0;
  bool refuse = false;
  std::int32_t fail_status = 0;
};

// The profile in text, or empty when the text is not a valid profile.
std::optional<ReferenceProfile> ParseReferenceProfile(std::string_view text);
std::optional<ReferenceProfile> LoadReferenceProfile(const std::string& path);

// Corrects values (kPoints values in percent) in place with the table; the outcome is the status of
// the call (the profile's fail status, or 0), and corrected tells whether the values were corrected.
std::int32_t CorrectSpectrum(const ReferenceProfile& profile, bool transmission, float* values,
                             std::int32_t specular_included, bool& corrected);

}  // namespace vk605::reference
