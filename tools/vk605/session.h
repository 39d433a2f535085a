#pragma once

#include <memory>
#include <optional>
#include <string>

#include "command_line.h"
#include "driver_library.h"
#include "exit_codes.h"
#include "simulator_process.h"
#include "terminal_ui.h"

namespace vk605::tool {

// What the connected instrument and the driver say about themselves.
struct InstrumentIdentity {
  std::string identification;  // model name followed by the serial number, as the driver builds it
  std::string model;
  std::string serial;
  std::string firmware;
  std::string driver_version;
};

// One run of the driver: the simulator (--simulate), the diagnostics log (--trace), the library loaded
// with dlopen, the terminal UI handler installed and the port chosen with --port. The destructor unloads
// the driver (its exit sequence resets the instrument and writes the settings back), then puts the
// configured port back and stops the simulator.
class Session {
 public:
  explicit Session(const GlobalOptions& options);
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  const DriverApi& Api() const { return driver_->Api(); }
  TerminalUi& Ui() { return *ui_; }
  const std::string& LibraryPath() const { return driver_->Path(); }
  std::string SettingsDirectory() const;
  std::string Port() const;
  bool Simulated() const { return simulator_ != nullptr; }

  // InitializeDriver: connects (answering the driver's questions) and loads the calibration record.
  // Throws ToolError with the driver's message when no instrument answers.
  void Initialize();
  // Identification, firmware and driver version (no instrument exchange once connected).
  InstrumentIdentity Identity() const;
  // The driver's text for a message code of its table (GetErrorMessage), empty when it has none.
  std::string ErrorMessage(int message_code) const;
  // Unloads now (normally left to the destructor).
  void Close();

 private:
  void PrepareTrace(const std::string& file);
  std::string PrepareSimulatedDriver(const std::string& driver_path);

  GlobalOptions options_;
  std::unique_ptr<SimulatorProcess> simulator_;
  std::string trace_registry_;
  std::optional<std::string> saved_registry_env_;
  std::unique_ptr<TerminalUi> ui_;
  std::unique_ptr<DriverLibrary> driver_;
  std::optional<std::string> port_to_restore_;
  std::string settings_directory_;
};

// The exit code and the text for a non-zero result of a driver export.
struct ResultMeaning {
  ExitCode exit;
  std::string text;
};
ResultMeaning DescribeResult(const Session& session, int result);

}  // namespace vk605::tool
