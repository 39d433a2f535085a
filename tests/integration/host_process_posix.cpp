// The host side of the harness on POSIX: fork for a child host, dlopen for the driver.
#include <dlfcn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <random>

#include "host_harness.h"
#include "host_process.h"
#include "leak_check.h"

namespace vk605::host {

TempDir::TempDir() {
  std::random_device rd;
  path_ = std::filesystem::temp_directory_path() /
          ("vk605-host-" + std::to_string(getpid()) + "-" + std::to_string(rd()));
  std::filesystem::create_directories(path_);
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

std::string MissingPortName() {
  return "/nonexistent/ttyVK";
}

Driver::Driver(const std::filesystem::path& directory) : directory_(directory) {
  std::filesystem::path copy = directory / "libvk605.so";
  std::filesystem::copy_file(VK605_LIBRARY_PATH, copy, std::filesystem::copy_options::overwrite_existing);
  handle_ = dlopen(copy.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle_ == nullptr) {
    std::fprintf(stderr, "dlopen failed: %s\n", dlerror());
    std::_Exit(91);
  }
}

Driver::~Driver() = default;

void* Driver::Symbol(const char* name) const {
  return dlsym(handle_, name);
}

void Driver::Unload() {
  if (handle_ != nullptr) dlclose(handle_);
  handle_ = nullptr;
}

void EndHostWithoutUnload() {
  Check(!FoundLeaks(), "no memory leaked (LeakSanitizer report above)");
  std::fflush(stderr);
  std::_Exit(std::min(HostFailures(), 80));
}

int RunHost(const TempDir& dir, const std::function<void()>& body) {
  std::fflush(stdout);
  std::fflush(stderr);
  pid_t pid = fork();
  if (pid == 0) {
    PointEnvironmentInto(dir.Path());
    body();
    Check(!FoundLeaks(), "no memory leaked (LeakSanitizer report above)");
    std::fflush(stderr);
    std::_Exit(std::min(HostFailures(), 80));
  }
  int status = 0;
  waitpid(pid, &status, 0);
  if (WIFSIGNALED(status)) return 100 + WTERMSIG(status);
  return WEXITSTATUS(status);
}

}  // namespace vk605::host
