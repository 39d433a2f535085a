#pragma once

#include <sys/types.h>

#include <filesystem>
#include <functional>
#include <string>

#include "host_harness.h"

namespace vk605::host {

// A host application running in its own process while the test goes on (RunHost waits for its host).
// The environment is RunHost's: registry, per-user files and the named mutexes' lock files under dir, so
// hosts started with the same dir share the system-wide mutexes. body ends with EndHostWithoutUnload()
// or returns (then the process ends the same way).
class HostProcess {
 public:
  HostProcess(const TempDir& dir, const std::function<void()>& body);
  ~HostProcess();  // kills a host that is still running
  HostProcess(const HostProcess&) = delete;
  HostProcess& operator=(const HostProcess&) = delete;

  pid_t Pid() const { return pid_; }
  // The host's failures as RunHost reports them (100 + signal when killed); -1 when it is still running
  // after wait_ms, and then it is killed.
  int Wait(int wait_ms);
  void Kill(int signal_number);

 private:
  pid_t pid_ = -1;
  int status_ = -1;
};

// A path short enough for the driver's 19-character PORT setting, unique to this test process.
std::string ShortLinkPath(const std::string& tag);
// The number of descriptors the calling process holds.
int OpenDescriptorCount();

}  // namespace vk605::host
