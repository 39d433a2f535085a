#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace vk605::tool {

// vk605-sim started as a child process on a fresh pseudo-terminal; stopped (SIGTERM) by the destructor.
class SimulatorProcess {
 public:
  // Throws ToolError (kDriverUnavailable) when the program cannot be started or names no device.
  SimulatorProcess(const std::string& program, const std::vector<std::string>& options);
  ~SimulatorProcess();
  SimulatorProcess(const SimulatorProcess&) = delete;
  SimulatorProcess& operator=(const SimulatorProcess&) = delete;

  // The pty slave the driver opens (the simulator's first stdout line).
  const std::string& Device() const { return device_; }

 private:
  void Stop();
  pid_t pid_ = -1;
  int stdout_fd_ = -1;
  std::string device_;
};

}  // namespace vk605::tool
