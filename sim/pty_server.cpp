#include "pty_server.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <vector>

#include "command_text.h"

namespace vk605::sim {

namespace {

// Longest sleep of the loop when nothing is due; it only bounds how long a lost wake-up could last.
constexpr int kIdlePollMs = 1000;

std::uint64_t MonotonicMs() {
  const auto now = std::chrono::steady_clock::now().time_since_epoch();
  return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

std::string Failure(const std::string& what) {
  return what + ": " + std::strerror(errno);
}

}  // namespace

PtyServer::PtyServer(Parts parts) : parts_(parts) {
  int fds[2];
  if (::pipe2(fds, O_NONBLOCK | O_CLOEXEC) == 0) {
    stop_read_.Reset(fds[0]);
    stop_write_.Reset(fds[1]);
  }
}

bool PtyServer::IsReady(std::string& error) const {
  if (stop_read_.IsValid()) return true;
  error = "cannot create the stop pipe";
  return false;
}

void PtyServer::RequestStop() {
  // Only write(2): safe in a signal handler. A full pipe already holds a stop request.
  const char byte = 1;
  [[maybe_unused]] const ssize_t ignored = ::write(stop_write_.Get(), &byte, 1);
}

bool PtyServer::Serve(std::string& error) {
  if (!IsReady(error) || !UpdateRecord(error)) return false;
  std::vector<pollfd> fds;
  while (true) {
    const bool want_write = !unwritten_.empty();
    fds.clear();
    fds.push_back({stop_read_.Get(), POLLIN, 0});
    fds.push_back({parts_.terminal.MasterFd(), static_cast<short>(POLLIN | (want_write ? POLLOUT : 0)), 0});
    fds.push_back({parts_.terminal.WatchFd(), POLLIN, 0});
    if (parts_.control != nullptr) parts_.control->AddPollFds(fds);
    const int ready = ::poll(fds.data(), fds.size(), PollTimeoutMs(MonotonicMs()));
    if (ready < 0 && errno != EINTR) {
      error = Failure("poll");
      return false;
    }
    if (ready > 0 && fds[0].revents != 0) return true;
    if (ready > 0 && (fds[1].revents & (POLLERR | POLLNVAL)) != 0) {
      error = "the pseudo-terminal failed";
      return false;
    }
    if (ready > 0 && (fds[1].revents & POLLIN) != 0 && !ReadFromDriver(error)) return false;
    if (ready > 0 && fds[2].revents != 0) parts_.terminal.HandleWatchEvents();
    if (ready > 0 && parts_.control != nullptr) parts_.control->HandlePoll(std::span(fds).subspan(3));
    if (!UpdateRecord(error) || !WriteToDriver(error)) return false;
  }
}

int PtyServer::PollTimeoutMs(std::uint64_t now_ms) const {
  if (!unwritten_.empty()) return kIdlePollMs;  // POLLOUT wakes the loop
  const std::optional<std::uint64_t> due = parts_.model.NextDueMs();
  if (!due) return kIdlePollMs;
  if (*due <= now_ms) return 0;
  return static_cast<int>(std::min<std::uint64_t>(*due - now_ms, kIdlePollMs));
}

bool PtyServer::ReadFromDriver(std::string& error) {
  std::array<char, 4096> buffer{};
  const ssize_t length = ::read(parts_.terminal.MasterFd(), buffer.data(), buffer.size());
  if (length < 0 && (errno == EAGAIN || errno == EINTR)) return true;
  if (length < 0) {
    error = Failure("read from the pseudo-terminal");
    return false;
  }
  const std::string bytes(buffer.data(), static_cast<std::size_t>(length));
  Trace("rx", bytes);
  parts_.model.Receive(bytes, MonotonicMs());
  return true;
}

bool PtyServer::WriteToDriver(std::string& error) {
  const std::string due = parts_.model.TakeOutput(MonotonicMs());
  if (!parts_.terminal.IsPlugged()) {
    // Nobody is on the line: what the instrument says is lost, as is what waited for the old line.
    unwritten_.clear();
    return true;
  }
  if (!due.empty()) Trace("tx", due);
  if (unwritten_.size() + due.size() > kMaxUnwrittenBytes) {
    std::fprintf(stderr, "vk605-sim: output not taken by the driver, %zu bytes dropped\n", due.size());
  } else {
    unwritten_ += due;
  }
  if (unwritten_.empty()) return true;
  const ssize_t written = ::write(parts_.terminal.MasterFd(), unwritten_.data(), unwritten_.size());
  if (written < 0 && (errno == EAGAIN || errno == EINTR)) return true;
  if (written < 0) {
    error = Failure("write to the pseudo-terminal");
    return false;
  }
  unwritten_.erase(0, static_cast<std::size_t>(written));
  return true;
}

bool PtyServer::UpdateRecord(std::string& error) {
  if (parts_.record == nullptr || parts_.model.RecordGeneration() == written_generation_) return true;
  if (!parts_.record->Write(parts_.model.Commands(), error)) return false;
  written_generation_ = parts_.model.RecordGeneration();
  return true;
}

void PtyServer::Trace(const char* direction, const std::string& bytes) const {
  if (!parts_.verbose) return;
  std::fprintf(stderr, "vk605-sim %s %s\n", direction, EscapeText(bytes).c_str());
}

}  // namespace vk605::sim
