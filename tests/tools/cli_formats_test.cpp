// vk605 measure against the simulator: every output form parses and carries the right colour values.
#include <colord.h>
#include <gtest/gtest.h>
#include <lcms2.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <regex>
#include <sstream>

#include "colour_reference.h"
#include "tool_runner.h"

namespace vk605::tooltest {
namespace {

using nlohmann::json;

// A flat 50 % reflector has Y = 50, so L* = 116 * 0.5^(1/3) - 16 = 76.07 and, being neutral, a* = b* = 0.
TEST(CliMeasure, FlatFiftyPercentReflectorIsNeutralGrey) {
  ToolHome home;
  ToolResult run = home.Run({"--simulate", "--non-interactive", "--sim-arg", FlatSpectrumOption(50.0),
                             "measure", "--format", "json"});
  ASSERT_EQ(run.exit_code, 0) << run.err;
  json document = json::parse(run.out);
  ASSERT_EQ(document["readings"].size(), 1u);
  const json& lab = document["readings"][0]["Lab"];
  EXPECT_NEAR(lab[0].get<double>(), 76.07, 0.05);
  EXPECT_NEAR(lab[1].get<double>(), 0.0, 0.05);
  EXPECT_NEAR(lab[2].get<double>(), 0.0, 0.05);
  EXPECT_NEAR(document["readings"][0]["XYZ"][1].get<double>(), 50.0, 0.01);
  for (const json& value : document["readings"][0]["spectrum"]["reflectance"])
    EXPECT_EQ(value.get<double>(), 0.5);
}

// Three readings of the default sample in every form: JSON (nlohmann), CSV, CGATS.17 (lcms2's IT8
// parser), libcolord's spectral sheet (CdIt8) and the table, all with the independently computed colour.
class CliFormats : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    home_ = new ToolHome();
    reference_ = ReferenceLabOf(DefaultSample());
    // A calibration first, so the record holds the calibration time every file must carry.
    ToolResult calibration = home_->Run({"--simulate", "--answer", "ok", "calibrate"});
    ASSERT_EQ(calibration.exit_code, 0) << calibration.err;
  }
  static void TearDownTestSuite() { delete home_; }
  static ToolResult Measure(const std::string& format, const std::string& file) {
    return home_->Run({"--simulate", "--non-interactive", "measure", "-n", "3", "--format", format, "-o",
                       (home_->Path() / file).string()});
  }
  static ToolHome* home_;
  static ReferenceLab reference_;
};
ToolHome* CliFormats::home_ = nullptr;
ReferenceLab CliFormats::reference_{};

