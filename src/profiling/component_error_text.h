#pragma once

#include <optional>
#include <string>

#include "platform/profiling_component.h"

namespace vk605 {

// The text shown for a failing component call: the system's message for the status code when it has
// one, else "IDispatch error #<n>" for the dispatch range 0x80040200 to 0x8004FFFF (n = the low 16 bits
// minus 0x200; the code 0x80040200 itself excluded), else "Unknown error 0x<code in hex>".
std::string ComponentErrorText(ComponentStatus status, const std::optional<std::string>& system_message);

}  // namespace vk605
