// The vk605 program's reports from readings made here: spread, CSV quoting, CGATS fields, the calibration
// record file and port names, without a driver.
#include <gtest/gtest.h>
#include <lcms2.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>

#include "calibration_record.h"
#include "colorimetry.h"
#include "measurement_report.h"
#include "reference_sample.h"
#include "serial_candidates.h"
#include "spectrum_plot.h"
#include "tool_error.h"

namespace vk605::tool {
namespace {

Spectrum Flat(double factor) {
  Spectrum spectrum;
  spectrum.fill(factor);
  return spectrum;
}

MeasurementReport TwoGreys(const Colorimeter& colorimeter) {
  MeasurementReport report;
  report.provenance = {"VK605",    "12\"3,4",    "VK605 V1.07",          "1.0.0", "12/09/2026 00:24:04",
                       "excluded", "/dev/pts/1", "2026-12-09T00:30:00Z", "1.0.0"};
  report.readings = {Evaluate(colorimeter, Flat(0.4)), Evaluate(colorimeter, Flat(0.6))};
  report.readings[0].time = report.readings[1].time = "2026-12-09T00:30:00Z";
  report.summary = Summarise(colorimeter, report.readings);
  return report;
}

// The mean is the mean of L*, a*, b*; the spread is CIEDE2000 of each reading from that mean.
TEST(Reports, SpreadIsCiede2000FromTheMeanLab) {
  Colorimeter colorimeter;
  MeasurementReport report = TwoGreys(colorimeter);
  const Summary& summary = *report.summary;
  EXPECT_NEAR(summary.lab.l, (report.readings[0].lab.l + report.readings[1].lab.l) / 2, 1e-9);
  double first = Colorimeter::DeltaE2000(report.readings[0].lab, summary.lab);
  double second = Colorimeter::DeltaE2000(report.readings[1].lab, summary.lab);
  EXPECT_GT(first, 1.0);
  EXPECT_NEAR(summary.mean_de2000, (first + second) / 2, 1e-9);
  EXPECT_NEAR(summary.max_de2000, std::max(first, second), 1e-9);
  EXPECT_NEAR(summary.reflectance[20], 0.5, 1e-12);
  EXPECT_NEAR(summary.xyz.y, 50.0, 1e-6);
}

TEST(Reports, CsvQuotesTextThatHoldsCommasOrQuotes) {
  Colorimeter colorimeter;
  std::string csv = FormatCsv(TwoGreys(colorimeter));
  EXPECT_NE(
      csv.find("\n1,2026-12-09T00:30:00Z,\"12\"\"3,4\",\"VK605 V1.07\",\"1.0.0\",\"12/09/2026 00:24:04\","
               "excluded,"),
      std::string::npos)
      << csv;
  EXPECT_NE(csv.find(",0.4000,0.4000"), std::string::npos);
}

TEST(Reports, CgatsNamesEveryFieldAndKeepsTextValuesQuoted) {
  Colorimeter colorimeter;
  std::string text = FormatCgats(TwoGreys(colorimeter));
  cmsHANDLE it8 = cmsIT8LoadFromMem(nullptr, text.data(), static_cast<cmsUInt32Number>(text.size()));
  ASSERT_NE(it8, nullptr);
  EXPECT_STREQ(cmsIT8GetSheetType(it8), "CGATS.17");
  EXPECT_EQ(cmsIT8GetPropertyDbl(it8, "NUMBER_OF_FIELDS"), 48.0);
  EXPECT_EQ(cmsIT8GetPropertyDbl(it8, "SPECTRAL_BANDS"), 40.0);
  EXPECT_STREQ(cmsIT8GetProperty(it8, "CALIBRATION_TIME"), "12/09/2026 00:24:04");
  // A quote inside a serial number would end the CGATS string early; it is written as an apostrophe.
  EXPECT_STREQ(cmsIT8GetProperty(it8, "INSTRUMENT_SERIAL"), "12'3,4");
  EXPECT_EQ(cmsIT8FindDataFormat(it8, "SPECTRAL_NM360"), 8);
  EXPECT_EQ(cmsIT8FindDataFormat(it8, "SPECTRAL_NM750"), 47);
  EXPECT_EQ(cmsIT8FindDataFormat(it8, "SPECTRAL_NM755"), -1);
  EXPECT_EQ(cmsIT8GetDataRowColDbl(it8, 1, 8), 0.6);
  EXPECT_NEAR(cmsIT8GetDataRowColDbl(it8, 1, cmsIT8FindDataFormat(it8, "XYZ_Y")), 60.0, 1e-4);
  cmsIT8Free(it8);
}

TEST(CalibrationRecord, DefaultsForAMissingFileAndOneKeyWrittenAtATime) {
  std::filesystem::path directory =
      std::filesystem::temp_directory_path() / ("vk605-record-" + std::to_string(::getpid()));
  std::filesystem::create_directories(directory);
  std::string path = CalibrationFilePath(directory.string(), "VK60512345");
  EXPECT_EQ(path, directory.string() + "/VK60512345.INI");
  EXPECT_EQ(CalibrationFilePath(directory.string(), ""), directory.string() + "/VK605.INI");
  CalibrationRecord fresh = ReadCalibrationRecord(path);
  EXPECT_EQ(fresh.hours, 4);
  EXPECT_EQ(fresh.measurement_limit, 250);
  EXPECT_FALSE(fresh.count_rule);
  WriteCalibrationKey(path, "MEASUREMENTS", "0");
  WriteCalibrationKey(path, "bMEASUREMENTS", "1");
  CalibrationRecord edited = ReadCalibrationRecord(path);
  EXPECT_EQ(edited.measurement_limit, 0);
  EXPECT_TRUE(edited.count_rule);
  std::ifstream in(path);
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(text, "[CALIBRATION]\r\nMEASUREMENTS=0\r\nbMEASUREMENTS=1\r\n");
  std::filesystem::remove_all(directory);
}

TEST(SerialCandidates, WindowsPortNamesMapToTtyS) {
  EXPECT_EQ(DeviceForPort("COM1:"), "/dev/ttyS0");
  EXPECT_EQ(DeviceForPort("com12"), "/dev/ttyS11");
  EXPECT_EQ(DeviceForPort("/dev/ttyUSB0"), "/dev/ttyUSB0");
  EXPECT_EQ(DeviceForPort("COM0"), "COM0");
  EXPECT_EQ(DeviceForPort("COM99999999999"), "COM99999999999");  // no overflow
  EXPECT_EQ(DeviceForPort("COMX:"), "COMX:");
}

TEST(Reports, ArgyllMeasurementFileHasItsKeywordsAndPercentSpectra) {
  Colorimeter colorimeter;
  std::string text = FormatArgyllTi3(TwoGreys(colorimeter));
  EXPECT_EQ(text.rfind("CTI3\n", 0), 0u);
  cmsHANDLE it8 = cmsIT8LoadFromMem(nullptr, text.data(), static_cast<cmsUInt32Number>(text.size()));
  ASSERT_NE(it8, nullptr);
  EXPECT_STREQ(cmsIT8GetSheetType(it8), "CTI3");
  EXPECT_STREQ(cmsIT8GetProperty(it8, "DEVICE_CLASS"), "OUTPUT");
  EXPECT_STREQ(cmsIT8GetProperty(it8, "MEAS_TYPE"), "REFLECTIVE");
  EXPECT_STREQ(cmsIT8GetProperty(it8, "INSTRUMENT_SERIAL"), "12'3,4");
  EXPECT_STREQ(cmsIT8GetProperty(it8, "CALIBRATION_TIME"), "12/09/2026 00:24:04");
  EXPECT_EQ(cmsIT8GetPropertyDbl(it8, "MEASURED_START_NM"), 400.0);
  EXPECT_EQ(cmsIT8GetPropertyDbl(it8, "MEASURED_END_NM"), 700.0);
  EXPECT_EQ(cmsIT8GetPropertyDbl(it8, "SPECTRAL_NORM"), 100.0);
  EXPECT_EQ(cmsIT8GetPropertyDbl(it8, "NUMBER_OF_SETS"), 2.0);
  EXPECT_EQ(cmsIT8GetDataRowColDbl(it8, 1, cmsIT8FindDataFormat(it8, "SPEC_400")), 60.0);
  EXPECT_EQ(cmsIT8FindDataFormat(it8, "SPEC_750"), 41);
  EXPECT_EQ(cmsIT8FindDataFormat(it8, "XYZ_X"), -1);  // Argyll computes the colour itself
  cmsIT8Free(it8);
  std::string sp = FormatArgyllSp(TwoGreys(colorimeter));
  EXPECT_EQ(sp.rfind("SPECT\n", 0), 0u);
  EXPECT_EQ(sp.find("DEVICE_CLASS"), std::string::npos);
  EXPECT_NE(sp.find("MEAS_TYPE \"REFLECTIVE\""), std::string::npos);
}

// Each curve is solid over the measured 400-700 nm and dashed over the two copied ends.
TEST(Reports, PlotDrawsTheCopiedEndsDashed) {
  Colorimeter colorimeter;
  MeasurementReport report = TwoGreys(colorimeter);
  report.readings.resize(1);
  report.summary.reset();
  std::filesystem::path file =
      std::filesystem::temp_directory_path() / ("vk605-plot-" + std::to_string(::getpid()) + ".svg");
  PlotSpectra(report, file.string());
  std::ifstream in(file);
  std::string svg((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::filesystem::remove(file);
  std::size_t dashed = 0;
  for (std::size_t at = svg.find("stroke-dasharray"); at != std::string::npos;
       at = svg.find("stroke-dasharray", at + 1)) {
    ++dashed;
  }
  EXPECT_EQ(dashed, 2u) << svg.substr(0, 2000);
}

TEST(CalibrationRecord, DriverDatesBecomeIso8601InUtc) {
  const char* saved = std::getenv("TZ");
  std::string previous = saved != nullptr ? saved : "";
  ::setenv("TZ", "UTC", 1);
  ::tzset();
  EXPECT_EQ(IsoFromDriverDate("12/09/2026 00:24:04"), "2026-12-09T00:24:04Z");
  EXPECT_EQ(IsoFromDriverDate("07/30/2004 14:05"), "2004-07-30T14:05:00Z");
  ::setenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3", 1);
  ::tzset();
  EXPECT_EQ(IsoFromDriverDate("12/09/2026 00:24:04"), "2026-12-08T23:24:04Z");
  EXPECT_EQ(IsoFromDriverDate("07/30/2004 14:05:09"), "2004-07-30T12:05:09Z");  // summer time
  EXPECT_EQ(IsoFromDriverDate(""), "");
  EXPECT_EQ(IsoFromDriverDate("yesterday"), "yesterday");
  EXPECT_EQ(IsoFromDriverDate("13/09/2026 00:24:04"), "13/09/2026 00:24:04");
  EXPECT_EQ(IsoFromDriverDate("12/09/2026 00:24:04 extra"), "12/09/2026 00:24:04 extra");
  if (saved != nullptr) {
    ::setenv("TZ", previous.c_str(), 1);
  } else {
    ::unsetenv("TZ");
  }
  ::tzset();
}

// A reference from vk605's own files: the spectra in percent (ti3) or factors (CGATS) give the readings'
// colour back; L*a*b* alone are taken as written; anything else is a usage error.
TEST(Reference, ReadsSpectraInPercentOrFactorsAndLabAlone) {
  Colorimeter colorimeter;
  MeasurementReport report = TwoGreys(colorimeter);
  std::filesystem::path directory =
      std::filesystem::temp_directory_path() / ("vk605-reference-" + std::to_string(::getpid()));
  std::filesystem::create_directories(directory);
  Lab mean_lab = colorimeter.ToLab(colorimeter.ToXyz(Flat(0.5)));
  for (std::string form : {"ti3", "cgats", "sp"}) {
    std::string path = (directory / ("r." + form)).string();
    std::ofstream(path) << (form == "ti3"  ? FormatArgyllTi3(report)
                            : form == "sp" ? FormatArgyllSp(report)
                                           : FormatCgats(report));
    ReferenceSample reference = LoadReference(path, colorimeter);
    EXPECT_EQ(reference.source, "spectrum") << form;
    EXPECT_EQ(reference.sets, 2) << form;
    EXPECT_NEAR(reference.lab.l, mean_lab.l, 1e-3) << form;  // the mean of 40 % and 60 %
    EXPECT_NEAR(reference.lab.a, mean_lab.a, 1e-3) << form;
  }
  std::string lab_only = (directory / "lab.cgats").string();
  std::ofstream(lab_only) << "CGATS.17\nNUMBER_OF_FIELDS 3\nBEGIN_DATA_FORMAT\nLAB_L LAB_A LAB_B\n"
                             "END_DATA_FORMAT\nNUMBER_OF_SETS 1\nBEGIN_DATA\n50.5 1.25 -2\nEND_DATA\n";
  ReferenceSample given = LoadReference(lab_only, colorimeter);
  EXPECT_EQ(given.source, "Lab");
  EXPECT_DOUBLE_EQ(given.lab.l, 50.5);
  EXPECT_DOUBLE_EQ(given.lab.b, -2.0);
  std::string no_colour = (directory / "none.cgats").string();
  std::ofstream(no_colour) << "CGATS.17\nNUMBER_OF_FIELDS 1\nBEGIN_DATA_FORMAT\nSAMPLE_ID\n"
                              "END_DATA_FORMAT\nNUMBER_OF_SETS 1\nBEGIN_DATA\n1\nEND_DATA\n";
  for (const std::string& bad : {no_colour, (directory / "missing.ti3").string()}) {
    try {
      LoadReference(bad, colorimeter);
      ADD_FAILURE() << bad;
    } catch (const ToolError& error) {
      EXPECT_EQ(error.Code(), ExitCode::kUsage);
      EXPECT_NE(std::string(error.what()).find("--reference " + bad + ": "), std::string::npos)
          << error.what();
    }
  }
  std::filesystem::remove_all(directory);
}

}  // namespace
}  // namespace vk605::tool
