// The readable table and the CSV form of a measurement report.
#include <optional>
#include <string>

#include "measurement_report.h"
#include "text_format.h"

namespace vk605::tool {

namespace {

constexpr int kBarWidth = 40;  // characters for 100 %

std::string Bar(double factor) {
  double clamped = factor < 0 ? 0 : (factor > 1.25 ? 1.25 : factor);
  int eighths = static_cast<int>(clamped * kBarWidth * 8 + 0.5);
  static const char* kPartial[] = {"", "▏", "▎", "▍", "▌", "▋", "▊", "▉"};
  std::string bar;
  for (int i = 0; i < eighths / 8; ++i) bar += "█";
  return bar + kPartial[eighths % 8];
}

std::string Swatch(const Rgb8& rgb, bool colour) {
  if (!colour) return "";
  return "  \033[48;2;" + std::to_string(rgb.r) + ";" + std::to_string(rgb.g) + ";" + std::to_string(rgb.b) +
         "m        \033[0m";
}

std::string PadLeft(const std::string& text, std::size_t width) {
  return text.size() >= width ? text : std::string(width - text.size(), ' ') + text;
}

std::string ColourLine(const std::string& label, const Xyz& xyz, const Lab& lab, const Rgb8& rgb, bool colour,
                       const std::optional<double>& de2000_reference) {
  return label + "  XYZ " + FormatFixed(xyz.x, 2) + " " + FormatFixed(xyz.y, 2) + " " +
         FormatFixed(xyz.z, 2) + "   L*a*b* " + FormatFixed(lab.l, 2) + " " + FormatFixed(lab.a, 2) + " " +
         FormatFixed(lab.b, 2) + "   sRGB " + HexColour(rgb) +
         (de2000_reference ? "   CIEDE2000 " + FormatFixed(*de2000_reference, 2) : std::string()) +
         Swatch(rgb, colour) + "\n";
}

}  // namespace

std::string FormatTable(const MeasurementReport& report, bool colour_swatches) {
  const Provenance& p = report.provenance;
  std::string out;
  out += "Instrument " + p.model + " serial " + p.serial + ", firmware " + p.firmware + ", driver " +
         p.driver_version + "\n";
  out += "Calibrated " + (p.calibration_time.empty() ? std::string("(unknown)") : p.calibration_time) +
         ", specular component " + p.specular_mode + ", port " + p.port + "\n";
  out += report.illuminant + ", " + report.observer + " degree observer; " + CopiedEndsNote() + "\n\n";
  const std::vector<Reading>& readings = report.readings;
  std::string header = "    nm";
  for (std::size_t r = 0; r < readings.size(); ++r) header += PadLeft("#" + std::to_string(r + 1) + " %", 9);
  out += header + "   reflectance" + (readings.size() > 1 ? " (mean)" : "") + "\n";
  for (int i = 0; i < kBands; ++i) {
    std::string row = PadLeft(std::to_string(kStartNm + kIntervalNm * i), 6);
    double mean = 0;
    for (const Reading& reading : readings) {
      row += PadLeft(FormatFixed(reading.reflectance[i] * 100.0, 2), 9);
      mean += reading.reflectance[i] / static_cast<double>(readings.size());
    }
    out += row + "   " + Bar(mean) + "\n";
  }
  out += "\n";
  for (std::size_t r = 0; r < readings.size(); ++r) {
    out += ColourLine("#" + std::to_string(r + 1), readings[r].xyz, readings[r].lab, readings[r].srgb,
                      colour_swatches, readings[r].de2000_reference);
  }
  if (report.summary) {
    const Summary& s = *report.summary;
    out += ColourLine("mean", s.xyz, s.lab, s.srgb, colour_swatches, s.de2000_reference);
    out += "spread  CIEDE2000 from the mean: mean " + FormatFixed(s.mean_de2000, 2) + ", max " +
           FormatFixed(s.max_de2000, 2) + "\n";
  }
  if (report.reference) {
    const Lab& lab = report.reference->lab;
    out += "reference  L*a*b* " + FormatFixed(lab.l, 2) + " " + FormatFixed(lab.a, 2) + " " +
           FormatFixed(lab.b, 2) + " (" + report.reference->path + ", " +
           (report.reference->source == "spectrum" ? "from its spectrum" : "as written") +
           "); CIEDE2000 from it on each line\n";
  }
  return out;
}

std::string FormatCsv(const MeasurementReport& report) {
  const Provenance& p = report.provenance;
  std::string out =
      "reading,time,serial,firmware,driver_version,calibration_time,specular_mode,illuminant,observer,X,Y,Z,"
      "L,a,b,srgb,de2000_reference,measured_start_nm,measured_end_nm";
  for (int i = 0; i < kBands; ++i) out += ",nm" + std::to_string(kStartNm + kIntervalNm * i);
  out += "\n";
  auto quoted = [](const std::string& text) {
    std::string q = "\"";
    for (char c : text) q += c == '"' ? std::string("\"\"") : std::string(1, c);
    return q + "\"";
  };
  for (std::size_t r = 0; r < report.readings.size(); ++r) {
    const Reading& reading = report.readings[r];
    out += std::to_string(r + 1) + "," + reading.time + "," + quoted(p.serial) + "," + quoted(p.firmware) +
           "," + quoted(p.driver_version) + "," + quoted(p.calibration_time) + "," + p.specular_mode + "," +
           report.illuminant + "," + report.observer + "," + FormatFixed(reading.xyz.x, 4) + "," +
           FormatFixed(reading.xyz.y, 4) + "," + FormatFixed(reading.xyz.z, 4) + "," +
           FormatFixed(reading.lab.l, 4) + "," + FormatFixed(reading.lab.a, 4) + "," +
           FormatFixed(reading.lab.b, 4) + "," + HexColour(reading.srgb) + "," +
           (reading.de2000_reference ? FormatFixed(*reading.de2000_reference, 4) : std::string()) + "," +
           FormatInt(kMeasuredStartNm) + "," + FormatInt(kMeasuredEndNm);
    for (double value : reading.reflectance) out += "," + FormatFixed(value, 4);
    out += "\n";
  }
  return out;
}

}  // namespace vk605::tool
