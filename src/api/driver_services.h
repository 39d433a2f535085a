#pragma once

#include <string>

#include "api/driver_state.h"
#include "diagnostics/diagnostics_log.h"
#include "engine/command_engine.h"
#include "lighttest/light_level_results.h"
#include "platform/clock.h"
#include "platform/private_profile.h"
#include "platform/profiling_component.h"
#include "platform/registry.h"
#include "settings/calibration_validity.h"
#include "settings/current_settings_file.h"
#include "ui/user_interface.h"

namespace vk605 {

// Everything the export bodies work with. The driver's runtime owns each piece; tests build their own.
struct DriverServices {
  DriverState& state;
  CommandEngine& engine;
  CalibrationValidity& validity;
  ExpiryNotifier& expiry;
  DiagnosticsLog& log;
  UserInterface& ui;
  CurrentSettingsFile& settings_file;
  PrivateProfile& profile;
  Registry& registry;
  ProfilingComponents& components;
  LightLevelTestResults& light_level;
  // Where VK605.INI and the calibration files live, and how paths are joined there.
  std::string settings_directory;
  char path_separator;
  std::string module_path;
};

}  // namespace vk605
