// vk605 measure with Argyll's files, other illuminants and observers, a reference, and readings streamed
// as JSON lines: Argyll's own spec2cie reads the files and its L*a*b* agree with the program's.
#include <gtest/gtest.h>
#include <lcms2.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <ostream>
#include <sstream>
#include <vector>

#include "colour_reference.h"
#include "tool_runner.h"

namespace vk605::tooltest {
namespace {

using nlohmann::json;
namespace fs = std::filesystem;

std::vector<json> JsonLines(const std::string& out) {
  std::vector<json> lines;
  std::istringstream in(out);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty()) lines.push_back(json::parse(line));
  }
  return lines;
}

double DeltaE2000(double l1, double a1, double b1, double l2, double a2, double b2) {
  cmsCIELab first{l1, a1, b1}, second{l2, a2, b2};
  return cmsCIE2000DeltaE(&first, &second, 1, 1, 1);
}

struct ArgyllLab {
  double l, a, b;
};

// spec2cie's L*a*b* for the illuminant it was given: the last *LAB_L, *LAB_A, *LAB_B fields of each set
// (LAB_* alone for D50, where Argyll's own white and the illuminant's are one).
std::vector<ArgyllLab> Spec2Cie(const fs::path& input, const std::string& illuminant,
                                const std::string& observer) {
  fs::path output = input.string() + ".cie";
  std::string command = "spec2cie -n -i " + illuminant + " -o " + observer + " " + input.string() + " " +
                        output.string() + " > " + output.string() + ".log 2>&1";
  int status = std::system(command.c_str());
  EXPECT_EQ(status, 0) << ReadText(output.string() + ".log");
  std::string text = ReadText(output);
  cmsHANDLE it8 = cmsIT8LoadFromMem(nullptr, text.data(), static_cast<cmsUInt32Number>(text.size()));
  std::vector<ArgyllLab> labs;
  if (it8 == nullptr) {
    ADD_FAILURE() << "spec2cie wrote no readable file: " << text;
    return labs;
  }
  char** names = nullptr;
  int fields = cmsIT8EnumDataFormat(it8, &names);
  int l = -1, a = -1, b = -1;
  auto ends_with = [](const std::string& name, const std::string& end) {
    return name.size() >= end.size() && name.compare(name.size() - end.size(), end.size(), end) == 0;
  };
  for (int f = 0; f < fields; ++f) {
    if (ends_with(names[f], "LAB_L")) l = f;
    if (ends_with(names[f], "LAB_A")) a = f;
    if (ends_with(names[f], "LAB_B")) b = f;
  }
  int sets = static_cast<int>(cmsIT8GetPropertyDbl(it8, "NUMBER_OF_SETS"));
  EXPECT_GE(l, 0) << text;
  for (int row = 0; row < sets && l >= 0; ++row) {
    labs.push_back({cmsIT8GetDataRowColDbl(it8, row, l), cmsIT8GetDataRowColDbl(it8, row, a),
                    cmsIT8GetDataRowColDbl(it8, row, b)});
  }
  cmsIT8Free(it8);
  return labs;
}

struct Case {
  std::string format;      // ti3 or sp
  std::string illuminant;  // vk605's name
  std::string observer;
  std::string argyll_illuminant;  // spec2cie -i
  std::string argyll_observer;    // spec2cie -o
};

// Keeps the test names short (the default printer dumps the bytes).
void PrintTo(const Case& c, std::ostream* os) {
  *os << c.format << " " << c.illuminant << "/" << c.observer;
}

class CliArgyll : public ::testing::TestWithParam<Case> {};

