#pragma once

// Header-only client of a running vk605-sim's control socket (--control), for tests that only add sim/
// to their include path.

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "file_descriptor.h"

namespace vk605::sim {

class ControlClient {
 public:
  static constexpr int kDefaultTimeoutMs = 5000;

  // Connects to the socket at path; false when nothing listens there.
  bool Connect(const std::string& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path) return false;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    fd_.Reset(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    return fd_.IsValid() &&
           ::connect(fd_.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
  }

  // Sends one request line and returns the first response line without its "\n" ("OK", "ERROR ...");
  // empty when the simulator did not answer within the time-out.
  std::optional<std::string> Request(const std::string& line, int timeout_ms = kDefaultTimeoutMs) {
    const std::string request = line + "\n";
    if (::send(fd_.Get(), request.data(), request.size(), MSG_NOSIGNAL) !=
        static_cast<ssize_t>(request.size())) {
      return std::nullopt;
    }
    return ReadLine(timeout_ms);
  }

  // The command record, each command escaped as in the record file ("AT\\r,"); empty on failure.
  std::optional<std::vector<std::string>> Commands(int timeout_ms = kDefaultTimeoutMs) {
    const std::optional<std::string> head = Request("commands", timeout_ms);
    if (!head || head->rfind("OK ", 0) != 0) return std::nullopt;
    const unsigned long count = std::stoul(head->substr(3));
    std::vector<std::string> commands;
    for (unsigned long i = 0; i < count; ++i) {
      std::optional<std::string> command = ReadLine(timeout_ms);
      if (!command) return std::nullopt;
      commands.push_back(std::move(*command));
    }
    return commands;
  }

 private:
  std::optional<std::string> ReadLine(int timeout_ms) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    std::size_t newline;
    while ((newline = pending_.find('\n')) == std::string::npos) {
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
      pollfd fd{fd_.Get(), POLLIN, 0};
      if (left.count() <= 0 || ::poll(&fd, 1, static_cast<int>(left.count())) <= 0) return std::nullopt;
      char buffer[4096];
      const ssize_t length = ::read(fd_.Get(), buffer, sizeof buffer);
      if (length <= 0) return std::nullopt;
      pending_.append(buffer, static_cast<std::size_t>(length));
    }
    std::string line = pending_.substr(0, newline);
    pending_.erase(0, newline + 1);
    return line;
  }

  UniqueFd fd_;
  std::string pending_;
};

}  // namespace vk605::sim
