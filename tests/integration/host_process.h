#pragma once

#include <sys/types.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "host_harness.h"

namespace vk605::host {

// A host application running in its own process while the test goes on (RunHost waits for its host). It
// loads the driver from driver_directory with the scripted UI and runs body. Its environment points into
// environment: registry, per-user files and the named mutexes' lock files, so hosts started with the same
// environment share the system-wide mutexes. body ends with EndHostWithoutUnload() or returns (then the
// process ends the same way).
class HostProcess {
 public:
  HostProcess(const std::filesystem::path& environment, const std::filesystem::path& driver_directory,
              const std::function<void(Driver&)>& body);
  ~HostProcess();  // kills a host that is still running
  HostProcess(const HostProcess&) = delete;
  HostProcess& operator=(const HostProcess&) = delete;

  pid_t Pid() const { return pid_; }
  // The host's failures as RunHost reports them (100 + signal when killed); -1 when it is still running
  // after wait_ms, and then it is killed.
  int Wait(int wait_ms);
  // True once the host has stopped itself (SIGSTOP); false when it has not after wait_ms or has ended.
  bool WaitUntilStopped(int wait_ms);
  void Kill(int signal_number);

 private:
  pid_t pid_ = -1;
  int status_ = -1;
};

// Waits up to wait_ms for the child to end and stores its status as RunHost reports it (100 + signal when
// killed); false when it is still running then.
bool WaitForExit(pid_t pid, int wait_ms, int& status);

// Prints the stacks of every thread of a process (through gdb; without gdb, each thread's state and kernel
// wait channel), so a test that hangs says where.
void PrintWhereThreadsAre(pid_t pid);

// A test program that has not ended shortly before its ctest time-out prints where its threads are and
// fails, instead of ctest ending it without a word.
void StartHangWatch();

// Points the environment of this (child host) process into directory: the registry stand-in
// (VK605_REGISTRY), the per-user settings (XDG_CONFIG_HOME, HOME) and the named mutexes' lock files
// (XDG_RUNTIME_DIR), so a host touches no file of the user's or of another test.
void PointEnvironmentInto(const std::filesystem::path& directory);
// Who the kernel's lock table (/proc/locks) shows holding a flock on file, or queued waiting for one.
enum class FlockState { kHolding, kWaiting };
std::vector<pid_t> FlockProcesses(const std::filesystem::path& file, FlockState state);
// The number of descriptors the calling process holds.
int OpenDescriptorCount();

}  // namespace vk605::host