// One run writes the Argyll file and prints each reading as a JSON line (--json): spec2cie's L*a*b* of
// the file lie within 0.3 CIEDE2000 of the program's.
TEST_P(CliArgyll, Spec2cieReadsTheFileAndAgreesWithTheProgram) {
  const Case& c = GetParam();
  ToolHome home;
  fs::path file = home.Path() / ("out." + c.format);
  ToolResult run =
      home.Run({"--simulate", "--non-interactive", "--json", "measure", "-n", "2", "--format", c.format,
                "--illuminant", c.illuminant, "--observer", c.observer, "-o", file.string()});
  ASSERT_EQ(run.exit_code, 0) << run.err;
  std::vector<json> lines = JsonLines(run.out);
  ASSERT_EQ(lines.size(), 3u) << run.out;  // two readings, then the file
  EXPECT_EQ(lines[2]["kind"], "file");
  std::string text = ReadText(file);
  EXPECT_EQ(text.rfind(c.format == "ti3" ? "CTI3" : "SPECT", 0), 0u);
  EXPECT_NE(text.find("MEAS_TYPE \"REFLECTIVE\""), std::string::npos);
  EXPECT_EQ(text.find("DEVICE_CLASS \"OUTPUT\"") != std::string::npos, c.format == "ti3");
  EXPECT_NE(text.find("MEASURED_START_NM \"400\""), std::string::npos);
  EXPECT_NE(text.find("MEASURED_END_NM \"700\""), std::string::npos);
  EXPECT_NE(text.find(" SPEC_360 "), std::string::npos);
  EXPECT_NE(text.find(" 52.3100 "), std::string::npos);  // percent, not factors
  std::vector<ArgyllLab> argyll = Spec2Cie(file, c.argyll_illuminant, c.argyll_observer);
  ASSERT_EQ(argyll.size(), 2u);
  for (int r = 0; r < 2; ++r) {
    const json& ours = lines[static_cast<std::size_t>(r)];
    EXPECT_EQ(ours["kind"], "reading");
    double difference =
        DeltaE2000(ours["Lab"][0], ours["Lab"][1], ours["Lab"][2], argyll[r].l, argyll[r].a, argyll[r].b);
    EXPECT_LT(difference, 0.3) << "ours " << ours["Lab"] << ", Argyll " << argyll[r].l << " " << argyll[r].a
                               << " " << argyll[r].b;
  }
}

INSTANTIATE_TEST_SUITE_P(
    IlluminantsAndObservers, CliArgyll,
    ::testing::Values(Case{"ti3", "D65", "10", "D65", "1964_10"}, Case{"sp", "D50", "2", "D50", "1931_2"},
                      Case{"ti3", "A", "2", "A", "1931_2"},
                      Case{"ti3", "f11", "10", "/usr/share/colord/illuminant/CIE-F11.sp", "1964_10"}),
    [](const ::testing::TestParamInfo<Case>& param_info) {
      std::string name =
          param_info.param.format + "_" + param_info.param.illuminant + "_" + param_info.param.observer;
      for (char& ch : name) {
        if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
      }
      return name;
    });

// Illuminant A and the 2 degree observer against the test's own computation from colord-data's tables;
// each reading is printed as a line while the next is taken.
TEST(CliColour, IlluminantAndObserverAreTheOnesAskedForAndReadingsStreamAsTheyAreTaken) {
  ToolHome home;
  ReferenceLab expected =
      ReferenceLabOf(DefaultSample(), "/usr/share/colord", "CIE-A.sp", "CIE1931-2deg-XYZ.cmf");
  std::string out_when_third_started;
  RunOptions options;
  options.on_output = [&](const std::string& out, const std::string& err) {
    if (out_when_third_started.empty() && err.find("reading 3 of 3") != std::string::npos) {
      out_when_third_started = out.empty() ? "-" : out;
    }
    return false;
  };
  ToolResult run = home.Run({"--simulate", "--non-interactive", "--json", "measure", "-n", "3",
                             "--illuminant", "A", "--observer", "2"},
                            options);
  ASSERT_EQ(run.exit_code, 0) << run.err;
  std::vector<json> early = JsonLines(out_when_third_started == "-" ? "" : out_when_third_started);
  ASSERT_EQ(early.size(), 2u) << out_when_third_started;
  EXPECT_EQ(early[0]["kind"], "reading");
  EXPECT_EQ(early[0]["index"], 1);
  EXPECT_EQ(early[1]["index"], 2);
  EXPECT_EQ(early[1]["of"], 3);
  std::vector<json> lines = JsonLines(run.out);
  ASSERT_EQ(lines.size(), 4u);
  const json& document = lines[3];
  EXPECT_EQ(document["kind"], "measurement");
  EXPECT_EQ(document["illuminant"], "A");
  EXPECT_EQ(document["observer"], "2");
  for (const json& reading : document["readings"]) {
    EXPECT_NEAR(reading["Lab"][0].get<double>(), expected.l, 0.01);
    EXPECT_NEAR(reading["Lab"][1].get<double>(), expected.a, 0.01);
    EXPECT_NEAR(reading["Lab"][2].get<double>(), expected.b, 0.01);
  }
}

