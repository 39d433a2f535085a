// The exchange files of a measurement report: CGATS.17 through lcms2's IT8 writer, and libcolord's spectral
// sheet through CdIt8.
#include <colord.h>
#include <lcms2.h>

#include <string>

#include "measurement_report.h"
#include "text_format.h"
#include "tool_error.h"

namespace vk605::tool {

// CGATS strings are quoted and have no escape: a quote or a line end inside one (an instrument may report
// any text as its serial number) would end the string early and make the file unreadable.
std::string CgatsText(const std::string& text) {
  std::string out = text;
  for (char& c : out) {
    if (c == '"') c = '\'';
    if (static_cast<unsigned char>(c) < 0x20) c = ' ';
  }
  return out;
}

std::string DescribeProvenance(const Provenance& p) {
  return p.model + " serial " + p.serial + ", firmware " + p.firmware + ", driver " + p.driver_version +
         ", calibrated " + (p.calibration_time.empty() ? std::string("unknown") : p.calibration_time) +
         ", specular " + p.specular_mode;
}

namespace {

void SetText(cmsHANDLE it8, const char* key, const std::string& value) {
  cmsIT8SetPropertyStr(it8, key, CgatsText(value).c_str());
}

}  // namespace

std::string FormatCgats(const MeasurementReport& report) {
  const Provenance& p = report.provenance;
  cmsHANDLE it8 = cmsIT8Alloc(nullptr);
  cmsIT8SetSheetType(it8, "CGATS.17");
  SetText(it8, "ORIGINATOR", "vk605 " + p.tool_version);
  SetText(it8, "DESCRIPTOR", "Reflectance measurements, " + DescribeProvenance(p));
  SetText(it8, "CREATED", p.created);
  SetText(it8, "INSTRUMENTATION", p.model);
  SetText(it8, "INSTRUMENT_SERIAL", p.serial);
  SetText(it8, "INSTRUMENT_FIRMWARE", p.firmware);
  SetText(it8, "DRIVER_VERSION", p.driver_version);
  SetText(it8, "CALIBRATION_TIME", p.calibration_time);
  SetText(it8, "MEASUREMENT_GEOMETRY", p.specular_mode == "excluded" ? "SCE" : "SCI");
  SetText(it8, "ILLUMINATION_NAME", report.illuminant);
  SetText(it8, "OBSERVER_ANGLE", report.observer);
  cmsIT8SetComment(it8, CopiedEndsNote().c_str());
  cmsIT8SetPropertyUncooked(it8, "MEASURED_START_NM", FormatInt(kMeasuredStartNm).c_str());
  cmsIT8SetPropertyUncooked(it8, "MEASURED_END_NM", FormatInt(kMeasuredEndNm).c_str());
  cmsIT8SetPropertyUncooked(it8, "SPECTRAL_BANDS", FormatInt(kBands).c_str());
  cmsIT8SetPropertyUncooked(it8, "SPECTRAL_START_NM", FormatInt(kStartNm).c_str());
  cmsIT8SetPropertyUncooked(it8, "SPECTRAL_END_NM", FormatInt(kStartNm + kIntervalNm * (kBands - 1)).c_str());
  cmsIT8SetPropertyUncooked(it8, "SPECTRAL_NORM", "1.0");

  const int fields = 8 + kBands;
  cmsIT8SetPropertyDbl(it8, "NUMBER_OF_FIELDS", fields);
  cmsIT8SetPropertyDbl(it8, "NUMBER_OF_SETS", static_cast<double>(report.readings.size()));
  const char* fixed[] = {"SAMPLE_ID", "SAMPLE_NAME", "XYZ_X", "XYZ_Y", "XYZ_Z", "LAB_L", "LAB_A", "LAB_B"};
  for (int f = 0; f < 8; ++f) cmsIT8SetDataFormat(it8, f, fixed[f]);
  for (int i = 0; i < kBands; ++i) {
    std::string name = "SPECTRAL_NM" + FormatInt(kStartNm + kIntervalNm * i);
    cmsIT8SetDataFormat(it8, 8 + i, name.c_str());
  }
  for (std::size_t r = 0; r < report.readings.size(); ++r) {
    const Reading& reading = report.readings[r];
    int row = static_cast<int>(r);
    // Values are handed over as text so no locale can change the decimal point.
    std::string cells[8] = {FormatInt(static_cast<long long>(r + 1)),
                            "R" + FormatInt(static_cast<long long>(r + 1)),
                            FormatFixed(reading.xyz.x, 4),
                            FormatFixed(reading.xyz.y, 4),
                            FormatFixed(reading.xyz.z, 4),
                            FormatFixed(reading.lab.l, 4),
                            FormatFixed(reading.lab.a, 4),
                            FormatFixed(reading.lab.b, 4)};
    for (int f = 0; f < 8; ++f) cmsIT8SetDataRowCol(it8, row, f, cells[f].c_str());
    for (int i = 0; i < kBands; ++i) {
      cmsIT8SetDataRowCol(it8, row, 8 + i, FormatFixed(reading.reflectance[i], 4).c_str());
    }
  }
  cmsUInt32Number size = 0;
  std::string text;
  if (cmsIT8SaveToMem(it8, nullptr, &size) && size > 0) {
    text.resize(size);
    if (!cmsIT8SaveToMem(it8, text.data(), &size)) text.clear();
    while (!text.empty() && text.back() == '\0') text.pop_back();
  }
  cmsIT8Free(it8);
  if (text.empty()) throw ToolError(ExitCode::kFailure, "cannot write the CGATS sheet");
  return text;
}

std::string FormatSpect(const MeasurementReport& report) {
  CdIt8* it8 = cd_it8_new_with_kind(CD_IT8_KIND_SPECT);
  cd_it8_set_originator(it8, ("vk605 " + report.provenance.tool_version).c_str());
  cd_it8_set_title(it8, CgatsText(DescribeProvenance(report.provenance)).c_str());
  cd_it8_set_instrument(it8, CgatsText(report.provenance.model).c_str());
  cd_it8_set_reference(it8, CgatsText("created " + report.provenance.created).c_str());
  for (std::size_t r = 0; r < report.readings.size(); ++r) {
    CdSpectrum* spectrum = cd_spectrum_sized_new(kBands);
    for (double value : report.readings[r].reflectance) cd_spectrum_add_value(spectrum, value);
    cd_spectrum_set_start(spectrum, kStartNm);
    cd_spectrum_set_end(spectrum, kStartNm + kIntervalNm * (kBands - 1));
    cd_spectrum_set_id(spectrum, FormatInt(static_cast<long long>(r + 1)).c_str());
    cd_it8_add_spectrum(it8, spectrum);
    cd_spectrum_free(spectrum);
  }
  gchar* data = nullptr;
  gsize size = 0;
  GError* error = nullptr;
  gboolean saved = cd_it8_save_to_data(it8, &data, &size, &error);
  g_object_unref(it8);
  if (!saved) {
    std::string reason = error != nullptr ? error->message : "unknown error";
    if (error != nullptr) g_error_free(error);
    throw ToolError(ExitCode::kFailure, "cannot write the spectral sheet: " + reason);
  }
  std::string text(data, size);
  g_free(data);
  // CdIt8 writes no keywords of its own choosing: the measurement type and the measured range go in after
  // the sheet type, where libcolord and Argyll read them as properties.
  std::size_t line_end = text.find('\n');
  if (line_end != std::string::npos) {
    text.insert(line_end + 1, "# " + CopiedEndsNote() + "\nMEAS_TYPE\t\"REFLECTIVE\"\nMEASURED_START_NM\t" +
                                  FormatInt(kMeasuredStartNm) + "\nMEASURED_END_NM\t" +
                                  FormatInt(kMeasuredEndNm) + "\n");
  }
  return text;
}

}  // namespace vk605::tool
