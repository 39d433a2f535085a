#include "sim_process.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <thread>

namespace vk605::host {

SimProcess::SimProcess(const TempDir& dir, const std::vector<std::string>& options) {
  const std::string socket = (dir / "sim.sock").string();
  int out[2];
  if (pipe(out) != 0) std::abort();
  pid_ = fork();
  if (pid_ == 0) {
    dup2(out[1], STDOUT_FILENO);
    close(out[0]);
    close(out[1]);
    std::vector<std::string> args{VK605_SIM_PATH, "--control", socket};
    args.insert(args.end(), options.begin(), options.end());
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    std::_Exit(127);
  }
  close(out[1]);
  // The first line the simulator prints is its device path.
  char c;
  while (read(out[0], &c, 1) == 1 && c != '\n') device_ += c;
  close(out[0]);
  for (int attempt = 0; attempt < 200 && !control_.Connect(socket); ++attempt) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

SimProcess::~SimProcess() {
  if (pid_ > 0) {
    kill(pid_, SIGTERM);
    int status = 0;
    waitpid(pid_, &status, 0);
  }
}

std::vector<std::string> SimProcess::Commands() {
  return control_.Commands().value_or(std::vector<std::string>{});
}

bool SimProcess::Set(const std::string& request) {
  std::optional<std::string> answer = control_.Request(request);
  return answer && answer->rfind("OK", 0) == 0;
}

std::string Joined(const std::vector<std::string>& commands) {
  std::string text;
  for (const std::string& c : commands) text += (text.empty() ? "" : " ") + c;
  return text;
}

}  // namespace vk605::host
