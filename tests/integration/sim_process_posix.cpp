#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <thread>

#include "control_client.h"
#include "sim_process.h"

namespace vk605::host {

struct SimProcess::Connection {
  pid_t pid = -1;
  std::string device;
  sim::ControlClient control;
};

SimProcess::SimProcess(const std::filesystem::path& directory, const std::vector<std::string>& options)
    : connection_(std::make_unique<Connection>()) {
  const std::string socket = (directory / "sim.sock").string();
  int out[2];
  if (pipe(out) != 0) std::abort();
  connection_->pid = fork();
  if (connection_->pid == 0) {
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
  while (read(out[0], &c, 1) == 1 && c != '\n') connection_->device += c;
  close(out[0]);
  for (int attempt = 0; attempt < 200 && !connection_->control.Connect(socket); ++attempt) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

SimProcess::~SimProcess() {
  if (connection_->pid > 0) {
    kill(connection_->pid, SIGTERM);
    int status = 0;
    waitpid(connection_->pid, &status, 0);
  }
}

const std::string& SimProcess::Device() const {
  return connection_->device;
}

std::vector<std::string> SimProcess::Commands() {
  return connection_->control.Commands().value_or(std::vector<std::string>{});
}

bool SimProcess::Set(const std::string& request) {
  std::optional<std::string> answer = connection_->control.Request(request);
  return answer && answer->rfind("OK", 0) == 0;
}

}  // namespace vk605::host
