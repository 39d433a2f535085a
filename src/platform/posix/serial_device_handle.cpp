#include "platform/posix/serial_device_handle.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <optional>

#include "platform/posix/serial_device_termios.h"

namespace vk605 {

namespace {

using SteadyClock = std::chrono::steady_clock;

// Milliseconds left until the deadline for poll: -1 without a deadline, 0 once it has passed.
int PollTimeout(const std::optional<SteadyClock::time_point>& deadline) {
  if (!deadline) return -1;
  auto left = std::chrono::ceil<std::chrono::milliseconds>(*deadline - SteadyClock::now()).count();
  return static_cast<int>(std::clamp<decltype(left)>(left, 0, INT_MAX));
}

// Polls for the given events until one arrives or the deadline passes. The revents, 0 on time-out, -1
// when poll itself fails.
int PollFor(int fd, short events, const std::optional<SteadyClock::time_point>& deadline) {
  for (;;) {
    pollfd entry{fd, events, 0};
    int ready = ::poll(&entry, 1, PollTimeout(deadline));
    if (ready > 0) return entry.revents;
    if (ready == 0) return 0;
    if (errno != EINTR) return -1;
  }
}

// The write time-out as the Win32 driver applies it: multiplier per byte plus constant; none when both
// are 0.
std::optional<SteadyClock::time_point> WriteDeadline(const PortTimeouts& timeouts, std::size_t length) {
  std::uint64_t ms = std::uint64_t{timeouts.write_total_multiplier} * length + timeouts.write_total_constant;
  if (ms == 0) return std::nullopt;
  return SteadyClock::now() + std::chrono::milliseconds(ms);
}

}  // namespace

PosixSerialHandle::PosixSerialHandle(UniqueFd fd) : fd_(std::move(fd)) {}

PosixSerialHandle::~PosixSerialHandle() {
  // The exclusive mode stays on the terminal, not the descriptor: without this the next open of a port
  // that stays in use (a pty whose master is still open) fails for everyone but root.
  ::ioctl(fd_.Get(), TIOCNXCL);
}

bool PosixSerialHandle::GetLineSettings(LineSettings& out) {
  termios attributes{};
  if (::tcgetattr(fd_.Get(), &attributes) != 0) return false;
  ReadLineSettings(attributes, out);
  return true;
}

bool PosixSerialHandle::SetLineSettings(const LineSettings& settings) {
  termios attributes{};
  if (::tcgetattr(fd_.Get(), &attributes) != 0) return false;
  ApplyLineSettings(settings, attributes);
  if (::tcsetattr(fd_.Get(), TCSANOW, &attributes) != 0) return false;
  strip_nul_ = (settings.flags & kDcbNull) != 0;
  return true;
}

bool PosixSerialHandle::SetTimeouts(const PortTimeouts& timeouts) {
  // Reads always return at once here; only the write time-out is used, by Write.
  timeouts_ = timeouts;
  return true;
}

// The kernel sizes its own queues and needs no event mask: WaitForInput polls for input directly.
bool PosixSerialHandle::SetQueueSizes(std::uint32_t, std::uint32_t) {
  return true;
}

bool PosixSerialHandle::SetEventMaskCharReceived(bool) {
  return true;
}

bool PosixSerialHandle::Purge(std::uint32_t flags) {
  bool output = (flags & (kPurgeTxAbort | kPurgeTxClear)) != 0;
  bool input = (flags & (kPurgeRxAbort | kPurgeRxClear)) != 0;
  if (!output && !input) return true;
  int queue = output && input ? TCIOFLUSH : (output ? TCOFLUSH : TCIFLUSH);
  return ::tcflush(fd_.Get(), queue) == 0;
}

bool PosixSerialHandle::ClearDtr() {
  // A pseudo-terminal has no modem lines and refuses the request; lowering DTR is a courtesy to the
  // instrument on close, never a reason to fail.
  int lines = TIOCM_DTR;
  ::ioctl(fd_.Get(), TIOCMBIC, &lines);
  return true;
}

bool PosixSerialHandle::ClearErrors(std::size_t& input_waiting, bool& output_empty) {
  int input = 0;
  int output = 0;
  if (::ioctl(fd_.Get(), FIONREAD, &input) != 0) return false;
  if (::ioctl(fd_.Get(), TIOCOUTQ, &output) != 0) return false;
  input_waiting = input > 0 ? static_cast<std::size_t>(input) : 0;
  output_empty = output <= 0;
  return true;
}

bool PosixSerialHandle::Write(const char* data, std::size_t length) {
  std::optional<SteadyClock::time_point> deadline = WriteDeadline(timeouts_, length);
  std::size_t written = 0;
  while (written < length) {
    ssize_t count = ::write(fd_.Get(), data + written, length - written);
    if (count > 0) {
      written += static_cast<std::size_t>(count);
      continue;
    }
    if (count < 0 && errno == EINTR) continue;
    if (count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      int events = PollFor(fd_.Get(), POLLOUT, deadline);
      if ((events & POLLOUT) == 0) return false;  // timed out, hung up or failed
      continue;
    }
    return false;
  }
  // The write is synchronous: it ends when the bytes have left the port.
  while (::tcdrain(fd_.Get()) != 0) {
    if (errno != EINTR) return false;
  }
  return true;
}

long PosixSerialHandle::Read(char* buffer, std::size_t capacity) {
  if (capacity == 0) return 0;
  capacity = std::min<std::size_t>(capacity, LONG_MAX);
  for (;;) {
    ssize_t count = ::read(fd_.Get(), buffer, capacity);
    if (count > 0) {
      if (!strip_nul_) return static_cast<long>(count);
      // A Win32 port with null stripping on never delivers a NUL; the reply texts must not hold one
      // here either. A read of nothing but NULs returns no bytes, as if nothing had arrived.
      char* end = std::remove(buffer, buffer + count, '\0');
      return static_cast<long>(end - buffer);
    }
    // Raw mode asks for at least one byte, so 0 is end of file: the line hung up.
    if (count == 0) return -1;
    if (errno == EINTR) continue;
    if (errno == EAGAIN || errno == EWOULDBLOCK) return 0;
    return -1;  // EIO: the other end of a pseudo-terminal closed
  }
}

bool PosixSerialHandle::WaitForInput(std::uint32_t timeout_ms) {
  int events = PollFor(fd_.Get(), POLLIN, SteadyClock::now() + std::chrono::milliseconds(timeout_ms));
  // A hung-up terminal also reports input, but its queue is gone: Linux hangs up the slave of a
  // pseudo-terminal when the master closes, and from then on reads return end of file and every ioctl
  // fails.
  return events >= 0 && (events & (POLLHUP | POLLERR | POLLNVAL)) == 0;
}

}  // namespace vk605
