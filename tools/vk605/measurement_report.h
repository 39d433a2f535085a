#pragma once

#include <optional>
#include <string>
#include <vector>

#include "colorimetry.h"

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
  std::string time;  // ISO 8601, UTC
};

// Mean of several readings and their spread around it.
struct Summary {
  Spectrum reflectance{};
  Xyz xyz;
  Lab lab;  // mean of the readings' L*, a*, b*
  Rgb8 srgb;
  double mean_de2000 = 0;  // mean CIEDE2000 of the readings from the mean
  double max_de2000 = 0;
};

struct MeasurementReport {
  Provenance provenance;
  std::vector<Reading> readings;
  std::optional<Summary> summary;  // with two readings or more
};

// Colour values of one spectrum.
Reading Evaluate(const Colorimeter& colorimeter, const Spectrum& reflectance);
Summary Summarise(const Colorimeter& colorimeter, const std::vector<Reading>& readings);

// The output forms. Every number is written with a decimal point whatever the locale.
std::string FormatTable(const MeasurementReport& report, bool colour_swatches);
std::string FormatCsv(const MeasurementReport& report);
std::string FormatJson(const MeasurementReport& report);
// CGATS.17 with SPECTRAL_NM360..SPECTRAL_NM750, XYZ and LAB fields (written with lcms2's IT8 writer).
std::string FormatCgats(const MeasurementReport& report);
// libcolord's spectral sheet (SPECT, SPEC_360..SPEC_750), written by CdIt8.
std::string FormatSpect(const MeasurementReport& report);

// "#rrggbb"
std::string HexColour(const Rgb8& rgb);

}  // namespace vk605::tool
