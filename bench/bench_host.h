#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

#include "control_client.h"

namespace vk605::bench {

// vk605-sim in its own process on a pty, with its control socket connected.
class Simulator {
 public:
  Simulator(const std::string& program, const std::string& socket, const std::vector<std::string>& options);
  ~Simulator();
  Simulator(const Simulator&) = delete;
  Simulator& operator=(const Simulator&) = delete;
  bool Started() const { return !device_.empty() && connected_; }
  const std::string& Device() const { return device_; }
  // Commands received since the last call (the record is cleared each time).
  std::size_t TakeCommandCount();

 private:
  pid_t pid_ = -1;
  std::string device_;
  bool connected_ = false;
  sim::ControlClient control_;
};

// One point in time of this process: monotonic wall clock and the CPU time of all its threads.
struct Sample {
  double wall_ms = 0.0;
  double cpu_ms = 0.0;
  long max_rss_kb = 0;
};
Sample Now();

// A fresh directory under $TMPDIR (or /tmp), removed by the destructor.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

}  // namespace vk605::bench
