#pragma once

#include <cerrno>
#include <system_error>

namespace vk605 {

// The error the last failed system call left in errno.
inline std::error_code ErrnoError() {
  return std::error_code(errno, std::system_category());
}

}  // namespace vk605
