// Nothing lost on a crash: hosts killed with SIGKILL while the driver rewrites VK605.INI and the
// calibration file leave every file whole, each key holding its old or its new value.
#include <gtest/gtest.h>
#include <signal.h>

#include <cstdio>
#include <map>
#include <set>
#include <sstream>

#include "host_process.h"
#include "host_test.h"
#include "replacement_pause.h"

namespace vk605::host {
namespace {

using CrashSafety = HostTest;

using AllowedValues = std::map<std::string, std::set<std::string>>;

constexpr int kKilledHostTimeoutMs = 60000;

// Calibration keys written in forms the driver writes back differently ("0024" comes back as "24"), so a
// file shows whether each key holds the old or the new text.
const std::vector<std::pair<std::string, std::string>> kCalibrationSeed{
    {"bTIME", "01"},
    {"bMEASUREMENTS", "00"},
    {"HOURS", "0024"},
    {"MINUTES", "000"},
    {"MEASUREMENTS", "0100"},
    {"MEASUREMENT_COUNT", "007"},
    {"CALIBRATION_DATE", "12/01/2026 10:00:00"},
    {"EXPIRATION", "12/31/2026 10:00:00"}};

std::string CalibrationSection() {
  std::string text = "[CALIBRATION]\r\n";
  for (const auto& [key, value] : kCalibrationSeed) text += key + "=" + value + "\r\n";
  return text;
}

AllowedValues CalibrationValues() {
  AllowedValues allowed;
  for (const auto& [key, value] : kCalibrationSeed) {
    bool number = value.find('/') == std::string::npos;
    allowed[key] = {value, number ? std::to_string(std::stoi(value)) : value};
  }
  return allowed;
}

// Comment lines that make every rewrite long (800 kB), so a writer that truncated the file in place would be
// caught with a torn or empty file; the driver keeps them as they are.
std::string Padding() {
  std::string padding;
  for (int i = 0; i < 4000; ++i) padding += "; " + std::string(200, 'x') + "\r\n";
  return padding;
}

// The file's sections as key/value maps; empty with a reason in why when a line is neither a section
// header nor a key=value line (a torn line), or the file is empty.
std::map<std::string, std::map<std::string, std::string>> ParseWhole(const std::string& text,
                                                                     std::string& why) {
  std::map<std::string, std::map<std::string, std::string>> sections;
  if (text.empty()) {
    why = "empty file";
    return {};
  }
  if (text.size() < 2 || text.compare(text.size() - 2, 2, "\r\n") != 0) {
    why = "file does not end with a whole line";
    return {};
  }
  std::istringstream in(text);
  std::string line;
  std::string section;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line.front() == ';') continue;
    if (line.front() == '[' && line.back() == ']') {
      section = line.substr(1, line.size() - 2);
      continue;
    }
    std::size_t eq = line.find('=');
    if (eq == std::string::npos || section.empty()) {
      why = "torn line: " + line;
      return {};
    }
    sections[section].emplace(line.substr(0, eq), line.substr(eq + 1));
  }
  return sections;
}

// Every key of allowed is in the section with one of its allowed values.
void ExpectValues(const std::filesystem::path& file, const std::string& section, const AllowedValues& allowed,
                  const std::string& when) {
  std::string why;
  auto sections = ParseWhole(ReadFile(file), why);
  ASSERT_TRUE(why.empty()) << file << " " << when << ": " << why;
  for (const auto& [key, values] : allowed) {
    auto found = sections[section].find(key);
    ASSERT_NE(found, sections[section].end()) << file << " " << when << ": " << key << " missing";
    EXPECT_EQ(values.count(found->second), 1u) << file << " " << when << ": " << key << "=" << found->second;
  }
}

// The point and the number of moments to let pass before it, for the kill-th kill: half the kills land
// inside the new content, half with the replacement complete, each in a different one of the first writes.
PausePoint PointOf(int kill) {
  return kill % 2 == 0 ? PausePoint::kInsideContent : PausePoint::kBeforeRename;
}

int SkipOf(int kill) {
  return kill % 5;
}

void ReportKillsInsideWrites(const std::string& file, int inside, int kills) {
  ::testing::Test::RecordProperty("kills_inside_write", inside);
  std::printf("%s: %d of %d kills landed inside a write\n", file.c_str(), inside, kills);
}

