// vk605 measure: readings with their colour values, written as a table, CSV, JSON or CGATS, and plotted.
#include <unistd.h>

#include <array>
#include <cstdlib>
#include <cstring>
#include <string>

#include "calibration_record.h"
#include "commands.h"
#include "measurement_report.h"
#include "output.h"
#include "session.h"
#include "spectrum_plot.h"
#include "tool_error.h"

namespace vk605::tool {

namespace {

constexpr int kMaxReadings = 1000;

bool TerminalShowsTrueColour() {
  const char* colour = std::getenv("COLORTERM");
  return ::isatty(STDOUT_FILENO) == 1 && colour != nullptr &&
         (std::strcmp(colour, "truecolor") == 0 || std::strcmp(colour, "24bit") == 0);
}

std::string Render(const MeasurementReport& report, const std::string& format, bool to_terminal) {
  if (format == "table") return FormatTable(report, to_terminal && TerminalShowsTrueColour());
  if (format == "csv") return FormatCsv(report);
  if (format == "json") return FormatJson(report);
  if (format == "cgats") return FormatCgats(report);
  return FormatSpect(report);
}

Provenance Describe(Session& session) {
  InstrumentIdentity identity = session.Identity();
  Provenance provenance;
  provenance.model = identity.model;
  provenance.serial = identity.serial;
  provenance.firmware = identity.firmware;
  provenance.driver_version = identity.driver_version;
  provenance.calibration_time =
      ReadCalibrationRecord(CalibrationFilePath(session.SettingsDirectory(), identity.identification))
          .calibration_date;
  std::array<char, 16> status{};
  session.Api().GetInstrumentStatus(status.data());
  provenance.specular_mode = status[2] == 'E' ? "excluded" : (status[2] == 'I' ? "included" : "unknown");
  provenance.port = session.Port();
  provenance.created = NowUtc();
  provenance.tool_version = ToolVersion();
  return provenance;
}

}  // namespace

ExitCode RunMeasure(const Invocation& invocation) {
  CommandArgs args("measure", invocation.args, {"-n", "--format", "-o", "--output", "--plot"}, {"--trigger"});
  const GlobalOptions& global = invocation.global;
  int count = args.Value("-n") ? ParseCount(*args.Value("-n"), 1, kMaxReadings, "-n") : 1;
  std::string format = args.Value("--format").value_or(global.json ? "json" : "table");
  if (format != "table" && format != "csv" && format != "json" && format != "cgats" && format != "spect") {
    throw ToolError(ExitCode::kUsage, "measure: --format is table, csv, json, cgats or spect, not " + format);
  }
  std::string output_file = args.Value("-o").value_or(args.Value("--output").value_or(""));
  std::string plot_file = args.Value("--plot").value_or("");
  bool trigger = args.Has("--trigger");
  if (!args.Positional().empty())
    throw ToolError(ExitCode::kUsage, "measure: unexpected " + args.Positional()[0]);

  Colorimeter colorimeter;  // before the instrument: missing colour data fails at once
  Output out(global.json);
  Session session(global);
  session.Initialize();
  const DriverApi& api = session.Api();
  MeasurementReport report;
  report.provenance = Describe(session);
  for (int i = 0; i < count; ++i) {
    if (count > 1) std::fprintf(stderr, "reading %d of %d\n", i + 1, count);
    Spectrum spectrum{};
    int result =
        trigger ? api.PerformTriggerMeasurement(spectrum.data(), 1) : api.PerformMeasurement(spectrum.data());
    if (result != 0) {
      ResultMeaning meaning = DescribeResult(session, result);
      if (i > 0) meaning.text += " after " + std::to_string(i) + " reading(s); nothing written";
      throw ToolError(meaning.exit, meaning.text);
    }
    Reading reading = Evaluate(colorimeter, spectrum);
    reading.time = NowUtc();
    report.readings.push_back(reading);
  }
  if (report.readings.size() > 1) report.summary = Summarise(colorimeter, report.readings);

  std::string text = Render(report, format, output_file.empty());
  if (output_file.empty()) {
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
  } else {
    WriteFileOrFail(output_file, text);
    out.Text("wrote " + output_file + " (" + format + ")\n");
    out.Object(JsonObject().Add("kind", "file").Add("path", output_file).Add("format", format));
  }
  if (!plot_file.empty()) {
    PlotSpectra(report, plot_file);
    out.Text("wrote " + plot_file + " (plot)\n");
    out.Object(JsonObject().Add("kind", "file").Add("path", plot_file).Add("format", "plot"));
  }
  return ExitCode::kOk;
}

}  // namespace vk605::tool
