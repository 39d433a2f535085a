#pragma once

#include <unistd.h>

#include <utility>

namespace vk605 {

// Owns one file descriptor and closes it when destroyed. Move-only.
class UniqueFd {
 public:
  UniqueFd() = default;
  explicit UniqueFd(int fd) : fd_(fd) {}
  ~UniqueFd() { Reset(); }
  UniqueFd(UniqueFd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  UniqueFd& operator=(UniqueFd&& other) noexcept {
    if (this != &other) {
      Reset();
      fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
  }
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;

  int Get() const { return fd_; }
  bool IsValid() const { return fd_ >= 0; }
  // Closes now and reports whether the close succeeded (a failed close can mean lost written data).
  bool Close() {
    if (fd_ < 0) return true;
    return ::close(std::exchange(fd_, -1)) == 0;
  }

 private:
  void Reset() {
    if (fd_ >= 0) ::close(std::exchange(fd_, -1));
  }

  int fd_ = -1;
};

}  // namespace vk605
