#pragma once

#include <sys/types.h>

#include <string>

namespace vk605::host {

// An X server of the test's own: Xvfb picks a free display number and reports it (-displayfd), so any
// number of tests run side by side. Stopped when the object goes.
class XvfbServer {
 public:
  XvfbServer();
  ~XvfbServer();
  XvfbServer(const XvfbServer&) = delete;
  XvfbServer& operator=(const XvfbServer&) = delete;

  // ":N", or empty when Xvfb could not be started.
  const std::string& Display() const { return display_; }

 private:
  pid_t pid_ = -1;
  std::string display_;
};

}  // namespace vk605::host