TEST(CliColour, UnknownIlluminantOrObserverIsAUsageErrorBeforeTheInstrumentIsTouched) {
  ToolHome home;
  ToolResult illuminant = home.Run({"--simulate", "--non-interactive", "measure", "--illuminant", "D66"});
  EXPECT_EQ(illuminant.exit_code, 2);
  EXPECT_NE(illuminant.err.find("no illuminant table 'D66'"), std::string::npos) << illuminant.err;
  EXPECT_NE(illuminant.err.find("D50, D55, D65"), std::string::npos) << illuminant.err;
  EXPECT_EQ(illuminant.err.find("Attempting"), std::string::npos) << illuminant.err;
  ToolResult observer = home.Run({"--simulate", "--non-interactive", "measure", "--observer", "5"});
  EXPECT_EQ(observer.exit_code, 2);
  EXPECT_NE(observer.err.find("the observer is 2 (CIE 1931) or 10 (CIE 1964), not '5'"), std::string::npos);
  EXPECT_EQ(observer.err.find("Attempting"), std::string::npos) << observer.err;
}

// A reference given as L*a*b* one unit of L* above the sample: every reading is that far from it.
TEST(CliColour, ReferenceGivesTheCiede2000OfEveryReading) {
  ToolHome home;
  ReferenceLab sample = ReferenceLabOf(DefaultSample());
  fs::path reference = home.Path() / "reference.cgats";
  {
    std::ofstream file(reference);
    file << "CGATS.17\nNUMBER_OF_FIELDS 4\nBEGIN_DATA_FORMAT\nSAMPLE_ID LAB_L LAB_A LAB_B\nEND_DATA_FORMAT\n"
         << "NUMBER_OF_SETS 1\nBEGIN_DATA\n1 " << sample.l + 1.0 << " " << sample.a << " " << sample.b
         << "\nEND_DATA\n";
  }
  double expected = DeltaE2000(sample.l, sample.a, sample.b, sample.l + 1.0, sample.a, sample.b);
  ToolResult run = home.Run({"--simulate", "--non-interactive", "measure", "-n", "2", "--format", "json",
                             "--reference", reference.string()});
  ASSERT_EQ(run.exit_code, 0) << run.err;
  json document = json::parse(run.out);
  EXPECT_EQ(document["reference"]["source"], "Lab");
  EXPECT_EQ(document["reference"]["file"], reference.string());
  for (const json& reading : document["readings"]) {
    EXPECT_NEAR(reading["de2000_reference"].get<double>(), expected, 0.01);
  }
  EXPECT_NEAR(document["mean"]["de2000_reference"].get<double>(), expected, 0.01);
  ToolResult missing = home.Run(
      {"--simulate", "--non-interactive", "measure", "--reference", (home.Path() / "none.ti3").string()});
  EXPECT_EQ(missing.exit_code, 2);
  EXPECT_EQ(missing.err.find("Attempting"), std::string::npos) << missing.err;
}

}  // namespace
}  // namespace vk605::tooltest
