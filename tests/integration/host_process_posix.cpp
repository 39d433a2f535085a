// The host side of the harness on POSIX: fork for a child host, dlopen for the driver.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <random>
#include <string>
#include <thread>

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

namespace {

// The test program's own ctest time-out, less a margin for the report below: a host child that runs
// longer has hung. 0: no limit.
#ifdef VK605_TEST_TIME_LIMIT_SECONDS
constexpr int kHostLimitSeconds = VK605_TEST_TIME_LIMIT_SECONDS - 15;
#else
constexpr int kHostLimitSeconds = 0;
#endif

// The child's exit status (100 + signal when it was killed); a child past the limit is reported and
// killed.
int WaitForHost(pid_t pid) {
  constexpr int kNoLimitMs = INT32_MAX;
  int status = 0;
  if (!WaitForExit(pid, kHostLimitSeconds > 0 ? kHostLimitSeconds * 1000 : kNoLimitMs, status)) {
    std::fprintf(stderr, "host process %d has not ended after %d s; where its threads are:\n",
                 static_cast<int>(pid), kHostLimitSeconds);
    PrintWhereThreadsAre(pid);
    ::kill(pid, SIGKILL);
    static_cast<void>(WaitForExit(pid, kNoLimitMs, status));
  }
  return status;
}

}  // namespace

void PrintWhereThreadsAre(pid_t pid) {
  std::fflush(stderr);
  const std::string gdb =
      "gdb -p " + std::to_string(pid) + " -batch -nx -ex 'thread apply all bt' 1>&2 2>/dev/null";
  if (std::system(gdb.c_str()) == 0) return;
  const std::filesystem::path tasks = "/proc/" + std::to_string(pid) + "/task";
  std::error_code ec;
  for (const auto& task : std::filesystem::directory_iterator(tasks, ec)) {
    std::string stat, wchan;
    std::getline(std::ifstream(task.path() / "stat"), stat);
    std::getline(std::ifstream(task.path() / "wchan"), wchan);
    std::fprintf(stderr, "  thread %s: %s (waits in %s)\n", task.path().filename().c_str(), stat.c_str(),
                 wchan.c_str());
  }
}

namespace {

// Every test's start sets a deadline and its end clears it; a test still running at its deadline prints
// where the threads are and ends the program (ctest runs one test per program run; a developer may run
// many). The watch's state is never destroyed: its thread waits on it until the process ends.
struct HangDeadline {
  static constexpr std::chrono::seconds kLimit{kHostLimitSeconds + 5};
  static constexpr auto kNone = std::chrono::steady_clock::time_point::max();
  std::mutex mutex;
  std::condition_variable changed;
  std::chrono::steady_clock::time_point deadline = kNone;

  void Set(std::chrono::steady_clock::time_point value) {
    std::lock_guard<std::mutex> lock(mutex);
    deadline = value;
    changed.notify_all();
  }

  [[noreturn]] void Watch() {
    std::unique_lock<std::mutex> lock(mutex);
    for (;;) {
      const auto watched = deadline;
      if (watched == kNone) {
        changed.wait(lock, [&] { return deadline != kNone; });
      } else if (!changed.wait_until(lock, watched, [&] { return deadline != watched; })) {
        std::fprintf(stderr, "the test has not ended after %d s; where its threads are:\n",
                     static_cast<int>(kLimit.count()));
        PrintWhereThreadsAre(getpid());
        std::_Exit(1);
      }
    }
  }
};

class HangWatch : public ::testing::EmptyTestEventListener {
 public:
  explicit HangWatch(HangDeadline& deadline) : deadline_(deadline) {}

 private:
  void OnTestStart(const ::testing::TestInfo&) override {
    deadline_.Set(std::chrono::steady_clock::now() + HangDeadline::kLimit);
  }
  void OnTestEnd(const ::testing::TestInfo&) override { deadline_.Set(HangDeadline::kNone); }

  HangDeadline& deadline_;
};

}  // namespace

void StartHangWatch() {
  if (kHostLimitSeconds <= 0) return;
  static HangDeadline* deadline = new HangDeadline;
  std::thread([] { deadline->Watch(); }).detach();
  // GoogleTest owns the listener from here on.
  ::testing::UnitTest::GetInstance()->listeners().Append(new HangWatch(*deadline));
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
  return WaitForHost(pid);
}

}  // namespace vk605::host
