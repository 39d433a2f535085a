#include "profiling/component_error_text.h"

#include <cstdint>
#include <cstdio>

namespace vk605 {

std::string ComponentErrorText(ComponentStatus status, const std::optional<std::string>& system_message) {
  if (system_message && !system_message->empty()) {
    std::string text = *system_message;
    if (text.size() >= 2 && text.compare(text.size() - 2, 2, "\r\n") == 0) text.resize(text.size() - 2);
    return text;
  }
  auto code = static_cast<std::uint32_t>(status);
  std::uint32_t low = code & 0xFFFFu;
  char text[64];
  if (code >= 0x80040200u && code <= 0x8004FFFFu && low != 0x200u) {
    std::snprintf(text, sizeof(text), "IDispatch error #%d", static_cast<int>(low) - 0x200);
  } else {
    std::snprintf(text, sizeof(text), "Unknown error 0x%0lX", static_cast<unsigned long>(code));
  }
  return text;
}

}  // namespace vk605
