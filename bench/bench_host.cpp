#include "bench_host.h"

#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

namespace vk605::bench {

Simulator::Simulator(const std::string& program, const std::string& socket,
                     const std::vector<std::string>& options) {
  int out[2];
  if (::pipe(out) != 0) return;
  pid_ = ::fork();
  if (pid_ == 0) {
    ::dup2(out[1], STDOUT_FILENO);
    ::close(out[0]);
    ::close(out[1]);
    std::vector<std::string> args{program, "--control", socket};
    args.insert(args.end(), options.begin(), options.end());
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    ::execv(argv[0], argv.data());
    std::_Exit(127);
  }
  ::close(out[1]);
  // The first line the simulator prints is its device path.
  char c;
  while (::read(out[0], &c, 1) == 1 && c != '\n') device_ += c;
  ::close(out[0]);
  for (int attempt = 0; attempt < 200 && !connected_; ++attempt) {
    connected_ = control_.Connect(socket);
    if (!connected_) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

Simulator::~Simulator() {
  if (pid_ > 0) {
    ::kill(pid_, SIGTERM);
    int status = 0;
    ::waitpid(pid_, &status, 0);
  }
}

std::size_t Simulator::TakeCommandCount() {
  std::size_t count = control_.Commands().value_or(std::vector<std::string>{}).size();
  control_.Request("clear");
  return count;
}

Sample Now() {
  Sample sample;
  sample.wall_ms =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch()).count();
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  auto ms = [](const timeval& t) { return static_cast<double>(t.tv_sec) * 1000.0 + t.tv_usec / 1000.0; };
  sample.cpu_ms = ms(usage.ru_utime) + ms(usage.ru_stime);
  sample.max_rss_kb = usage.ru_maxrss;
  return sample;
}

TempDir::TempDir() {
  const char* tmp = std::getenv("TMPDIR");
  std::string pattern = std::string(tmp != nullptr && tmp[0] != '\0' ? tmp : "/tmp") + "/vk605-bench-XXXXXX";
  if (::mkdtemp(pattern.data()) != nullptr) path_ = pattern;
}

TempDir::~TempDir() {
  if (path_.empty()) return;
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

}  // namespace vk605::bench
