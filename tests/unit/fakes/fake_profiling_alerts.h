#pragma once

#include <string>
#include <vector>

#include "profiling/profiling_alerts.h"

namespace vk605::testing {

// Records the component failures the profiling layer shows to the user.
class FakeProfilingAlerts : public ProfilingAlerts {
 public:
  void ShowComponentError(const std::string& text) override { shown.push_back(text); }

  std::vector<std::string> shown;
};

}  // namespace vk605::testing
