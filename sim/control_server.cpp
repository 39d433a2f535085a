#include "control_server.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>

namespace vk605::sim {

namespace {

std::string Failure(const std::string& what) {
  return what + ": " + std::strerror(errno);
}

bool RemoveStaleSocket(const std::string& path, std::string& error) {
  struct stat status {};
  if (::lstat(path.c_str(), &status) != 0) return true;
  if (!S_ISSOCK(status.st_mode)) {
    error = path + " exists and is not a socket";
    return false;
  }
  ::unlink(path.c_str());
  return true;
}

}  // namespace

ControlServer::~ControlServer() {
  if (!path_.empty()) ::unlink(path_.c_str());
}

bool ControlServer::Listen(const std::string& path, std::string& error) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path.empty() || path.size() >= sizeof address.sun_path) {
    error = "control socket path empty or too long: " + path;
    return false;
  }
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  if (!RemoveStaleSocket(path, error)) return false;
  listener_.Reset(::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
  if (!listener_.IsValid()) {
    error = Failure("socket");
    return false;
  }
  if (::bind(listener_.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(listener_.Get(), static_cast<int>(kMaxClients)) != 0) {
    error = Failure("bind/listen " + path);
    return false;
  }
  path_ = path;
  return true;
}

bool ControlServer::ListenLoopback(int& port, std::string& error) {
  listener_.Reset(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
  if (!listener_.IsValid()) {
    error = Failure("socket");
    return false;
  }
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  socklen_t length = sizeof address;
  if (::bind(listener_.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(listener_.Get(), static_cast<int>(kMaxClients)) != 0 ||
      ::getsockname(listener_.Get(), reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    error = Failure("bind/listen 127.0.0.1");
    return false;
  }
  port = ntohs(address.sin_port);
  return true;
}

void ControlServer::AddPollFds(std::vector<pollfd>& fds) const {
  fds.push_back({listener_.Get(), POLLIN, 0});
  for (const Client& client : clients_) {
    const short events =
        static_cast<short>((client.input_closed ? 0 : POLLIN) | (client.output.empty() ? 0 : POLLOUT));
    fds.push_back({client.fd.Get(), events, 0});
  }
}

void ControlServer::HandlePoll(std::span<const pollfd> fds) {
  if (fds.empty()) return;
  // Clients accepted now are watched from the next round on.
  const std::size_t watched = std::min(clients_.size(), fds.size() - 1);
  for (std::size_t i = 0; i < watched; ++i) {
    Client& client = clients_[i];
    const short revents = fds[i + 1].revents;
    if ((revents & (POLLIN | POLLHUP | POLLERR)) != 0 && !client.input_closed) Read(client);
    if (!client.output.empty()) Write(client);
  }
  std::erase_if(clients_, IsFinished);
  if ((fds[0].revents & POLLIN) != 0) Accept();
}

void ControlServer::Accept() {
  while (true) {
    UniqueFd fd(::accept4(listener_.Get(), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC));
    if (!fd.IsValid()) return;
    if (clients_.size() >= kMaxClients) continue;  // refused: closed at once
    clients_.push_back(Client{std::move(fd)});
  }
}

void ControlServer::Read(Client& client) {
  std::array<char, 4096> buffer{};
  const ssize_t length = ::read(client.fd.Get(), buffer.data(), buffer.size());
  if (length < 0 && (errno == EAGAIN || errno == EINTR)) return;
  if (length <= 0) {
    client.input_closed = true;
    return;
  }
  client.input.append(buffer.data(), static_cast<std::size_t>(length));
  Answer(client);
}

void ControlServer::Answer(Client& client) {
  std::size_t newline;
  while ((newline = client.input.find('\n')) != std::string::npos) {
    if (client.discarding) {
      client.output += "ERROR line too long\n";
      client.discarding = false;
    } else {
      client.output += interpreter_.Handle(std::string_view(client.input).substr(0, newline));
    }
    client.input.erase(0, newline + 1);
  }
  if (client.input.size() > kMaxLineBytes) {
    client.discarding = true;
    client.input.clear();
  }
  if (client.output.size() > kMaxPendingBytes) client.failed = true;
}

void ControlServer::Write(Client& client) {
  const ssize_t written = ::send(client.fd.Get(), client.output.data(), client.output.size(), MSG_NOSIGNAL);
  if (written < 0 && (errno == EAGAIN || errno == EINTR)) return;
  if (written < 0) {
    client.failed = true;
    return;
  }
  client.output.erase(0, static_cast<std::size_t>(written));
}

bool ControlServer::IsFinished(const Client& client) {
  return client.failed || (client.input_closed && client.output.empty());
}

}  // namespace vk605::sim
