#include "xvfb_server.h"

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

namespace vk605::host {

XvfbServer::XvfbServer() {
  int fds[2];
  if (::pipe(fds) != 0) return;
  pid_ = ::fork();
  if (pid_ == 0) {
    ::close(fds[0]);
    const std::string fd = std::to_string(fds[1]);
    ::execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "800x600x24", "-nolisten", "tcp",
             "-noreset", static_cast<char*>(nullptr));
    ::_exit(127);
  }
  ::close(fds[1]);
  if (pid_ < 0) {
    ::close(fds[0]);
    return;
  }
  // The server writes its display number and a newline once it accepts clients.
  std::string number;
  for (;;) {
    pollfd wait{fds[0], POLLIN, 0};
    if (::poll(&wait, 1, 30000) <= 0) break;
    char c = 0;
    if (::read(fds[0], &c, 1) != 1 || c == '\n') break;
    number += c;
  }
  ::close(fds[0]);
  if (!number.empty()) display_ = ":" + number;
}

XvfbServer::~XvfbServer() {
  if (pid_ <= 0) return;
  ::kill(pid_, SIGTERM);
  int status = 0;
  ::waitpid(pid_, &status, 0);
}

}  // namespace vk605::host
