#pragma once

#include <string>

namespace vk605 {

// How the profiling layer tells the user that the profiling component failed; the api layer shows it
// as the driver's warning box.
class ProfilingAlerts {
 public:
  virtual ~ProfilingAlerts() = default;
  virtual void ShowComponentError(const std::string& text) = 0;
};

}  // namespace vk605
