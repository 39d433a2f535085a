#include "pseudo_terminal.h"

#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace vk605::sim {

namespace {

std::string Failure(const std::string& what) {
  return what + ": " + std::strerror(errno);
}

}  // namespace

PseudoTerminal::~PseudoTerminal() {
  if (!link_path_.empty()) ::unlink(link_path_.c_str());
}

bool PseudoTerminal::Open(std::string& error) {
  master_.Reset(::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC));
  if (!master_.IsValid()) {
    error = Failure("posix_openpt");
    return false;
  }
  if (::grantpt(master_.Get()) != 0 || ::unlockpt(master_.Get()) != 0) {
    error = Failure("grantpt/unlockpt");
    return false;
  }
  std::array<char, 128> name{};
  if (::ptsname_r(master_.Get(), name.data(), name.size()) != 0) {
    error = Failure("ptsname");
    return false;
  }
  slave_path_ = name.data();
  const int flags = ::fcntl(master_.Get(), F_GETFL);
  if (flags < 0 || ::fcntl(master_.Get(), F_SETFL, flags | O_NONBLOCK) != 0) {
    error = Failure("fcntl O_NONBLOCK");
    return false;
  }
  return OpenSlave(error) && Watch(error);
}

bool PseudoTerminal::OpenSlave(std::string& error) {
  slave_.Reset(::open(slave_path_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC));
  if (!slave_.IsValid()) {
    error = Failure("open " + slave_path_);
    return false;
  }
  // Raw 8N1 at 9600 baud, like the instrument's line, for a driver that does not set the line itself.
  termios settings{};
  if (::tcgetattr(slave_.Get(), &settings) != 0) {
    error = Failure("tcgetattr");
    return false;
  }
  ::cfmakeraw(&settings);
  ::cfsetispeed(&settings, B9600);
  ::cfsetospeed(&settings, B9600);
  settings.c_cflag |= CLOCAL | CREAD;
  if (::tcsetattr(slave_.Get(), TCSANOW, &settings) != 0) {
    error = Failure("tcsetattr");
    return false;
  }
  return true;
}

bool PseudoTerminal::Watch(std::string& error) {
  watch_.Reset(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC));
  if (!watch_.IsValid() || ::inotify_add_watch(watch_.Get(), slave_path_.c_str(), IN_CLOSE) < 0) {
    error = Failure("inotify on " + slave_path_);
    return false;
  }
  return true;
}

bool PseudoTerminal::Link(const std::string& path, std::string& error) {
  struct stat status {};
  if (::lstat(path.c_str(), &status) == 0) {
    if (!S_ISLNK(status.st_mode)) {
      error = path + " exists and is not a symbolic link";
      return false;
    }
    ::unlink(path.c_str());
  }
  if (::symlink(slave_path_.c_str(), path.c_str()) != 0) {
    error = Failure("symlink " + path);
    return false;
  }
  link_path_ = path;
  return true;
}

void PseudoTerminal::Unplug() {
  // The line's name goes with it, as a USB-serial adapter's does: left behind, the link would lead to the
  // pty number that the next simulator started on this machine is given.
  if (!link_path_.empty()) ::unlink(link_path_.c_str());
  watch_.Reset();
  slave_.Reset();
  master_.Reset();
}

bool PseudoTerminal::Replug(std::string& error) {
  if (IsPlugged()) return true;
  if (!Open(error)) {
    Unplug();
    return false;
  }
  return link_path_.empty() || Link(link_path_, error);
}

void PseudoTerminal::HandleWatchEvents() {
  alignas(inotify_event) std::array<char, 4096> events{};
  bool closed = false;
  while (true) {
    const ssize_t length = ::read(watch_.Get(), events.data(), events.size());
    if (length <= 0) break;
    for (ssize_t offset = 0; offset < length;) {
      const auto* event = reinterpret_cast<const inotify_event*>(events.data() + offset);
      closed = closed || (event->mask & IN_CLOSE) != 0;
      offset += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
    }
  }
  if (closed) ::ioctl(slave_.Get(), TIOCNXCL);
}

}  // namespace vk605::sim
