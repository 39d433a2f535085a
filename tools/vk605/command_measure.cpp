// vk605 measure: readings with their colour values, written as a table, CSV, JSON, CGATS or Argyll's
// files, and plotted.
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <optional>
#include <string>

#include "calibration_record.h"
#include "commands.h"
#include "measurement_report.h"
#include "output.h"
#include "session.h"
#include "spectrum_plot.h"
#include "terminal_ui.h"
#include "tool_error.h"

namespace vk605::tool {

namespace {

namespace fs = std::filesystem;

constexpr int kMaxReadings = 1000;

bool TerminalShowsTrueColour() {
  const char* colour = std::getenv("COLORTERM");
  return ::isatty(STDOUT_FILENO) == 1 && colour != nullptr &&
         (std::strcmp(colour, "truecolor") == 0 || std::strcmp(colour, "24bit") == 0);
}

constexpr const char* kFormats[] = {"table", "csv", "json", "cgats", "spect", "ti3", "sp"};

std::string Render(const MeasurementReport& report, const std::string& format, bool to_terminal) {
  if (format == "table") return FormatTable(report, to_terminal && TerminalShowsTrueColour());
  if (format == "csv") return FormatCsv(report);
  if (format == "json") return FormatJson(report);
  if (format == "cgats") return FormatCgats(report);
  if (format == "ti3") return FormatArgyllTi3(report);
  if (format == "sp") return FormatArgyllSp(report);
  return FormatSpect(report);
}

// A file the command will write must be writable before the first reading is taken: its directory exists
// and takes a new file (tried, not guessed from the mode bits), and the name is no directory.
void RequireWritable(const std::string& option, const std::string& path) {
  fs::path target(path);
  std::error_code error;
  if (fs::is_directory(target, error)) {
    throw ToolError(ExitCode::kUsage, "measure: " + option + " " + path + " is a directory");
  }
  fs::path directory = target.parent_path().empty() ? fs::path(".") : target.parent_path();
  std::string probe = (directory / ".vk605-probe-XXXXXX").string();
  int fd = ::mkstemp(probe.data());
  if (fd < 0) {
    throw ToolError(ExitCode::kUsage, "measure: " + option + " " + path + ": cannot create a file in " +
                                          directory.string() + ": " + std::strerror(errno));
  }
  ::close(fd);
  ::unlink(probe.c_str());
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
  CommandArgs args(
      "measure", invocation.args,
      {"-n", "--format", "-o", "--output", "--plot", "--illuminant", "--observer", "--reference"},
      {"--trigger"});
  const GlobalOptions& global = invocation.global;
  int count = args.Value("-n") ? ParseCount(*args.Value("-n"), 1, kMaxReadings, "-n") : 1;
  std::string format = args.Value("--format").value_or(global.json ? "json" : "table");
  if (std::find(std::begin(kFormats), std::end(kFormats), format) == std::end(kFormats)) {
    throw ToolError(ExitCode::kUsage,
                    "measure: --format is table, csv, json, cgats, spect, ti3 or sp, not " + format);
  }
  std::string output_file = args.Value("-o").value_or(args.Value("--output").value_or(""));
  std::string plot_file = args.Value("--plot").value_or("");
  bool trigger = args.Has("--trigger");
  if (!args.Positional().empty())
    throw ToolError(ExitCode::kUsage, "measure: unexpected " + args.Positional()[0]);
  // Everything that can be refused is refused before the instrument is touched.
  if (!plot_file.empty()) {
    RequirePlotName(plot_file);
    RequireWritable("--plot", plot_file);
  }
  if (!output_file.empty()) RequireWritable("-o", output_file);
  Colorimeter colorimeter(args.Value("--illuminant").value_or("D65"),
                          args.Value("--observer").value_or("10"));
  MeasurementReport report;
  report.illuminant = colorimeter.Illuminant();
  report.observer = colorimeter.Observer();
  if (args.Value("--reference")) report.reference = LoadReference(*args.Value("--reference"), colorimeter);

  Output out(global.json);
  Session session(global);
  session.Initialize();
  const DriverApi& api = session.Api();
  report.provenance = Describe(session);
  std::optional<ToolError> failure;
  for (int i = 0; i < count && !TerminalUi::Interrupted(); ++i) {
    if (count > 1) std::fprintf(stderr, "reading %d of %d\n", i + 1, count);
    Spectrum spectrum{};
    int result =
        trigger ? api.PerformTriggerMeasurement(spectrum.data(), 1) : api.PerformMeasurement(spectrum.data());
    if (result != 0) {
      ResultMeaning meaning = DescribeResult(session, result);
      if (i > 0) meaning.text += " after " + std::to_string(i) + " of " + std::to_string(count) + " readings";
      failure.emplace(meaning.exit, meaning.text);
      break;
    }
    Reading reading = Evaluate(colorimeter, spectrum);
    reading.time = NowUtc();
    if (report.reference)
      reading.de2000_reference = Colorimeter::DeltaE2000(reading.lab, report.reference->lab);
    report.readings.push_back(reading);
    // Each reading goes out as it is taken, so a script sees it even if a later one fails.
    if (global.json) {
      std::string line = FormatReadingJson(reading, i + 1, count) + "\n";
      std::fwrite(line.data(), 1, line.size(), stdout);
      std::fflush(stdout);
    }
  }
  if (report.readings.empty()) {
    if (failure) throw *failure;
    return ExitCode::kOk;  // interrupted before the first reading; the caller reports the interruption
  }
  if (report.readings.size() > 1) report.summary = Summarise(colorimeter, report.readings);
  CompareWithReference(report);

  ExitCode exit = ExitCode::kOk;
  std::string text = Render(report, format, output_file.empty());
  if (output_file.empty()) {
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
  } else if (std::error_code error = ReplaceFileAtomically(output_file, text)) {
    // The readings are never lost: what could not go to the file goes to stdout.
    std::fprintf(stderr, "vk605: cannot write %s: %s; the readings follow on stdout instead\n",
                 output_file.c_str(), error.message().c_str());
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
    exit = ExitCode::kNotWritten;
  } else {
    out.Text("wrote " + output_file + " (" + format + ")\n");
    out.Object(JsonObject().Add("kind", "file").Add("path", output_file).Add("format", format));
  }
  if (!plot_file.empty()) {
    try {
      PlotSpectra(report, plot_file);
      out.Text("wrote " + plot_file + " (plot)\n");
      out.Object(JsonObject().Add("kind", "file").Add("path", plot_file).Add("format", "plot"));
    } catch (const ToolError& error) {
      std::fprintf(stderr, "vk605: %s; the readings are in the output above\n", error.what());
      exit = ExitCode::kNotWritten;
    }
  }
  if (failure) {
    throw ToolError(failure->Code(), std::string(failure->what()) + "; the readings taken are in the output");
  }
  if (exit != ExitCode::kOk) {
    throw ToolError(exit, "not every file was written (exit code 8); no reading was lost");
  }
  return ExitCode::kOk;
}

}  // namespace vk605::tool
