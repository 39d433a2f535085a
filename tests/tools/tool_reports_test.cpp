// The vk605 program's reports from readings made here: spread, CSV quoting, CGATS fields, the calibration
// record file and port names, without a driver.
#include <gtest/gtest.h>
#include <lcms2.h>

#include <filesystem>
#include <fstream>

#include "calibration_record.h"
#include "colorimetry.h"
#include "measurement_report.h"
#include "serial_candidates.h"

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

}  // namespace
}  // namespace vk605::tool
