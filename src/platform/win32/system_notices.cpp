#include "platform/system_notices.h"

#include <string>

#include "platform/win32/windows_headers.h"

namespace vk605 {

namespace {

class DebugOutputNotices : public SystemNotices {
 public:
  void Note(std::string_view text) override {
    std::string line(text);
    line += "\r\n";
    ::OutputDebugStringA(line.c_str());
  }
};

}  // namespace

SystemNotices& SystemLogNotices() {
  static DebugOutputNotices notices;
  return notices;
}

}  // namespace vk605
