#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "reference_profile.h"

namespace vk605::reference {

// One instance of the reference component: the profile it loaded, if any. Both front ends (the shared
// library table and the COM server) forward to it.
class ReferenceInstance {
 public:
  std::int32_t ProfileLoaded(bool& loaded) const;
  // Fails (0x80040201, "IDispatch error #1") without a loaded profile.
  std::int32_t CreationDate(double& date) const;
  std::int32_t Description(std::string& text) const;
  std::int32_t LoadProfile(const std::string& path, bool& loaded);
  std::int32_t Correct(bool transmission, float* values, std::int32_t specular_included,
                       bool& corrected) const;

 private:
  std::optional<ReferenceProfile> profile_;
};

}  // namespace vk605::reference
