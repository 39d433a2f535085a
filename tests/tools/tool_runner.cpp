#include "tool_runner.h"

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <random>

namespace vk605::tooltest {

namespace fs = std::filesystem;

ToolHome::ToolHome() {
  std::random_device random;
  path_ = fs::temp_directory_path() /
          ("vk605-tool-" + std::to_string(::getpid()) + "-" + std::to_string(random()));
  for (const char* sub : {"config", "state", "run", "driver"}) fs::create_directories(path_ / sub);
  fs::permissions(path_ / "run", fs::perms::owner_all, fs::perm_options::replace);
}

ToolHome::~ToolHome() {
  std::error_code error;
  fs::remove_all(path_, error);
}

std::string ToolHome::DriverCopy() {
  fs::path copy = path_ / "driver" / "libvk605.so";
  fs::copy_file(VK605_LIBRARY_PATH, copy, fs::copy_options::overwrite_existing);
  return copy.string();
}

ToolResult ToolHome::Run(const std::vector<std::string>& args,
                         const std::function<bool(const std::string&)>& on_stderr) const {
  int out_pipe[2], err_pipe[2];
  if (::pipe(out_pipe) != 0 || ::pipe(err_pipe) != 0) std::abort();
  pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(out_pipe[1], STDOUT_FILENO);
    ::dup2(err_pipe[1], STDERR_FILENO);
    ::close(out_pipe[0]);
    ::close(err_pipe[0]);
    ::close(out_pipe[1]);
    ::close(err_pipe[1]);
    ::setenv("XDG_CONFIG_HOME", (path_ / "config").c_str(), 1);
    ::setenv("XDG_STATE_HOME", (path_ / "state").c_str(), 1);
    ::setenv("XDG_RUNTIME_DIR", (path_ / "run").c_str(), 1);
    ::setenv("VK605_REGISTRY", (path_ / "config" / "registry.ini").c_str(), 1);
    ::setenv("VK605_DRIVER", VK605_LIBRARY_PATH, 1);
    ::setenv("VK605_SIM", VK605_SIM_PATH, 1);
    ::unsetenv("COLORTERM");
    // No run opens a window on the developer's desktop.
    ::unsetenv("DISPLAY");
    ::unsetenv("WAYLAND_DISPLAY");
    std::vector<std::string> argv_text{VK605_TOOL_PATH};
    argv_text.insert(argv_text.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& arg : argv_text) argv.push_back(arg.data());
    argv.push_back(nullptr);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  ::close(out_pipe[1]);
  ::close(err_pipe[1]);
  ToolResult result;
  bool interrupted = false;
  pollfd fds[2] = {{out_pipe[0], POLLIN, 0}, {err_pipe[0], POLLIN, 0}};
  int open_count = 2;
  while (open_count > 0) {
    if (::poll(fds, 2, -1) < 0) continue;
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      char buffer[4096];
      ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
      if (n <= 0) {
        ::close(fds[i].fd);
        fds[i].fd = -1;
        --open_count;
        continue;
      }
      (i == 0 ? result.out : result.err).append(buffer, static_cast<std::size_t>(n));
      if (i == 1 && on_stderr && !interrupted && on_stderr(result.err)) {
        interrupted = true;
        ::kill(pid, SIGINT);
      }
    }
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  result.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return result;
}

std::string FlatSpectrumOption(double percent) {
  char value[16];
  std::snprintf(value, sizeof value, "%.2f", percent);
  std::string option = "--spectrum=";
  for (int i = 0; i < 31; ++i) option += (i ? "," : "") + std::string(value);
  return option;
}

}  // namespace vk605::tooltest
