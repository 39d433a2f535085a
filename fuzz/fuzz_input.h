#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vk605::fuzz {

// Splits a fuzz input into NUL-separated parts; the last part takes the rest of the input, so a seed is
// written as "part\0part\0rest". Missing parts are empty.
inline std::vector<std::string_view> SplitInput(const std::uint8_t* data, std::size_t size,
                                                std::size_t parts) {
  std::string_view input(reinterpret_cast<const char*>(data), size);
  std::vector<std::string_view> out;
  out.reserve(parts);
  for (std::size_t i = 0; i + 1 < parts; ++i) {
    std::size_t end = input.find('\0');
    if (end == std::string_view::npos) {
      out.push_back(input);
      input = {};
    } else {
      out.push_back(input.substr(0, end));
      input.remove_prefix(end + 1);
    }
  }
  out.push_back(input);
  return out;
}

// Aborts the run with a message: a broken invariant is a finding like a crash.
[[noreturn]] void Fail(const char* what);

}  // namespace vk605::fuzz
