#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/profiling_component.h"
#include "platform/registry.h"
#include "profiling/profiling_alerts.h"

namespace vk605 {

// A per-use client of the spectral profiling component: opens it for an instrument's serial number,
// loads that instrument's profile and corrects spectra in place.
class ProfilingClient {
 public:
  ProfilingClient(ProfilingComponents& components, Registry& registry, ProfilingAlerts& alerts)
      : components_(components), registry_(registry), alerts_(alerts) {}

  // 0 when a profile is loaded, 401 otherwise.
  int Open(const std::string& serial_number);
  // spectrum: 40 values; specular_flag 0 = specular component included; mode 0 reflectance,
  // 1 transmission. 0 corrected (or nothing to do), 1 failed.
  int Apply(double* spectrum, int specular_flag, int mode);
  int Close();
  // "V2", or with a loaded profile "V2\rcreated=<date>\r". text must hold 33 bytes.
  int Signature(char* text);
  int IsComponentRunning() const { return component_running_; }
  int IsProfileLoaded() const { return profile_loaded_; }

 private:
  std::optional<std::string> ProfilePath();
  void ShowComponentError(ComponentStatus status);

  ProfilingComponents& components_;
  Registry& registry_;
  ProfilingAlerts& alerts_;
  std::unique_ptr<ProfilingComponent> component_;
  int profile_loaded_ = 0;
  int component_running_ = 0;
  std::string serial_number_;
};

}  // namespace vk605