TEST_F(CliFormats, JsonCarriesProvenanceReadingsAndSpread) {
  ToolResult run = Measure("json", "out.json");
  ASSERT_EQ(run.exit_code, 0) << run.err;
  json document = json::parse(ReadText(home_->Path() / "out.json"));
  EXPECT_EQ(document["provenance"]["serial"], "12345");
  EXPECT_EQ(document["provenance"]["firmware"], "VK605 V1.07");
  EXPECT_EQ(document["provenance"]["driver_version"], "1.0.0");
  EXPECT_EQ(document["provenance"]["specular_mode"], "excluded");
  // ISO 8601 in UTC, like every other time of the file (the driver writes local time, month first).
  std::string calibrated = document["provenance"]["calibration_time"];
  EXPECT_TRUE(std::regex_match(calibrated, std::regex(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\dZ)"))) << calibrated;
  EXPECT_EQ(document["illuminant"], "D65");
  EXPECT_EQ(document["observer"], "10");
  ASSERT_EQ(document["readings"].size(), 3u);
  for (const json& reading : document["readings"]) {
    EXPECT_NEAR(reading["Lab"][0].get<double>(), reference_.l, 0.01);
    EXPECT_NEAR(reading["Lab"][1].get<double>(), reference_.a, 0.01);
    EXPECT_NEAR(reading["Lab"][2].get<double>(), reference_.b, 0.01);
    ASSERT_EQ(reading["spectrum"]["reflectance"].size(), 40u);
    EXPECT_EQ(reading["spectrum"]["measured_start_nm"], 400);
    EXPECT_EQ(reading["spectrum"]["measured_end_nm"], 700);
    EXPECT_EQ(reading["spectrum"]["reflectance"][4].get<double>(), 0.5231);
  }
  EXPECT_NEAR(document["mean"]["Lab"][0].get<double>(), reference_.l, 0.01);
  EXPECT_EQ(document["spread_de2000_mean"].get<double>(), 0.0);
}

TEST_F(CliFormats, CsvHasOneRowPerReadingWithEverySpectralColumn) {
  ToolResult run = Measure("csv", "out.csv");
  ASSERT_EQ(run.exit_code, 0) << run.err;
  std::istringstream in(ReadText(home_->Path() / "out.csv"));
  std::string header;
  std::getline(in, header);
  EXPECT_EQ(
      header.rfind("reading,time,serial,firmware,driver_version,calibration_time,specular_mode,illuminant,"
                   "observer,X,Y,Z,L,a,b,srgb,de2000_reference,measured_start_nm,measured_end_nm,nm360,nm370",
                   0),
      0u);
  EXPECT_NE(header.find(",nm750"), std::string::npos);
  std::string line;
  int rows = 0;
  while (std::getline(in, line)) {
    ++rows;
    std::vector<std::string> cells;
    std::string cell;
    bool quoted = false;
    for (char c : line) {
      if (c == '"') {
        quoted = !quoted;
      } else if (c == ',' && !quoted) {
        cells.push_back(cell);
        cell.clear();
      } else {
        cell += c;
      }
    }
    cells.push_back(cell);
    ASSERT_EQ(cells.size(), 19u + 40u) << line;
    EXPECT_EQ(cells[2], "12345");
    EXPECT_TRUE(std::regex_match(cells[5], std::regex(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\dZ)"))) << cells[5];
    EXPECT_EQ(cells[7], "D65");
    EXPECT_EQ(cells[8], "10");
    EXPECT_NEAR(std::stod(cells[12]), reference_.l, 0.01);
    EXPECT_EQ(cells[16], "");  // no reference
    EXPECT_EQ(cells[17], "400");
    EXPECT_EQ(cells[18], "700");
    EXPECT_EQ(cells[19 + 4], "0.5231");
    EXPECT_EQ(cells[19 + 39], "0.8021");
  }
  EXPECT_EQ(rows, 3);
}

TEST_F(CliFormats, CgatsIsReadBackByTheIt8Parser) {
  ToolResult run = Measure("cgats", "out.cgats");
  ASSERT_EQ(run.exit_code, 0) << run.err;
  std::string text = ReadText(home_->Path() / "out.cgats");
  EXPECT_EQ(text.rfind("CGATS.17", 0), 0u);
  cmsHANDLE it8 = cmsIT8LoadFromMem(nullptr, text.data(), static_cast<cmsUInt32Number>(text.size()));
  ASSERT_NE(it8, nullptr);
  EXPECT_EQ(cmsIT8GetPropertyDbl(it8, "NUMBER_OF_SETS"), 3.0);
  EXPECT_STREQ(cmsIT8GetProperty(it8, "INSTRUMENT_SERIAL"), "12345");
  EXPECT_STREQ(cmsIT8GetProperty(it8, "DRIVER_VERSION"), "1.0.0");
  EXPECT_STREQ(cmsIT8GetProperty(it8, "MEASUREMENT_GEOMETRY"), "SCE");
  EXPECT_EQ(cmsIT8GetPropertyDbl(it8, "SPECTRAL_START_NM"), 360.0);
  EXPECT_EQ(cmsIT8GetPropertyDbl(it8, "SPECTRAL_END_NM"), 750.0);
  EXPECT_EQ(cmsIT8GetPropertyDbl(it8, "MEASURED_START_NM"), 400.0);
  EXPECT_EQ(cmsIT8GetPropertyDbl(it8, "MEASURED_END_NM"), 700.0);
  EXPECT_NE(text.find("710-750 nm the 700 nm value"), std::string::npos);
  for (int row = 0; row < 3; ++row) {
    EXPECT_EQ(cmsIT8GetDataRowColDbl(it8, row, cmsIT8FindDataFormat(it8, "SPECTRAL_NM360")), 0.5231);
    EXPECT_EQ(cmsIT8GetDataRowColDbl(it8, row, cmsIT8FindDataFormat(it8, "SPECTRAL_NM750")), 0.8021);
    EXPECT_NEAR(cmsIT8GetDataRowColDbl(it8, row, cmsIT8FindDataFormat(it8, "LAB_L")), reference_.l, 0.01);
    EXPECT_NEAR(cmsIT8GetDataRowColDbl(it8, row, cmsIT8FindDataFormat(it8, "LAB_B")), reference_.b, 0.01);
  }
  cmsIT8Free(it8);
}

TEST_F(CliFormats, SpectralSheetIsReadBackByLibcolord) {
  ToolResult run = Measure("spect", "out.sp");
  ASSERT_EQ(run.exit_code, 0) << run.err;
  std::string text = ReadText(home_->Path() / "out.sp");
  CdIt8* it8 = cd_it8_new();
  GError* error = nullptr;
  ASSERT_TRUE(cd_it8_load_from_data(it8, text.data(), text.size(), &error)) << (error ? error->message : "");
  EXPECT_EQ(cd_it8_get_kind(it8), CD_IT8_KIND_SPECT);
  EXPECT_NE(std::string(cd_it8_get_title(it8)).find("serial 12345"), std::string::npos);
  GPtrArray* spectra = cd_it8_get_spectrum_array(it8);
  ASSERT_EQ(spectra->len, 3u);
  auto* first = static_cast<CdSpectrum*>(g_ptr_array_index(spectra, 0));
  EXPECT_EQ(cd_spectrum_get_size(first), 40u);
  EXPECT_DOUBLE_EQ(cd_spectrum_get_start(first), 360.0);
  EXPECT_DOUBLE_EQ(cd_spectrum_get_end(first), 750.0);
  // The driver hands over single-precision readings.
  EXPECT_NEAR(cd_spectrum_get_value_for_nm(first, 400), 0.5231, 1e-6);
  EXPECT_NEAR(cd_spectrum_get_value_for_nm(first, 700), 0.8021, 1e-6);
  g_object_unref(it8);
  // The measurement type and the measured range, as properties any IT8 reader finds.
  cmsHANDLE sheet = cmsIT8LoadFromMem(nullptr, text.data(), static_cast<cmsUInt32Number>(text.size()));
  ASSERT_NE(sheet, nullptr);
  EXPECT_STREQ(cmsIT8GetProperty(sheet, "MEAS_TYPE"), "REFLECTIVE");
  EXPECT_EQ(cmsIT8GetPropertyDbl(sheet, "MEASURED_START_NM"), 400.0);
  EXPECT_EQ(cmsIT8GetPropertyDbl(sheet, "MEASURED_END_NM"), 700.0);
  cmsIT8Free(sheet);
}

TEST_F(CliFormats, TableShowsSpectrumColourAndSpreadAndThePlotIsWritten) {
  std::filesystem::path plot = home_->Path() / "plot.png";
  ToolResult run =
      home_->Run({"--simulate", "--non-interactive", "measure", "-n", "2", "--plot", plot.string()});
  ASSERT_EQ(run.exit_code, 0) << run.err;
  EXPECT_NE(run.out.find("   400    52.31    52.31"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("   750    80.21    80.21"), std::string::npos);
  char lab[64];
  std::snprintf(lab, sizeof lab, "L*a*b* %.2f %.2f %.2f", reference_.l, reference_.a, reference_.b);
  EXPECT_NE(run.out.find(lab), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("spread  CIEDE2000 from the mean: mean 0.00, max 0.00"), std::string::npos);
  EXPECT_NE(run.out.find("D65, 10 degree observer; measured 400-700 nm; 360-390 nm copy the 400 nm value and "
                         "710-750 nm the 700 nm value"),
            std::string::npos);
  EXPECT_EQ(run.out.find("\033["), std::string::npos);  // no swatch escape into a pipe
  std::string png = ReadText(plot);
  ASSERT_GT(png.size(), 8u);
  EXPECT_EQ(png.substr(1, 3), "PNG");
}

}  // namespace
}  // namespace vk605::tooltest
