#pragma once

#include <optional>
#include <string>
#include <vector>

#include "colorimetry.h"
#include "reference_sample.h"

namespace vk605::tool {

// Where a set of readings comes from; every output file carries it.
struct Provenance {
  std::string model;
  std::string serial;
  std::string firmware;
  std::string driver_version;
  std::string calibration_time;  // the calibration record's CALIBRATION_DATE, as the driver wrote it
  std::string specular_mode;     // "excluded" (SCE) or "included" (SCI)
  std::string port;
  std::string created;  // ISO 8601, UTC
  std::string tool_version;
};

struct Reading {
  Spectrum reflectance{};  // factors, 1.0 = 100 %
  Xyz xyz;
  Lab lab;
  Rgb8 srgb;
  std::string time;                        // ISO 8601, UTC
  std::optional<double> de2000_reference;  // CIEDE2000 from the reference (--reference)
};

// Mean of several readings and their spread around it.
struct Summary {
  Spectrum reflectance{};
  Xyz xyz;
  Lab lab;  // mean of the readings' L*, a*, b*
  Rgb8 srgb;
  double mean_de2000 = 0;  // mean CIEDE2000 of the readings from the mean
  double max_de2000 = 0;
  std::optional<double> de2000_reference;
};

// The instrument measures 400-700 nm; the driver fills 360-390 nm with the 400 nm value and 710-750 nm
// with the 700 nm value. Every spectral output says so.
constexpr int kMeasuredStartNm = 400;
constexpr int kMeasuredEndNm = 700;
inline bool IsCopiedBand(int band) {
  int nm = kStartNm + kIntervalNm * band;
  return nm < kMeasuredStartNm || nm > kMeasuredEndNm;
}
// One sentence for comments and captions.
std::string CopiedEndsNote();

struct MeasurementReport {
  Provenance provenance;
  std::string illuminant = "D65";  // the colorimeter's illuminant and observer ("2" or "10")
  std::string observer = "10";
  std::vector<Reading> readings;
  std::optional<Summary> summary;  // with two readings or more
  std::optional<ReferenceSample> reference;
};

// CIEDE2000 of every reading and of the mean from the report's reference, when it has one.
void CompareWithReference(MeasurementReport& report);

// Colour values of one spectrum.
Reading Evaluate(const Colorimeter& colorimeter, const Spectrum& reflectance);
Summary Summarise(const Colorimeter& colorimeter, const std::vector<Reading>& readings);

// The output forms. Every number is written with a decimal point whatever the locale.
std::string FormatTable(const MeasurementReport& report, bool colour_swatches);
std::string FormatCsv(const MeasurementReport& report);
std::string FormatJson(const MeasurementReport& report);
// One reading as it is taken: {"kind":"reading","index":1,"of":3,...} on one line, without a line end.
std::string FormatReadingJson(const Reading& reading, int index, int count);
// CGATS.17 with SPECTRAL_NM360..SPECTRAL_NM750, XYZ and LAB fields (written with lcms2's IT8 writer).
std::string FormatCgats(const MeasurementReport& report);
// libcolord's spectral sheet (SPECT, SPEC_360..SPEC_750), written by CdIt8.
std::string FormatSpect(const MeasurementReport& report);
// Argyll's measurement file (CTI3, DEVICE_CLASS "OUTPUT", MEAS_TYPE "REFLECTIVE", SPEC_360..SPEC_750 in
// percent), which spec2cie and colprof read.
std::string FormatArgyllTi3(const MeasurementReport& report);
// Argyll's spectral file (SPECT, MEAS_TYPE "REFLECTIVE", SPEC_360..SPEC_750 in percent).
std::string FormatArgyllSp(const MeasurementReport& report);

// Text for a quoted CGATS string: quotes become apostrophes, control characters blanks.
std::string CgatsText(const std::string& text);
// "VK605 serial 12345, firmware ..., driver ..., calibrated ..., specular excluded"
std::string DescribeProvenance(const Provenance& provenance);

// "#rrggbb"
std::string HexColour(const Rgb8& rgb);

}  // namespace vk605::tool
