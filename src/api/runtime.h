#pragma once

#include "api/configuration_commands.h"
#include "api/driver_services.h"
#include "api/measurement_commands.h"
#include "api/profiling_commands.h"
#include "ui/control_panel.h"
#include "ui/ui_dispatcher.h"

namespace vk605 {

// The driver's one global object, constructed when the library is loaded and destroyed when it is
// unloaded. Only the exported functions reach it.
DriverServices& Services();
UiDispatcher& Ui();
MeasurementCommands& Measurements();
ConfigurationCommands& Configuration();
ProfilingCommands& Profiling();
ControlPanelHost& Panel();

// Runs an export body; no exception ever reaches the host, which gets fallback instead.
template <typename R, typename F>
R Guarded(R fallback, F&& body) noexcept {
  try {
    return body();
  } catch (...) {
    return fallback;
  }
}

}  // namespace vk605
