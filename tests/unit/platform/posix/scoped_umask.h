#pragma once

#include <sys/stat.h>

#include <string>

namespace vk605::testing {

// Sets the process's file mode creation mask for one scope and restores the previous one afterwards.
class ScopedUmask {
 public:
  explicit ScopedUmask(mode_t mask) : saved_(::umask(mask)) {}
  ~ScopedUmask() { ::umask(saved_); }
  ScopedUmask(const ScopedUmask&) = delete;
  ScopedUmask& operator=(const ScopedUmask&) = delete;

 private:
  mode_t saved_;
};

// The permission bits of the file at path (a link followed), 0 when it cannot be read.
inline mode_t PermissionsOf(const std::string& path) {
  struct stat status {};
  return ::stat(path.c_str(), &status) == 0 ? status.st_mode & 07777 : 0;
}

}  // namespace vk605::testing