// A host rewriting VK605.INI as fast as it can: the baud rate setter writes BAUDRATE at once, and every
// InitializeDriver (the port is missing, emulation declined) loads the calibration keys, which live in
// VK605.INI while no serial number is known, and writes each back. The host stops itself inside one of
// those writes and is killed there, 25 times.
TEST_F(CrashSafety, SettingsFileSurvivesKillsWhileItIsWritten) {
  constexpr int kKills = 25;
  const std::string padding = Padding();
  WriteSettingsWithoutInstrument("BAUDRATE=09600\r\n" + padding + CalibrationSection());
  AllowedValues main_values{{"PORT", {MissingPortName()}}, {"BAUDRATE", {"09600", "9600", "4800"}}};
  int inside = 0;
  for (int kill = 0; kill < kKills; ++kill) {
    HostProcess host(Dir().Path(), Dir().Path(), [&](Driver& driver) {
      PauseInReplacement(Path("VK605.INI"), PointOf(kill), SkipOf(kill));
      for (int i = 0;; ++i) {
        VK605_EXPORT(driver, SetBaudRate)(i % 2 == 0 ? 4800 : 9600);
        VK605_EXPORT(driver, InitializeDriver)();
        Script().boxes.clear();
      }
    });
    const std::string when = "after kill " + std::to_string(kill);
    ASSERT_TRUE(host.WaitUntilStopped(kKilledHostTimeoutMs)) << when << ": the host never reached its pause";
    host.Kill(SIGKILL);
    ASSERT_EQ(host.Wait(kKilledHostTimeoutMs), 100 + SIGKILL);
    inside += RemoveLeftoverReplacements(Path("VK605.INI")) > 0 ? 1 : 0;
    ExpectValues(Path("VK605.INI"), "MAIN", main_values, when);
    ExpectValues(Path("VK605.INI"), "CALIBRATION", CalibrationValues(), when);
    EXPECT_NE(ReadFile(Path("VK605.INI")).find(padding), std::string::npos) << when << ": comments lost";
    if (HasFatalFailure()) return;
  }
  ReportKillsInsideWrites("VK605.INI", inside, kKills);
  EXPECT_GT(inside, 0);
  EXPECT_EQ(inside, kKills) << "kills that found no replacement in progress";
  // The driver itself reads what the kills left.
  const std::string stored = IniSection(Path("VK605.INI"), "MAIN")["BAUDRATE"];
  int failures = RunHost(
      [&](Driver& driver) {
        HOST_CHECK_EQ(VK605_EXPORT(driver, GetBaudRate)(), std::stoi(stored));
        EndHostWithoutUnload();
      },
      Ui::kPlatformDefault);
  EXPECT_EQ(failures, 0);
}

// Hosts connected to an instrument (serial number 12345, so the calibration file is VK60512345.INI) reload
// the calibration record and set the baud rate in a loop; each stops itself inside a write of the
// calibration file and is killed there. Each host has its own folder, simulator and environment.
TEST_F(CrashSafety, CalibrationFileSurvivesKillsWhileItIsWritten) {
  constexpr int kHosts = 4;
  std::vector<std::filesystem::path> folders;
  std::vector<std::unique_ptr<HostProcess>> hosts;
  for (int h = 0; h < kHosts; ++h) {
    const std::filesystem::path folder = Path("host" + std::to_string(h));
    folders.push_back(folder);
    SimProcess& sim = StartSim();
    WriteDriverIni(folder, sim.Device(), "BAUDRATE=09600\r\n");
    WriteFile(folder / "VK60512345.INI", Padding() + CalibrationSection());
    hosts.push_back(std::make_unique<HostProcess>(folder, folder, [folder, h](Driver& driver) {
      char version[8192] = {};
      HOST_CHECK_EQ(VK605_EXPORT(driver, GetFirmwareVersion)(version), 0);  // connects
      PauseInReplacement(folder / "VK60512345.INI", PointOf(h), SkipOf(h));
      for (int i = 0;; ++i) {
        VK605_EXPORT(driver, InitializeDriver)();
        VK605_EXPORT(driver, SetBaudRate)(i % 2 == 0 ? 4800 : 9600);
      }
    }));
  }
  int inside = 0;
  for (int h = 0; h < kHosts; ++h) {
    const std::filesystem::path& folder = folders[h];
    const std::string when = "host " + std::to_string(h);
    ASSERT_TRUE(hosts[h]->WaitUntilStopped(kKilledHostTimeoutMs))
        << when << ": the host never reached its pause";
    hosts[h]->Kill(SIGKILL);
    ASSERT_EQ(hosts[h]->Wait(kKilledHostTimeoutMs), 100 + SIGKILL);
    inside += RemoveLeftoverReplacements(folder / "VK60512345.INI") > 0 ? 1 : 0;
    ExpectValues(folder / "VK60512345.INI", "CALIBRATION", CalibrationValues(), when);
    EXPECT_EQ(ReadFile(folder / "VK60512345.INI").rfind(Padding(), 0), 0u) << when << ": comments lost";
    ExpectValues(folder / "VK605.INI", "MAIN", {{"BAUDRATE", {"09600", "9600", "4800"}}}, when);
  }
  ReportKillsInsideWrites("VK60512345.INI", inside, kHosts);
  EXPECT_GT(inside, 0);
  EXPECT_EQ(inside, kHosts) << "kills that found no replacement in progress";
}

}  // namespace
}  // namespace vk605::host
