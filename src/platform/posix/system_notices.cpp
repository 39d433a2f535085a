#include "platform/system_notices.h"

#include <syslog.h>

#include <string>

namespace vk605 {

namespace {

// syslog() without openlog(): the host's program name stays the identity, and the message names the driver.
class SyslogNotices : public SystemNotices {
 public:
  void Note(std::string_view text) override {
    std::string line(text);
    ::syslog(LOG_USER | LOG_WARNING, "%s", line.c_str());
  }
};

}  // namespace

SystemNotices& SystemLogNotices() {
  static SyslogNotices notices;
  return notices;
}

}  // namespace vk605
