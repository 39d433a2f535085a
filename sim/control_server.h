#pragma once

#include <poll.h>

#include <cstddef>
#include <span>
#include <string>
#include <vector>

#include "control_interpreter.h"
#include "file_descriptor.h"

namespace vk605::sim {

// Serves the control language (ControlInterpreter) on a Unix stream socket or on a loopback TCP port. Several
// clients may be connected; each request line gets its response in order. Runs inside the simulator's poll
// loop.
class ControlServer {
 public:
  static constexpr std::size_t kMaxClients = 8;
  static constexpr std::size_t kMaxLineBytes = 4096;
  // A client that lets this much response text pile up unread is disconnected.
  static constexpr std::size_t kMaxPendingBytes = 8 << 20;

  explicit ControlServer(ControlInterpreter& interpreter) : interpreter_(interpreter) {}
  ControlServer(const ControlServer&) = delete;
  ControlServer& operator=(const ControlServer&) = delete;
  ~ControlServer();

  // Binds and listens at path (a stale socket there is replaced); false with an error text on failure.
  bool Listen(const std::string& path, std::string& error);
  // Binds and listens on 127.0.0.1 at a port the system picks, returned in port. For clients that have no
  // Unix sockets, such as Windows programs under Wine.
  bool ListenLoopback(int& port, std::string& error);

  // Appends the descriptors to watch: the listener first, then one per client.
  void AddPollFds(std::vector<pollfd>& fds) const;
  // Handles the results of the descriptors AddPollFds appended, in the same order.
  void HandlePoll(std::span<const pollfd> fds);

 private:
  struct Client {
    UniqueFd fd;
    std::string input{};
    std::string output{};
    bool discarding = false;  // the current line is too long; its rest is skipped
    bool input_closed = false;
    bool failed = false;
  };

  void Accept();
  void Read(Client& client);
  void Answer(Client& client);
  void Write(Client& client);
  static bool IsFinished(const Client& client);

  ControlInterpreter& interpreter_;
  UniqueFd listener_;
  std::string path_;
  std::vector<Client> clients_;
};

}  // namespace vk605::sim
