#pragma once

#include "diagnostics/diagnostics_log.h"
#include "engine/engine_state.h"
#include "engine/instrument_interface.h"
#include "platform/clock.h"
#include "settings/calibration_validity.h"
#include "settings/settings_block.h"
#include "transport/comm_channel.h"
#include "ui/user_interface.h"

namespace vk605 {

// What the command engine works with; the driver's runtime owns each piece, unit tests build their own.
struct EngineContext {
  SettingsBlock& settings;
  EngineState& state;
  InterfaceSwitches& switches;
  CommChannel& channel;
  DiagnosticsLog& log;
  UserInterface& ui;
  Clock& clock;
  CalibrationValidity& validity;
  ExpiryNotifier& expiry;
};

}  // namespace vk605
