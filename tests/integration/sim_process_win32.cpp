// The tests' simulator under Wine: one vk605-sim started by the test script, reached through its
// loopback control port, its pty mapped to a COM port.
// Lean: the full windows.h declares printer functions (SetPort) that clash with the driver's exports.
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <winsock2.h>
#include <ws2tcpip.h>

#include <cstdio>
#include <cstdlib>
#include <optional>

#include "sim_process.h"

namespace vk605::host {
namespace {

std::string Environment(const char* name, const char* fallback) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0' ? value : fallback;
}

[[noreturn]] void Fail(const std::string& what) {
  std::fprintf(stderr, "simulator: %s\n", what.c_str());
  std::fflush(stderr);
  std::abort();
}

}  // namespace

struct SimProcess::Connection {
  SOCKET socket = INVALID_SOCKET;
  std::string device = Environment("VK605_SIM_PORT", "COM7");
  std::string pending;

  ~Connection() {
    if (socket != INVALID_SOCKET) closesocket(socket);
  }

  void Connect() {
    WSADATA data;
    if (WSAStartup(MAKEWORD(2, 2), &data) != 0) Fail("no winsock");
    const int port = std::atoi(Environment("VK605_SIM_CONTROL_PORT", "0").c_str());
    if (port <= 0 || port > 65535) Fail("VK605_SIM_CONTROL_PORT names no port");
    socket = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<u_short>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (socket == INVALID_SOCKET ||
        ::connect(socket, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
      Fail("cannot connect to the control port " + std::to_string(port));
    }
  }

  std::optional<std::string> ReadLine() {
    std::size_t newline;
    while ((newline = pending.find('\n')) == std::string::npos) {
      fd_set readable;
      FD_ZERO(&readable);
      FD_SET(socket, &readable);
      timeval timeout{5, 0};
      if (select(0, &readable, nullptr, nullptr, &timeout) <= 0) return std::nullopt;
      char buffer[4096];
      const int length = recv(socket, buffer, sizeof buffer, 0);
      if (length <= 0) return std::nullopt;
      pending.append(buffer, static_cast<std::size_t>(length));
    }
    std::string line = pending.substr(0, newline);
    pending.erase(0, newline + 1);
    return line;
  }

  std::optional<std::string> Request(const std::string& line) {
    const std::string request = line + "\n";
    if (send(socket, request.data(), static_cast<int>(request.size()), 0) !=
        static_cast<int>(request.size())) {
      return std::nullopt;
    }
    return ReadLine();
  }
};

SimProcess::SimProcess(const std::filesystem::path&, const std::vector<std::string>& options)
    : connection_(std::make_unique<Connection>()) {
  connection_->Connect();
  if (!Set("reset")) Fail("reset refused");
  for (const std::string& request : ControlRequestsFromOptions(options)) {
    if (!Set(request)) Fail("option refused: " + request);
  }
}

SimProcess::~SimProcess() = default;

const std::string& SimProcess::Device() const {
  return connection_->device;
}

std::vector<std::string> SimProcess::Commands() {
  std::vector<std::string> commands;
  const std::optional<std::string> head = connection_->Request("commands");
  if (!head || head->rfind("OK ", 0) != 0) return commands;
  const unsigned long count = std::stoul(head->substr(3));
  for (unsigned long i = 0; i < count; ++i) {
    std::optional<std::string> command = connection_->ReadLine();
    if (!command) return {};
    commands.push_back(std::move(*command));
  }
  return commands;
}

bool SimProcess::Set(const std::string& request) {
  std::optional<std::string> answer = connection_->Request(request);
  return answer && answer->rfind("OK", 0) == 0;
}

}  // namespace vk605::host
