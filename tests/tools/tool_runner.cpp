#include "tool_runner.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>

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
  RunOptions options;
  if (on_stderr)
    options.on_output = [&](const std::string&, const std::string& err) { return on_stderr(err); };
  return Run(args, options);
}

ToolResult ToolHome::Run(const std::vector<std::string>& args, const RunOptions& options) const {
  int out_pipe[2], err_pipe[2];
  if (::pipe(out_pipe) != 0 || ::pipe(err_pipe) != 0) std::abort();
  int master = -1;
  std::string slave_name;
  if (options.terminal) {
    master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) std::abort();
    slave_name = ::ptsname(master);
  }
  pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(out_pipe[1], STDOUT_FILENO);
    if (options.terminal) {
      int slave = ::open(slave_name.c_str(), O_RDWR | O_NOCTTY);
      if (slave < 0) ::_exit(126);
      ::dup2(slave, STDIN_FILENO);
      ::dup2(slave, STDERR_FILENO);
      ::close(slave);
      ::close(master);
    } else {
      ::dup2(err_pipe[1], STDERR_FILENO);
    }
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
  if (options.terminal) ::close(err_pipe[0]);
  ToolResult result;
  bool interrupted = false;
  // stderr is the pipe, or the terminal's master side (whose reads fail with EIO once the program and
  // every child holding the terminal are gone).
  pollfd fds[2] = {{out_pipe[0], POLLIN, 0}, {options.terminal ? master : err_pipe[0], POLLIN, 0}};
  int open_count = 2;
  int status = 0;
  bool exited = false;
  while (open_count > 0) {
    int ready = ::poll(fds, 2, options.terminal ? 100 : -1);
    if (ready < 0) continue;
    if (ready == 0) {
      // A terminal may stay open in a grandchild: the program's end ends the run.
      if (options.terminal && fds[0].fd < 0 && ::waitpid(pid, &status, WNOHANG) == pid) {
        exited = true;
        ::fcntl(master, F_SETFL, O_NONBLOCK);
        char buffer[4096];
        ssize_t n;
        while (fds[1].fd >= 0 && (n = ::read(master, buffer, sizeof buffer)) > 0) {
          result.err.append(buffer, static_cast<std::size_t>(n));
        }
        break;
      }
      continue;
    }
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
      if (options.on_output && !interrupted && options.on_output(result.out, result.err)) {
        interrupted = true;
        ::kill(pid, SIGINT);
      }
    }
  }
  for (pollfd& fd : fds) {
    if (fd.fd >= 0) ::close(fd.fd);
  }
  if (!exited) ::waitpid(pid, &status, 0);
  result.signalled = WIFSIGNALED(status);
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

std::string ReadText(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace vk605::tooltest
