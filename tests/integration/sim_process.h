#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

#include "control_client.h"
#include "host_harness.h"

namespace vk605::host {

// vk605-sim running in its own process on a pty, with its control socket connected.
class SimProcess {
 public:
  explicit SimProcess(const TempDir& dir, const std::vector<std::string>& options = {});
  ~SimProcess();
  SimProcess(const SimProcess&) = delete;
  SimProcess& operator=(const SimProcess&) = delete;

  // The pty device the driver opens.
  const std::string& Device() const { return device_; }
  // Every command received so far, escaped ("0005CF\r" reads "0005CF\\r").
  std::vector<std::string> Commands();
  // A control request such as "uncalibrated" or "serial A1234"; false unless answered "OK".
  bool Set(const std::string& request);
  void ClearRecord() { Set("clear"); }

 private:
  pid_t pid_ = -1;
  std::string device_;
  sim::ControlClient control_;
};

// The command record as one text, commands joined by blanks, for readable comparisons.
std::string Joined(const std::vector<std::string>& commands);

}  // namespace vk605::host
