#include "api/driver_app.h"

#include <string>

#include "api/settings_exchange.h"
#include "engine/engine_state.h"
#include "platform/com_runtime.h"
#include "settings/ini_document.h"
#include "settings/settings_paths.h"
#include "ui/driver_strings.h"

namespace vk605 {

DriverApp::DriverApp(DriverAppContext context) : ctx_(std::move(context)) {
  // The subkey keeps its leading separator, so the key path has two in a row before
  // "Spectrophotometers"; the registry treats a run of separators as one.
  ctx_.log.StartFromRegistry(ctx_.registry, "\\Spectrophotometers\\VK605");
}

DriverApp::~DriverApp() {
  WriteBack();
}

int DriverApp::Startup() {
  InitializeComForThread();
  SettingsBlock& settings = ctx_.state.settings;
  ApplyDefaults(settings);
  std::string path = LocateMainSettingsFile(ctx_.settings_directory, ctx_.path_separator, ctx_.profile);
  if (!path.empty()) {
    settings_path_ = path;
    ctx_.settings_file.Set(path);
    if (ctx_.profile.IsOversized(path)) LogOversized(ctx_.log, path);
  }
  ResetStatusTexts(ctx_.state.engine);

  IniDocument main("MAIN", ctx_.settings_file, ctx_.profile);
  ExchangePortSettings(main, settings, 0);
  main.ExchangeInt("CALVERA_STATE", &settings.CalveraEnabled, 0);
  main.ExchangeInt("MODE", &settings.Mode, 0);
  main.ExchangeInt("HOLD_PORT_OPEN", &settings.HoldPortOpen, 0);
  ctx_.channel.SetHoldPortOpen(settings.HoldPortOpen);

  if (settings.CalveraEnabled != 0 && !InitializeOle()) {
    ctx_.ui.MessageBox(text::kOleFailed, kDriverCaption, kMbOk | kMbIconExclamation);
  }
  PublishProfilingId();
  return 1;
}

int DriverApp::Exit() {
  ctx_.validity.Save();
  char scratch[kTextBufferSize] = {};
  ctx_.engine.ReadHead(code::kClose, nullptr, nullptr, scratch);
  ctx_.engine.JoinWorkers();
  return 0;
}

void LogOversized(DiagnosticsLog& log, const std::string& path) {
  log.LogLine("SETTINGS: " + path + " is larger than " + std::to_string(kMaxSettingsFileSize) +
              " bytes: not read, not written, defaults in use");
}

void DriverApp::PublishProfilingId() {
  ctx_.registry.WriteStringToExistingKey(kDriverRegistryKey, "CalveraID",
                                         std::to_string(ctx_.state.settings.CalveraID));
}

void DriverApp::WriteBack() {
  SettingsBlock& settings = ctx_.state.settings;
  IniDocument main("MAIN", ctx_.settings_file, ctx_.profile);
  if (ctx_.state.host.ConfiguredToProfile == 0) {
    ExchangePortSettings(main, settings, 1);
    main.ExchangeInt("MODE", &settings.Mode, 1);
    main.ExchangeInt("HOLD_PORT_OPEN", &settings.HoldPortOpen, 1);
  }
  main.ExchangeInt("CALVERA_STATE", &settings.CalveraEnabled, 1);
  ctx_.settings_file.Set("VK605");
}

}  // namespace vk605
