#include "api/runtime.h"

#include <string>

#include "api/driver_app.h"
#include "platform/module_info.h"
#include "platform/panel_toolkit.h"
#include "platform/platform_ui.h"
#include "platform/serial_device.h"
#include "platform/system_notices.h"
#include "platform/usb_bridge.h"
#include "settings/settings_paths.h"
#include "transport/comm_channel.h"
#include "ui/expiry_message.h"

namespace vk605 {
namespace {

std::string DirectoryForSettings(const std::string& module_path) {
  PathStyle style = PathSeparator() == '\\' ? PathStyle::kWindows : PathStyle::kPosix;
  return SettingsDirectory(ModuleDirectoryOf(module_path, style));
}

// Members are constructed in this order and destroyed in the reverse: the calibration record, the
// light-level lists, the channel, the log and last the application object, whose destructor writes the
// settings back before anything else goes.
class Runtime {
 public:
  Runtime()
      : module_path_(ModuleFilePath()),
        settings_directory_(DirectoryForSettings(module_path_)),
        validity_(settings_file_, SystemPrivateProfile(), SystemClock()),
        channel_(SystemSerialDevices(), SystemUsb(), SystemClock(), log_),
        log_(SystemClock(), SystemLogNotices()),
        ui_(SystemPlatformUi(), log_),
        expiry_(ui_),
        engine_(EngineContext{state_.settings, state_.engine, state_.switches, channel_, log_, ui_,
                              SystemClock(), validity_, expiry_}),
        services_{state_,
                  engine_,
                  validity_,
                  expiry_,
                  log_,
                  ui_,
                  settings_file_,
                  SystemPrivateProfile(),
                  SystemRegistry(),
                  SystemProfilingComponents(),
                  light_level_,
                  settings_directory_,
                  PathSeparator(),
                  module_path_},
        measurements_(services_),
        configuration_(services_),
        profiling_(services_),
        panel_(SystemPanelToolkit()),
        app_(DriverAppContext{state_, settings_file_, SystemPrivateProfile(), SystemRegistry(), log_,
                              validity_, channel_, ui_, engine_, settings_directory_, PathSeparator()}) {
    channel_.Usb().SetMessageSink([this](const char* text) { ui_.MessageBox(text, kDriverCaption, kMbOk); });
    app_.Startup();
  }
  ~Runtime() { app_.Exit(); }

  std::string module_path_;
  std::string settings_directory_;
  DriverState state_;
  CurrentSettingsFile settings_file_;
  CalibrationValidity validity_;
  LightLevelTestResults light_level_;
  CommChannel channel_;
  DiagnosticsLog log_;
  UiDispatcher ui_;
  ExpiryMessage expiry_;
  CommandEngine engine_;
  DriverServices services_;
  MeasurementCommands measurements_;
  ConfigurationCommands configuration_;
  ProfilingCommands profiling_;
  ControlPanelHost panel_;
  DriverApp app_;
};

Runtime g_runtime;

}  // namespace

DriverServices& Services() {
  return g_runtime.services_;
}
UiDispatcher& Ui() {
  return g_runtime.ui_;
}
MeasurementCommands& Measurements() {
  return g_runtime.measurements_;
}
ConfigurationCommands& Configuration() {
  return g_runtime.configuration_;
}
ProfilingCommands& Profiling() {
  return g_runtime.profiling_;
}
ControlPanelHost& Panel() {
  return g_runtime.panel_;
}

}  // namespace vk605
