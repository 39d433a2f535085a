#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "host_harness.h"
#include "sim_process.h"

namespace vk605::host {

// Whether a host answers the driver's message boxes and dialogs from Script() or leaves them to the
// platform default (which traces each answer in the diagnostics log).
enum class Ui { kScripted, kPlatformDefault };

// The fixture of every integration test: a directory of the test's own holding the driver's copy, its
// VK605.INI, the registry stand-in, the per-user files and the named mutexes' lock files, plus the
// test's own simulators and pseudo-terminals. Nothing is shared with another test, so any number of
// tests run at once.
class HostTest : public ::testing::Test {
 protected:
  const TempDir& Dir() const { return dir_; }
  std::filesystem::path Path(const std::string& name) const { return dir_ / name; }

  // A simulator of the test's own (options as on vk605-sim's command line), each in its own folder.
  SimProcess& StartSim(const std::vector<std::string>& options = {});
  // A simulator as the instrument that VK605.INI names, with further lines of section MAIN.
  SimProcess& StartInstrument(const std::vector<std::string>& options = {},
                              const std::string& more_lines = "");

  // VK605.INI naming port, with further lines of section MAIN.
  void WriteSettings(const std::string& port, const std::string& more_lines = "") const;
  // VK605.INI naming a port that does not exist, so no attempt touches real serial hardware.
  void WriteSettingsWithoutInstrument(const std::string& more_lines = "") const;
  // The registry stand-in (on Windows the child host copies it into the machine's registry).
  void WriteRegistry(const std::string& text) const;
  // The registry names a diagnostics log in the test's directory; returns its path.
  std::filesystem::path EnableTrace() const;
  // The texts of that log's entries, in order (dates and the start banner left out).
  std::vector<std::string> TraceEntries() const;
  // A path short enough for the driver's 19-character PORT setting, in a folder of this test's own.
  std::string ShortPath(const std::string& name);

  // Runs body in a child host, like a host application of its own, that has loaded the driver from the
  // test's directory. See RunHost in host_harness.h for how the child reports failures.
  int RunHost(const std::function<void(Driver&)>& body, Ui ui = Ui::kScripted) const;

  // Asks condition every few milliseconds until it holds; false when it still does not after timeout_ms.
  static bool WaitFor(const std::function<bool()>& condition, int timeout_ms = 30000);
  // True once the simulator has received the command (escaped as in SimProcess::Commands()).
  static bool WaitForCommand(SimProcess& sim, const std::string& escaped, int timeout_ms = 30000);

  void TearDown() override;

 private:
  TempDir dir_;
  std::vector<std::unique_ptr<SimProcess>> sims_;
  std::filesystem::path short_dir_;
};

// Loads the driver from directory into this process and installs the UI answers ui asks for.
void WithDriver(const std::filesystem::path& directory, Ui ui, const std::function<void(Driver&)>& body);

// Whether one of the entries (of the diagnostics trace, say) is exactly text.
inline bool Contains(const std::vector<std::string>& entries, const std::string& text) {
  return std::find(entries.begin(), entries.end(), text) != entries.end();
}

}  // namespace vk605::host
