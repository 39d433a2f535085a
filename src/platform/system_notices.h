#pragma once

#include <string_view>

namespace vk605 {

// The system's own log, for the few things the driver has to say when its trace cannot take them: the
// syslog on POSIX (facility user, priority warning), the debugger output on Windows (OutputDebugString,
// shown by DebugView and every debugger).
class SystemNotices {
 public:
  virtual ~SystemNotices() = default;
  // One line of text, without a line end.
  virtual void Note(std::string_view text) = 0;
};

SystemNotices& SystemLogNotices();

}  // namespace vk605
