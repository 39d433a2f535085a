#include "platform/posix/serial_device_path.h"

#include <cstdint>
#include <string_view>

namespace vk605 {

namespace {

// Enough digits for any port number a name can carry without overflowing the arithmetic.
constexpr std::size_t kMaxPortDigits = 9;

bool IsComPrefix(std::string_view text) {
  return text.size() >= 3 && (text[0] == 'C' || text[0] == 'c') && (text[1] == 'O' || text[1] == 'o') &&
         (text[2] == 'M' || text[2] == 'm');
}

// The port number of "n", or 0 when the text is not a number from 1.
std::uint32_t PortNumber(std::string_view digits) {
  if (digits.empty() || digits.size() > kMaxPortDigits || digits[0] == '0') return 0;
  std::uint32_t number = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return 0;
    number = number * 10 + static_cast<std::uint32_t>(c - '0');
  }
  return number;
}

}  // namespace

std::string SerialDevicePath(const std::string& name) {
  std::string_view text(name);
  if (text.ends_with(':')) text.remove_suffix(1);
  if (!IsComPrefix(text)) return name;
  std::uint32_t number = PortNumber(text.substr(3));
  if (number == 0) return name;
  return "/dev/ttyS" + std::to_string(number - 1);
}

}  // namespace vk605
