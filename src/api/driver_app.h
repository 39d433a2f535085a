#pragma once

#include <string>

#include "api/driver_state.h"
#include "diagnostics/diagnostics_log.h"
#include "engine/command_engine.h"
#include "platform/private_profile.h"
#include "platform/registry.h"
#include "settings/calibration_validity.h"
#include "settings/current_settings_file.h"
#include "transport/comm_channel.h"
#include "ui/user_interface.h"

namespace vk605 {

struct DriverAppContext {
  DriverState& state;
  CurrentSettingsFile& settings_file;
  PrivateProfile& profile;
  Registry& registry;
  DiagnosticsLog& log;
  CalibrationValidity& validity;
  CommChannel& channel;
  UserInterface& ui;
  CommandEngine& engine;
  std::string settings_directory;  // where VK605.INI is located or created
  char path_separator;
};

// The library's application object: start-up when the library is loaded, exit and settings write-back
// when it is unloaded.
class DriverApp {
 public:
  // Starts the diagnostics log from the registry.
  explicit DriverApp(DriverAppContext context);
  // Writes section MAIN back (only CALVERA_STATE while ConfiguredToProfile is set).
  ~DriverApp();
  DriverApp(const DriverApp&) = delete;
  DriverApp& operator=(const DriverApp&) = delete;

  // Defaults, VK605.INI located (or created) and loaded with write-back, the profiling identifier
  // published. Never fails; the instrument is not contacted.
  int Startup();
  // Saves the calibration record and closes the instrument (reset, close port, 2 s).
  int Exit();

  const std::string& SettingsPath() const { return settings_path_; }

 private:
  void PublishProfilingId();
  void WriteBack();

  DriverAppContext ctx_;
  std::string settings_path_;
};

// Notes once that a settings file above the size limit is left alone.
void LogOversized(DiagnosticsLog& log, const std::string& path);

// The registry key of the driver below HKEY_LOCAL_MACHINE.
inline constexpr const char* kDriverRegistryKey = "Software\\Orvanta\\Spectrophotometers\\VK605";

}  // namespace vk605
