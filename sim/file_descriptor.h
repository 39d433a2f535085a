#pragma once

#include <unistd.h>

#include "base/unique_resource.h"

namespace vk605::sim {

struct FileDescriptorTraits {
  using Handle = int;
  static int Invalid() noexcept { return -1; }
  // Negative values are what the creating calls report on failure.
  static bool IsValid(int fd) noexcept { return fd >= 0; }
  static bool Close(int fd) noexcept { return ::close(fd) == 0; }
};

// Owns one file descriptor (pty, socket, pipe, file). Move-only.
using UniqueFd = UniqueResource<FileDescriptorTraits>;

}  // namespace vk605::sim
