#pragma once

#include <string>

#include "platform/registry.h"

namespace vk605 {

// A per-use client of the spectral profiling component: opens it for an instrument's serial number,
// loads that instrument's profile and corrects spectra in place.
class ProfilingClient {
 public:
  explicit ProfilingClient(Registry& registry) : registry_(registry) {}

  // 0 when a profile is loaded, 401 otherwise. No profiling component is installed in this build, so
  // the component never starts and the answer is 401.
  int Open(const std::string& serial_number);
  // 0 corrected (or nothing to do), 1 failed.
  int Apply(double* spectrum, int specular_flag, int mode);
  int Close();
  // "V2", or with a loaded profile "V2\rcreated=<date>\r".
  int Signature(char* text);
  int IsComponentRunning() const { return component_running_; }
  int IsProfileLoaded() const { return profile_loaded_; }

 private:
  Registry& registry_;
  int profile_loaded_ = 0;
  int component_running_ = 0;
  std::string serial_number_;
};

}  // namespace vk605
