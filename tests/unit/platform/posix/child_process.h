#pragma once

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <functional>
#include <optional>

namespace vk605::testing {

// Runs body in a forked child and returns the child's exit code, or nullopt when it has not ended within
// deadline_ms (it is killed then) or did not exit normally. A call that would block forever thus fails the
// test instead of hanging it. The child's end is seen as the close of a pipe only it holds.
inline std::optional<int> ExitCodeInChild(const std::function<int()>& body, int deadline_ms = 20000) {
  int ends[2];
  if (::pipe(ends) != 0) return std::nullopt;
  pid_t child = ::fork();
  if (child < 0) {
    ::close(ends[0]);
    ::close(ends[1]);
    return std::nullopt;
  }
  if (child == 0) {
    ::close(ends[0]);
    ::_exit(body());
  }
  ::close(ends[1]);
  pollfd ended{ends[0], POLLIN, 0};
  int ready = 0;
  do {
    ready = ::poll(&ended, 1, deadline_ms);
  } while (ready < 0 && errno == EINTR);
  ::close(ends[0]);
  if (ready <= 0) ::kill(child, SIGKILL);
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  if (ready <= 0 || !WIFEXITED(status)) return std::nullopt;
  return WEXITSTATUS(status);
}

}  // namespace vk605::testing
