#include "api/measurement_commands.h"

#include <cctype>
#include <cstdio>
#include <cstring>

#include "api/driver_app.h"
#include "api/profiling_adapters.h"
#include "engine/engine_state.h"
#include "engine/result_code.h"
#include "engine/vk605_instrument.h"
#include "platform/module_info.h"
#include "profiling/profile_spectrum.h"
#include "settings/shared_flag.h"

namespace vk605 {

int MeasurementCommands::InitializeDriver() {
  s_.log.LogLine("EXPORT: InitializeDriver");
  int options = 0;
  char scratch[kTextBufferSize] = {};
  int result = static_cast<int>(s_.engine.ReadHead(code::kInit, nullptr, &options, scratch));
  s_.validity.Load(s_.state.settings.SerialNumber, s_.settings_directory, s_.path_separator);
  if (!s_.validity.Path().empty() && s_.profile.IsOversized(s_.validity.Path())) {
    LogOversized(s_.log, s_.validity.Path());
  }
  return result;
}

int MeasurementCommands::Measure(unsigned command_code, double* spectra, int* options) {
  SettingsBlock& settings = s_.state.settings;
  StoreFlag(s_.state.host.Profiled, 0);
  if (s_.validity.IsExpired(s_.expiry) != 0) return result::kCalibrationExpired;
  char scratch[kTextBufferSize] = {};
  int result = static_cast<int>(s_.engine.ReadHead(command_code, spectra, options, scratch));
  if (result != 0) return result;
  if (s_.validity.IsCountRuleOn() != 0) s_.validity.CountMeasurement();
  Vk605Instrument instrument(s_.engine.Context());
  if (spectra != nullptr) {
    ProfilingInputs inputs{settings.CalveraEnabled, settings.Communications, settings.SerialNumber};
    int profiled = 0;
    InstrumentEmbeddedProfiling embedded(instrument);
    UiProfilingAlerts alerts(s_.ui);
    ProfileSpectrum(spectra, settings.SpecularMode, settings.Mode, inputs, embedded,
                    ProfilingServices{s_.components, s_.registry, alerts, s_.log}, profiled);
    StoreFlag(s_.state.host.Profiled, profiled);
  }
  return instrument.ProcessSpectra(spectra);
}

int MeasurementCommands::MeasureTwoChannels(unsigned command_code, double* spectra, int* options,
                                            char* status) {
  StoreFlag(s_.state.host.Profiled, 0);
  if (s_.validity.IsExpired(s_.expiry) != 0) return result::kCalibrationExpired;
  char scratch[kTextBufferSize] = {};
  char* text = status != nullptr ? status : scratch;
  int result = static_cast<int>(s_.engine.ReadHead(command_code, spectra, options, text));
  if (result != 0) return result;
  return result::kFeatureNotSupported;
}

int MeasurementCommands::MeasureGloss() {
  StoreFlag(s_.state.host.Profiled, 0);
  if (s_.validity.IsExpired(s_.expiry) != 0) return result::kCalibrationExpired;
  return result::kNotSupportedByInstrument;
}

int MeasurementCommands::PerformCalibration() {
  const std::uint32_t confirmed_before = s_.state.engine.ConfirmedCalibrations.load();
  char scratch[kTextBufferSize] = {};
  int result = static_cast<int>(s_.engine.ReadHead(code::kCalibrate, nullptr, nullptr, scratch));
  // The result stays the connect-on-demand result (the host reads the outcome from the calibration
  // status), and the expiry period restarts whatever it is; but only for a calibration the instrument
  // confirmed: a cancelled, refused or never-started one leaves the record as it was.
  const bool confirmed = s_.state.engine.ConfirmedCalibrations.load() != confirmed_before;
  if (s_.state.settings.Calibrated != 0 && confirmed) s_.validity.ResetAfterCalibration();
  return result;
}

int MeasurementCommands::RunCode(unsigned command_code) {
  char scratch[kTextBufferSize] = {};
  return static_cast<int>(s_.engine.ReadHead(command_code, nullptr, nullptr, scratch));
}

int MeasurementCommands::GetCalibrationStatus(char* out) {
  s_.log.LogLine("EXPORT: GetCalibrationStatus");
  CopyTextTo(s_.state.engine, s_.state.engine.CalibrationStatus, out);
  return 0;
}

int MeasurementCommands::GetInstrumentStatus(char* out) {
  s_.log.LogLine("EXPORT: GetInstrumentStatus");
  if (out == nullptr) return 0;
  std::string status = LoadText(s_.state.engine, s_.state.engine.InstrumentStatus).substr(0, kStatusLength);
  std::memcpy(out, status.c_str(), status.size() + 1);
  out[7] = '\0';
  return 0;
}

int MeasurementCommands::GetMeasurementStatus(char* out) {
  s_.log.LogLine("EXPORT: GetMeasurementStatus");
  CopyTextTo(s_.state.engine, s_.state.engine.MeasurementStatus, out);
  return 0;
}

int MeasurementCommands::GetCurrentStatus(char* out) {
  s_.log.LogLine("EXPORT: GetCurrentStatus");
  return GetInstrumentStatus(out);
}

int MeasurementCommands::GetSerialNumber(char* out) {
  s_.log.LogLine("EXPORT: GetSerialNumber");
  char* serial = s_.state.settings.SerialNumber;
  int result = static_cast<int>(s_.engine.ReadHead(code::kReset, nullptr, nullptr, serial));
  CopyText(out, serial);
  return result;
}

int MeasurementCommands::IsValidInstrument() {
  s_.log.LogLine("EXPORT: IsValidInstrument");
  SettingsBlock& settings = s_.state.settings;
  if (settings.ModelPrefix[0] == '\0' || settings.SerialNumber[0] == '\0') return 0;
  // Both texts stay upper case afterwards: hosts compare them again themselves.
  for (char& c : settings.ModelPrefix) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  for (char& c : settings.SerialNumber) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  std::size_t length = std::strlen(settings.ModelPrefix);
  return std::strncmp(settings.SerialNumber, settings.ModelPrefix, length) == 0 ? 1 : 0;
}

int MeasurementCommands::GetReady() {
  s_.log.LogLine("EXPORT: GetReady");
  return s_.state.settings.Ready;
}

int MeasurementCommands::GetFirmwareVersion(char* out) {
  return static_cast<int>(s_.engine.ReadHead(code::kVersion, nullptr, nullptr, out));
}

int MeasurementCommands::GetDriverVersion(char* out) {
  std::optional<std::string> version = ProductVersion(s_.module_path);
  char text[80];
  std::snprintf(text, sizeof(text), "Product Version: %s", version ? version->c_str() : "unknown");
  CopyText(out, text);
  return 0;
}

}  // namespace vk605
