#include "diagnostics/diagnostics_log.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "fakes/fake_clock.h"
#include "fakes/fake_registry.h"

namespace vk605 {
namespace {

const std::string kRule = "*~*~*~*~*~*~*~*~*~*~*~*~*~*~*~*~*~*~*~*~*~*~*~*~*~*~*~*~*~*~*~*~*~*~*~*~*~*~*~*~";
constexpr const char* kDate = "12/08/2026 10:30:00";
constexpr const char* kProductKey = "Software\\Orvanta\\Spectrophotometers\\VK605";
constexpr const char* kProductSubkey = "\\Spectrophotometers\\VK605";

// The banner as it reaches the disk: every CR LF of the banner text becomes CR CR LF.
std::string DiskBanner(const std::string& name) {
  return "\r\r\n\r\r\n" + kRule + "\r\r\n" + name + "\r\r\n" + kDate + "\r\r\n" + kRule + "\r\r\n";
}

std::string DiskEntry(const std::string& text) {
  return std::string(kDate) + ":  " + text + "\r\n\r\n";
}

class DiagnosticsLogTest : public ::testing::Test {
 protected:
  DiagnosticsLogTest() {
    std::random_device random;
    directory_ = std::filesystem::temp_directory_path() /
                 ("vk605-log-test-" + std::to_string(random()) + "-" + std::to_string(random()));
    std::filesystem::create_directories(directory_);
    file_ = (directory_ / "vk605.log").string();
    clock_.SetLocal({2026, 12, 8, 10, 30, 0});
  }
  ~DiagnosticsLogTest() override {
    std::error_code ignored;
    std::filesystem::remove_all(directory_, ignored);
  }

