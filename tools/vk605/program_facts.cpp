// What every command may print about the run itself: the time and this program's version.
#include <chrono>
#include <ctime>
#include <string>

#include "commands.h"

namespace vk605::tool {

std::string NowUtc() {
  std::time_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
  std::tm utc{};
  gmtime_r(&now, &utc);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
  return text;
}

const char* ToolVersion() {
  return VK605_TOOL_VERSION;
}

}  // namespace vk605::tool
