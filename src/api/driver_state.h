#pragma once

#include <cstdint>

#include "engine/engine_state.h"
#include "engine/instrument_interface.h"
#include "settings/settings_block.h"

namespace vk605 {

// Values the driver keeps for the host and its driver-wide switches.
struct HostState {
  char Language[32] = {};
  std::int32_t DriverInstance = 0;
  std::int32_t ReferenceCount = 0;
  std::int32_t Profiled = 0;             // the last measured spectrum went through profiling
  std::int32_t ConfiguredToProfile = 0;  // while set, unload writes only CALVERA_STATE back
};

// The one global record of the driver: settings and capabilities, host bookkeeping and switches, and the
// command engine's working state.
struct DriverState {
  SettingsBlock settings{};
  HostState host;
  InterfaceSwitches switches;
  EngineState engine;
};

}  // namespace vk605
