#pragma once

#include <sys/stat.h>

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

}  // namespace vk605::testing