  std::string Bytes() const {
    std::ifstream in(file_, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  void WriteBytes(const std::string& bytes) const {
    std::ofstream out(file_, std::ios::binary | std::ios::trunc);
    out << bytes;
  }

  std::filesystem::path directory_;
  std::string file_;
  testing::FakeClock clock_;
};

TEST_F(DiagnosticsLogTest, StartWritesTheBannerWithCrCrLfAndOneEndMarker) {
  DiagnosticsLog log(clock_);
  log.StartLogFile(file_);
  EXPECT_TRUE(log.IsOn());
  EXPECT_EQ(log.FileName(), file_);
  EXPECT_EQ(Bytes(), DiskBanner(file_) + "\x1a");
}

TEST_F(DiagnosticsLogTest, WholeRunGivesExactlyTheseBytes) {
  DiagnosticsLog log(clock_);
  log.StartLogFile(file_);
  EXPECT_EQ(log.LogLine("COMM_MEASURE"), 0);
  EXPECT_EQ(log.LogLine(""), 0);
  log.LogLine("ReadPort: time-out\n");
  log.LogLine("first\r\nsecond");
  const double spectrum[] = {1.5, 250.0};
  EXPECT_EQ(log.LogSpectrum(spectrum, 2), 0);
  log.LogSpectrum(spectrum, 0);
  log.LogSpectrum(spectrum, -3);
  EXPECT_EQ(Bytes(), DiskBanner(file_) + DiskEntry("COMM_MEASURE") + DiskEntry("") +
                         DiskEntry("ReadPort: time-out\r\n") + DiskEntry("first\r\r\nsecond") +
                         DiskEntry("1.5000, 250.0000, ") + DiskEntry("") + DiskEntry("") + "\x1a");
}

TEST_F(DiagnosticsLogTest, SpectrumValuesAreAtLeastThreeWideWithFourDecimals) {
  DiagnosticsLog log(clock_);
  log.StartLogFile(file_);
  const double spectrum[] = {0.0, -0.5, 12345.678951, 0.00004};
  log.LogSpectrum(spectrum, 4);
  EXPECT_EQ(Bytes(), DiskBanner(file_) + DiskEntry("0.0000, -0.5000, 12345.6790, 0.0000, ") + "\x1a");
}

TEST_F(DiagnosticsLogTest, SecondStartAppendsItsBannerAndDropsTheMarkerBetween) {
  {
    DiagnosticsLog first(clock_);
    first.StartLogFile(file_);
    first.LogLine("COMM_CLOSE");
  }
  clock_.Advance(61000);
  DiagnosticsLog second(clock_);
  second.StartLogFile(file_);
  std::string later_banner = "\r\r\n\r\r\n" + kRule + "\r\r\n" + file_ + "\r\r\n" + "12/08/2026 10:31:01" +
                             "\r\r\n" + kRule + "\r\r\n";
  EXPECT_EQ(Bytes(), DiskBanner(file_) + DiskEntry("COMM_CLOSE") + later_banner + "\x1a");
}

TEST_F(DiagnosticsLogTest, ExistingFileWithoutMarkerKeepsItsBytes) {
  WriteBytes("older text");
  DiagnosticsLog log(clock_);
  log.StartLogFile(file_);
  EXPECT_EQ(Bytes(), "older text" + DiskBanner(file_) + "\x1a");
}

TEST_F(DiagnosticsLogTest, OnlyOneTrailingMarkerIsRemovedPerWrite) {
  WriteBytes("x\x1a\x1a");
  DiagnosticsLog log(clock_);
  log.StartLogFile(file_);
  EXPECT_EQ(Bytes(), "x\x1a" + DiskBanner(file_) + "\x1a");
}

TEST_F(DiagnosticsLogTest, NothingIsWrittenWhileOff) {
  DiagnosticsLog log(clock_);
  EXPECT_FALSE(log.IsOn());
  const double spectrum[] = {1.0};
  EXPECT_EQ(log.LogLine("COMM_MEASURE"), 0);
  EXPECT_EQ(log.LogSpectrum(spectrum, 1), 0);
  log.StartLogFile("");
  EXPECT_FALSE(log.IsOn());
  EXPECT_TRUE(std::filesystem::is_empty(directory_));
}

TEST_F(DiagnosticsLogTest, FileThatCannotBeOpenedDropsEntriesAndIsTriedAgain) {
  std::string missing_directory = (directory_ / "later" / "vk605.log").string();
  DiagnosticsLog log(clock_);
  log.StartLogFile(missing_directory);
  EXPECT_TRUE(log.IsOn());
  log.LogLine("dropped");
  EXPECT_FALSE(std::filesystem::exists(missing_directory));
  std::filesystem::create_directory(directory_ / "later");
  log.LogLine("kept");
  std::ifstream in(missing_directory, std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(bytes, DiskEntry("kept") + "\x1a");
}

// A directory never becomes a trace file, so it is not tried again with every entry.
TEST_F(DiagnosticsLogTest, DirectoryAsTheLogSwitchesTracingOff) {
  std::filesystem::path inner = directory_ / "vk605.log";
  ASSERT_TRUE(std::filesystem::create_directory(inner));
  DiagnosticsLog log(clock_);
  log.StartLogFile(inner.string());
  EXPECT_FALSE(log.IsOn());
  EXPECT_EQ(log.FileName(), "");
  EXPECT_EQ(log.LogLine("COMM_MEASURE"), 0);
  EXPECT_TRUE(std::filesystem::is_directory(inner));
  EXPECT_TRUE(std::filesystem::is_empty(inner));
}

TEST_F(DiagnosticsLogTest, UnknownLocalTimeLeavesTheDateOut) {
  DiagnosticsLog log(clock_);
  log.StartLogFile(file_);
  clock_.SetLocalUnavailable();
  log.LogLine("COMM_RESET");
  EXPECT_EQ(Bytes(), DiskBanner(file_) + ":  COMM_RESET\r\n\r\n\x1a");
}

TEST_F(DiagnosticsLogTest, RegistryValueUnderTheProductKeyStartsTheLog) {
  testing::FakeRegistry registry;
  registry.SetValue(kProductKey, "DiagnosticsFileName", file_);
  DiagnosticsLog log(clock_);
  log.StartFromRegistry(registry, kProductSubkey);
  EXPECT_EQ(log.FileName(), file_);
  EXPECT_EQ(Bytes(), DiskBanner(file_) + "\x1a");
}

TEST_F(DiagnosticsLogTest, RegistryValueOf127CharactersFits) {
  std::string name = (directory_ / "").string();
  name += std::string(127 - name.size() - 4, 'a') + ".log";
  ASSERT_EQ(name.size(), 127u);
  testing::FakeRegistry registry;
  registry.SetValue(kProductKey, "DiagnosticsFileName", name);
  DiagnosticsLog log(clock_);
  log.StartFromRegistry(registry, kProductSubkey);
  EXPECT_EQ(log.FileName(), name);
}

struct RegistryCase {
  const char* name;
  bool add_key;
  bool add_value;
  std::size_t value_length;
};

class DiagnosticsLogRegistryTest : public DiagnosticsLogTest,
                                   public ::testing::WithParamInterface<RegistryCase> {};

TEST_P(DiagnosticsLogRegistryTest, LeavesLoggingOffSilently) {
  testing::FakeRegistry registry;
  if (GetParam().add_key) registry.AddKey(kProductKey);
  if (GetParam().add_value) {
    std::string value = (directory_ / "").string();
    value.resize(GetParam().value_length, 'b');
    if (GetParam().value_length == 0) value.clear();
    registry.SetValue(kProductKey, "DiagnosticsFileName", value);
  }
  DiagnosticsLog log(clock_);
  log.StartFromRegistry(registry, kProductSubkey);
  EXPECT_FALSE(log.IsOn());
  log.LogLine("COMM_MEASURE");
  EXPECT_TRUE(std::filesystem::is_empty(directory_));
}

INSTANTIATE_TEST_SUITE_P(Values, DiagnosticsLogRegistryTest,
                         ::testing::Values(RegistryCase{"MissingKey", false, false, 0},
                                           RegistryCase{"MissingValue", true, false, 0},
                                           RegistryCase{"EmptyValue", true, true, 0},
                                           RegistryCase{"TooLong", true, true, 128}),
                         [](const ::testing::TestParamInfo<RegistryCase>& param_info) {
                           return param_info.param.name;
                         });

TEST_F(DiagnosticsLogTest, EntriesFromEightThreadsNeverInterleave) {
  DiagnosticsLog log(clock_);
  log.StartLogFile(file_);
  constexpr int kThreads = 8;
  constexpr int kEntries = 40;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&log, t] {
      for (int i = 0; i < kEntries; ++i) {
        log.LogLine("thread " + std::to_string(t) + " entry " + std::to_string(i) + " " +
                    std::string(200, 'a' + t));
      }
    });
  }
  for (auto& thread : threads) thread.join();

