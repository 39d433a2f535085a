#include "host_test.h"

#include <chrono>
#include <random>
#include <regex>
#include <thread>

namespace vk605::host {

namespace {

constexpr std::size_t kPortFieldLength = 19;

}  // namespace

void WithDriver(const std::filesystem::path& directory, Ui ui, const std::function<void(Driver&)>& body) {
  Driver driver(directory);
  if (ui == Ui::kScripted) InstallScriptedUi(driver);
  body(driver);
}

SimProcess& HostTest::StartSim(const std::vector<std::string>& options) {
  // Each simulator's control socket in a folder of its own, so several simulators of one test never meet.
  const std::filesystem::path folder = dir_ / ("sim" + std::to_string(sims_.size() + 1));
  std::filesystem::create_directories(folder);
  sims_.push_back(std::make_unique<SimProcess>(folder, options));
  return *sims_.back();
}

SimProcess& HostTest::StartInstrument(const std::vector<std::string>& options,
                                      const std::string& more_lines) {
  SimProcess& sim = StartSim(options);
  WriteSettings(sim.Device(), more_lines);
  return sim;
}

void HostTest::WriteSettings(const std::string& port, const std::string& more_lines) const {
  WriteDriverIni(dir_.Path(), port, more_lines);
}

void HostTest::WriteSettingsWithoutInstrument(const std::string& more_lines) const {
  WriteSettings(MissingPortName(), more_lines);
}

void HostTest::WriteRegistry(const std::string& text) const {
  WriteFile(dir_ / "registry.ini", text);
}

std::filesystem::path HostTest::EnableTrace() const {
  const std::filesystem::path log = dir_ / "trace.log";
  WriteRegistry("[Software\\Orvanta\\Spectrophotometers\\VK605]\nDiagnosticsFileName=" + log.string() + "\n");
  return log;
}

std::vector<std::string> HostTest::TraceEntries() const {
  const std::string trace = ReadFile(dir_ / "trace.log");
  std::vector<std::string> entries;
  const std::regex entry("[0-9]{2}/[0-9]{2}/[0-9]{4} [0-9]{2}:[0-9]{2}:[0-9]{2}:  ([^\r]*)\r\n\r\n");
  for (std::sregex_iterator it(trace.begin(), trace.end(), entry), end; it != end; ++it) {
    entries.push_back((*it)[1]);
  }
  return entries;
}

std::string HostTest::ShortPath(const std::string& name) {
  if (short_dir_.empty()) {
    // The test's directory is too long for the port field; a short folder of the test's own beside it.
    std::mt19937 random(std::random_device{}());
    const char digits[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    for (int attempt = 0; attempt < 100 && short_dir_.empty(); ++attempt) {
      std::string folder = "vk";
      for (int i = 0; i < 6; ++i) folder += digits[random() % (sizeof digits - 1)];
      const std::filesystem::path candidate = std::filesystem::temp_directory_path() / folder;
      if (std::filesystem::create_directory(candidate)) short_dir_ = candidate;
    }
  }
  const std::string path = (short_dir_ / name).string();
  EXPECT_FALSE(short_dir_.empty()) << "no short folder";
  EXPECT_LE(path.size(), kPortFieldLength) << path << " does not fit the port field";
  return path;
}

int HostTest::RunHost(const std::function<void(Driver&)>& body, Ui ui) const {
  return ::vk605::host::RunHost(dir_, [&] { WithDriver(dir_.Path(), ui, body); });
}

bool HostTest::WaitFor(const std::function<bool()>& condition, int timeout_ms) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  while (!condition()) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

bool HostTest::WaitForCommand(SimProcess& sim, const std::string& escaped, int timeout_ms) {
  return WaitFor([&] { return Joined(sim.Commands()).find(escaped) != std::string::npos; }, timeout_ms);
}

void HostTest::TearDown() {
  // The simulators first: they remove their links from the short folder as they end.
  sims_.clear();
  if (!short_dir_.empty()) {
    std::error_code ignored;
    std::filesystem::remove_all(short_dir_, ignored);
  }
}

}  // namespace vk605::host
