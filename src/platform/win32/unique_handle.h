#pragma once

#include <utility>

#include "platform/win32/windows_headers.h"

namespace vk605 {

// Owns one kernel object handle and closes it when destroyed. Move-only. Both null and
// INVALID_HANDLE_VALUE mean "no handle", as the creating functions report failure with one or the other.
class UniqueHandle {
 public:
  UniqueHandle() = default;
  explicit UniqueHandle(HANDLE handle) : handle_(handle) {}
  ~UniqueHandle() { Reset(); }
  UniqueHandle(UniqueHandle&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    if (this != &other) {
      Reset();
      handle_ = std::exchange(other.handle_, nullptr);
    }
    return *this;
  }
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;

  HANDLE Get() const { return handle_; }
  bool IsValid() const { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }

 private:
  void Reset() {
    if (IsValid()) ::CloseHandle(handle_);
    handle_ = nullptr;
  }

  HANDLE handle_ = nullptr;
};

}  // namespace vk605
