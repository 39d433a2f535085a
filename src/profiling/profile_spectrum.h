#pragma once

#include <string>

#include "diagnostics/diagnostics_log.h"
#include "platform/profiling_component.h"
#include "platform/registry.h"
#include "profiling/embedded_profiling.h"
#include "profiling/profiling_alerts.h"

namespace vk605 {

// What the profiling step reads and sets in the driver state.
struct ProfilingInputs {
  int calvera_enabled;
  int communications;
  std::string serial_number;
};

// What the profiling step works with.
struct ProfilingServices {
  ProfilingComponents& components;
  Registry& registry;
  ProfilingAlerts& alerts;
  DiagnosticsLog& log;
};

// Passes one measured spectrum (40 values, corrected in place) through the profiling component and
// traces it before and after. profiled is set to 1 when a profile was applied. Result 0, 114, 125 or 401.
int ProfileSpectrum(double* spectrum, int specular_flag, int mode, const ProfilingInputs& inputs,
                    EmbeddedProfiling& instrument, const ProfilingServices& services, int& profiled);

}  // namespace vk605
