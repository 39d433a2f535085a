#include "host_process.h"

#include <signal.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <sstream>
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

bool WaitForExit(pid_t pid, int wait_ms, int& status) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(wait_ms);
  int raw = 0;
  while (waitpid(pid, &raw, WNOHANG) != pid) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  status = WIFSIGNALED(raw) ? 100 + WTERMSIG(raw) : WEXITSTATUS(raw);
  return true;
}

int HostProcess::Wait(int wait_ms) {
  if (status_ < 0 && !WaitForExit(pid_, wait_ms, status_)) {
    ::kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
    status_ = 100 + SIGKILL;
    return -1;
  }
  return status_;
}

bool HostProcess::WaitUntilStopped(int wait_ms) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(wait_ms);
  while (status_ < 0) {
    int status = 0;
    pid_t done = waitpid(pid_, &status, WNOHANG | WUNTRACED);
    if (done == pid_ && WIFSTOPPED(status)) return true;
    if (done == pid_) {
      status_ = WIFSIGNALED(status) ? 100 + WTERMSIG(status) : WEXITSTATUS(status);
      return false;
    }
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return false;
}

void PointEnvironmentInto(const std::filesystem::path& directory) {
  setenv("VK605_REGISTRY", (directory / "registry.ini").c_str(), 1);
  setenv("XDG_CONFIG_HOME", (directory / "config").c_str(), 1);
  setenv("HOME", (directory / "home").c_str(), 1);
  setenv("XDG_RUNTIME_DIR", (directory / "run").c_str(), 1);
  std::filesystem::create_directories(directory / "run");
  std::filesystem::create_directories(directory / "home");
}

std::vector<pid_t> FlockProcesses(const std::filesystem::path& file, FlockState state) {
  struct stat status {};
  if (::stat(file.c_str(), &status) != 0) return {};
  char device_and_inode[64];
  std::snprintf(device_and_inode, sizeof device_and_inode, "%02x:%02x:%llu", major(status.st_dev),
                minor(status.st_dev), static_cast<unsigned long long>(status.st_ino));
  // Lines read "1: FLOCK  ADVISORY  WRITE 4242 fe:00:1093 0 EOF"; a waiter's has "->" after the number.
  std::vector<pid_t> processes;
  std::istringstream table(ReadFile("/proc/locks"));
  std::string line;
  while (std::getline(table, line)) {
    std::istringstream fields(line);
    std::string number, kind, advisory, mode, where;
    long pid = 0;
    fields >> number >> kind;
    const bool waiting = kind == "->";
    if (waiting) fields >> kind;
    fields >> advisory >> mode >> pid >> where;
    if (!fields || kind != "FLOCK" || where != device_and_inode) continue;
    if (waiting == (state == FlockState::kWaiting)) processes.push_back(static_cast<pid_t>(pid));
  }
  return processes;
}

int OpenDescriptorCount() {
  int count = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) ++count;
  return count;
}

}  // namespace vk605::host
