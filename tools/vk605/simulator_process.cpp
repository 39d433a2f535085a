#include "simulator_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "tool_error.h"

namespace vk605::tool {

namespace {

constexpr int kStartTimeoutMs = 10000;

}  // namespace

SimulatorProcess::SimulatorProcess(const std::string& program, const std::vector<std::string>& options) {
  int out[2];
  if (::pipe2(out, O_CLOEXEC) != 0) {
    throw ToolError(ExitCode::kDriverUnavailable,
                    std::string("cannot start vk605-sim: ") + std::strerror(errno));
  }
  std::vector<std::string> args{program};
  args.insert(args.end(), options.begin(), options.end());
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);

  pid_ = ::fork();
  if (pid_ < 0) {
    ::close(out[0]);
    ::close(out[1]);
    throw ToolError(ExitCode::kDriverUnavailable,
                    std::string("cannot start vk605-sim: ") + std::strerror(errno));
  }
  if (pid_ == 0) {
    // The simulator must not outlive the tool, even when the tool is killed.
    ::prctl(PR_SET_PDEATHSIG, SIGTERM);
    ::dup2(out[1], STDOUT_FILENO);
    ::execvp(argv[0], argv.data());
    ::_exit(127);
  }
  ::close(out[1]);
  stdout_fd_ = out[0];

  // The first line is the device; it appears once the pty and the simulator are ready.
  for (;;) {
    pollfd fd{stdout_fd_, POLLIN, 0};
    int ready = ::poll(&fd, 1, kStartTimeoutMs);
    if (ready < 0 && errno == EINTR) continue;
    char c = 0;
    if (ready <= 0 || ::read(stdout_fd_, &c, 1) != 1) break;
    if (c == '\n') return;
    if (device_.size() < 4096) device_ += c;
  }
  Stop();
  throw ToolError(ExitCode::kDriverUnavailable,
                  "vk605-sim (" + program + ") did not start; is it installed? (--sim PATH names it)");
}

void SimulatorProcess::Stop() {
  if (pid_ > 0) {
    ::kill(pid_, SIGTERM);
    int status = 0;
    while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    pid_ = -1;
  }
  if (stdout_fd_ >= 0) ::close(stdout_fd_);
  stdout_fd_ = -1;
}

SimulatorProcess::~SimulatorProcess() {
  Stop();
}

}  // namespace vk605::tool
