#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "host_harness.h"

namespace vk605::host {

// vk605-sim running in its own process on a pty, with its control socket in directory.
// On Windows (under Wine) the tests share one simulator that the test script started: the constructor
// connects to its loopback control port, resets it and applies the options as control requests, and
// Device() is the COM port that Wine maps to its pty.
class SimProcess {
 public:
  explicit SimProcess(const std::filesystem::path& directory, const std::vector<std::string>& options = {});
  ~SimProcess();
  SimProcess(const SimProcess&) = delete;
  SimProcess& operator=(const SimProcess&) = delete;

  // The port name the driver opens.
  const std::string& Device() const;
  // Every command received so far, escaped ("0005CF\r" reads "0005CF\\r").
  std::vector<std::string> Commands();
  // A control request such as "uncalibrated" or "serial A1234"; false unless answered "OK".
  bool Set(const std::string& request);
  void ClearRecord() { Set("clear"); }

 private:
  struct Connection;
  std::unique_ptr<Connection> connection_;
};

// The command record as one text, commands joined by blanks, for readable comparisons.
std::string Joined(const std::vector<std::string>& commands);

// The simulator's command-line options as control requests: "--trigger-after-ms", "2000" becomes
// "trigger-after-ms 2000", "--uncalibrated" becomes "uncalibrated".
std::vector<std::string> ControlRequestsFromOptions(const std::vector<std::string>& options);

}  // namespace vk605::host