  std::string bytes = Bytes();
  std::string banner = DiskBanner(file_);
  ASSERT_EQ(bytes.compare(0, banner.size(), banner), 0);
  ASSERT_EQ(bytes.back(), '\x1a');
  std::string rest = bytes.substr(banner.size(), bytes.size() - banner.size() - 1);
  int next[kThreads] = {};
  std::size_t pos = 0;
  int total = 0;
  while (pos < rest.size()) {
    std::size_t end = rest.find("\r\n\r\n", pos);
    ASSERT_NE(end, std::string::npos);
    std::string entry = rest.substr(pos, end + 4 - pos);
    int t = entry[std::string(kDate).size() + 10] - '0';
    ASSERT_TRUE(t >= 0 && t < kThreads) << entry;
    std::string expected = "thread " + std::to_string(t) + " entry " + std::to_string(next[t]) + " " +
                           std::string(200, static_cast<char>('a' + t));
    ASSERT_EQ(entry, DiskEntry(expected));
    ++next[t];
    ++total;
    pos = end + 4;
  }
  EXPECT_EQ(total, kThreads * kEntries);
}

TEST(FormatLogDateTest, TwoDigitFieldsAndFourDigitYear) {
  EXPECT_EQ(FormatLogDate({2004, 7, 30, 14, 5, 9}), "07/30/2004 14:05:09");
  EXPECT_EQ(FormatLogDate({2026, 1, 2, 0, 0, 0}), "01/02/2026 00:00:00");
}

}  // namespace
}  // namespace vk605
