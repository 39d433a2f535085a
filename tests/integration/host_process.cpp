#include "host_process.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "host_test.h"

namespace vk605::host {

HostProcess::HostProcess(const std::filesystem::path& environment,
                         const std::filesystem::path& driver_directory,
                         const std::function<void(Driver&)>& body) {
  std::fflush(stdout);
  std::fflush(stderr);
  pid_ = fork();
  if (pid_ == 0) {
    PointEnvironmentInto(environment);
    WithDriver(driver_directory, Ui::kScripted, body);
    EndHostWithoutUnload();
  }
}

HostProcess::~HostProcess() {
  if (status_ < 0 && pid_ > 0) {
    Kill(SIGKILL);
    Wait(0);
  }
}

void HostProcess::Kill(int signal_number) {
  if (status_ < 0 && pid_ > 0) ::kill(pid_, signal_number);
}

int HostProcess::Wait(int wait_ms) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(wait_ms);
  while (status_ < 0) {
    int status = 0;
    pid_t done = waitpid(pid_, &status, WNOHANG);
    if (done == pid_) {
      status_ = WIFSIGNALED(status) ? 100 + WTERMSIG(status) : WEXITSTATUS(status);
      break;
    }
    if (std::chrono::steady_clock::now() >= deadline) {
      ::kill(pid_, SIGKILL);
      waitpid(pid_, &status, 0);
      status_ = 100 + SIGKILL;
      return -1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return status_;
}

void PointEnvironmentInto(const std::filesystem::path& directory) {
  setenv("VK605_REGISTRY", (directory / "registry.ini").c_str(), 1);
  setenv("XDG_CONFIG_HOME", (directory / "config").c_str(), 1);
  setenv("HOME", (directory / "home").c_str(), 1);
  setenv("XDG_RUNTIME_DIR", (directory / "run").c_str(), 1);
  std::filesystem::create_directories(directory / "run");
  std::filesystem::create_directories(directory / "home");
}

int OpenDescriptorCount() {
  int count = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) ++count;
  return count;
}

}  // namespace vk605::host
