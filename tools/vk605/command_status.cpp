// vk605 status: what the instrument and the driver report.
#include <array>
#include <string>

#include "calibration_record.h"
#include "commands.h"
#include "output.h"
#include "session.h"

namespace vk605::tool {

namespace {

std::string SpecularMode(char flag) {
  if (flag == 'E') return "excluded";
  if (flag == 'I') return "included";
  return "unknown";
}

}  // namespace

ExitCode RunStatus(const Invocation& invocation) {
  CommandArgs args("status", invocation.args, {}, {});
  Output out(invocation.global.json);
  Session session(invocation.global);
  session.Initialize();
  const DriverApi& api = session.Api();
  // A status query refreshes the instrument status text; it reports 1 when the instrument answered.
  bool communicating = api.GetCommunications() == 1;
  std::array<char, 16> status{};
  api.GetInstrumentStatus(status.data());
  std::string status_text(status.data());
  InstrumentIdentity identity = session.Identity();
  CalibrationRecord record =
      ReadCalibrationRecord(CalibrationFilePath(session.SettingsDirectory(), identity.identification));
  bool calibrated = !status_text.empty() && status_text[0] == 'C';
  bool emulation = api.GetEmulationMode() != 0;
  std::string specular = SpecularMode(status_text.size() > 2 ? status_text[2] : '?');
  std::string expiry = std::string(record.time_rule ? "time rule on (" : "time rule off (") +
                       std::to_string(record.hours) + " h " + std::to_string(record.minutes) + " min), " +
                       (record.count_rule ? "count rule on (" : "count rule off (") +
                       std::to_string(record.measurement_count) + " of " +
                       std::to_string(record.measurement_limit) + " measurements)";

  out.Object(JsonObject()
                 .Add("kind", "status")
                 .Add("vendor", "Orvanta")
                 .Add("model", identity.model)
                 .Add("serial", identity.serial)
                 .Add("firmware", identity.firmware)
                 .Add("driver_version", identity.driver_version)
                 .Add("state", communicating ? "idle" : "unavailable")
                 .Add("mode", "reflectance")
                 .Add("specular_mode", specular)
                 .Add("instrument_status", status_text)
                 .Add("calibrated", calibrated)
                 .Add("calibration_time", record.calibration_date)
                 .Add("calibration_expires", record.expiration)
                 .Add("time_rule", record.time_rule)
                 .Add("count_rule", record.count_rule)
                 .Add("measurement_count", record.measurement_count)
                 .Add("measurement_limit", record.measurement_limit)
                 .Add("emulation", emulation)
                 .Add("profiling_enabled", api.IsCalveraEnabled() != 0)
                 .Add("profiling_active", api.IsCalveraActive() != 0)
                 .Add("port", session.Port())
                 .Add("driver", session.LibraryPath()));
  out.Text(
      "Instrument      " + identity.model + " serial " + identity.serial + " on " + session.Port() + "\n" +
      "Status          " + status_text + (communicating ? " (answering)" : " (not answering)") + "\n" +
      "Calibration     " + (calibrated ? "calibrated" : "NOT calibrated") +
      (record.calibration_date.empty() ? std::string() : ", last " + record.calibration_date) +
      (record.time_rule && !record.expiration.empty() ? ", expires " + record.expiration : std::string()) +
      "\n" + "Expiry          " + expiry + "\n" + "Specular        " + specular + "\n" + "Firmware        " +
      identity.firmware + "\n" + "Driver          " + identity.driver_version + " (" + session.LibraryPath() +
      ")\n" + "Emulation       " + (emulation ? "on" : "off") + "\n" + "Profiling       " +
      (api.IsCalveraEnabled() ? "enabled" : "disabled") +
      (api.IsCalveraActive() ? ", active" : ", inactive") + "\n");
  return calibrated || emulation ? ExitCode::kOk : ExitCode::kNotCalibrated;
}

}  // namespace vk605::tool
