// Argyll's CGATS files: the measurement file (CTI3) and the spectral file (SPECT). Both hold the spectra in
// percent under SPEC_nnn fields; Argyll's tools compute the colour themselves (spec2cie -i ILLUMINANT
// -o OBSERVER), so no colorimetric field is written that Argyll would take for its D50 values.
#include <string>

#include "measurement_report.h"
#include "text_format.h"

namespace vk605::tool {

namespace {

// Argyll reads keywords it does not know when each is declared with KEYWORD first.
void Keyword(std::string& out, const std::string& key, const std::string& value) {
  out += "KEYWORD \"" + key + "\"\n" + key + " \"" + CgatsText(value) + "\"\n";
}

std::string ArgyllFile(const MeasurementReport& report, const std::string& identifier, bool with_class) {
  const Provenance& p = report.provenance;
  std::string out = identifier + "\n\n";
  out += "# " + CopiedEndsNote() + " (MEASURED_START_NM, MEASURED_END_NM).\n";
  out += "DESCRIPTOR \"" + CgatsText("Reflectance measurements, " + DescribeProvenance(p)) + "\"\n";
  out += "ORIGINATOR \"" + CgatsText("vk605 " + p.tool_version) + "\"\n";
  out += "CREATED \"" + CgatsText(p.created) + "\"\n";
  if (with_class) out += "DEVICE_CLASS \"OUTPUT\"\n";
  out += "MEAS_TYPE \"REFLECTIVE\"\n";
  Keyword(out, "INSTRUMENTATION", p.model);
  Keyword(out, "INSTRUMENT_SERIAL", p.serial);
  Keyword(out, "INSTRUMENT_FIRMWARE", p.firmware);
  Keyword(out, "DRIVER_VERSION", p.driver_version);
  Keyword(out, "CALIBRATION_TIME", p.calibration_time);
  Keyword(out, "MEASUREMENT_GEOMETRY", p.specular_mode == "excluded" ? "SCE" : "SCI");
  Keyword(out, "MEASURED_START_NM", FormatInt(kMeasuredStartNm));
  Keyword(out, "MEASURED_END_NM", FormatInt(kMeasuredEndNm));
  Keyword(out, "SPECTRAL_BANDS", FormatInt(kBands));
  Keyword(out, "SPECTRAL_START_NM", FormatFixed(kStartNm, 6));
  Keyword(out, "SPECTRAL_END_NM", FormatFixed(kStartNm + kIntervalNm * (kBands - 1), 6));
  Keyword(out, "SPECTRAL_NORM", FormatFixed(100.0, 6));
  out += "\nNUMBER_OF_FIELDS " + FormatInt(2 + kBands) + "\nBEGIN_DATA_FORMAT\nSAMPLE_ID SAMPLE_NAME";
  for (int i = 0; i < kBands; ++i) out += " SPEC_" + FormatInt(kStartNm + kIntervalNm * i);
  out += "\nEND_DATA_FORMAT\n\nNUMBER_OF_SETS " + FormatInt(static_cast<long long>(report.readings.size())) +
         "\nBEGIN_DATA\n";
  for (std::size_t r = 0; r < report.readings.size(); ++r) {
    std::string number = FormatInt(static_cast<long long>(r + 1));
    out += number + " \"R" + number + "\"";
    for (double value : report.readings[r].reflectance) out += " " + FormatFixed(value * 100.0, 4);
    out += "\n";
  }
  return out + "END_DATA\n";
}

}  // namespace

std::string FormatArgyllTi3(const MeasurementReport& report) {
  return ArgyllFile(report, "CTI3", true);
}

std::string FormatArgyllSp(const MeasurementReport& report) {
  return ArgyllFile(report, "SPECT", false);
}

}  // namespace vk605::tool
