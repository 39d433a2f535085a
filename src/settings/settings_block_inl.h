#pragma once

#include <cstddef>
#include <cstring>

namespace vk605 {

template <std::size_t N>
void CopyField(char (&field)[N], const char* text) {
  std::size_t length = 0;
  if (text != nullptr) {
    while (length + 1 < N && text[length] != '\0') ++length;
    std::memmove(field, text, length);
  }
  field[length] = '\0';
}

template <std::size_t N>
bool FitsField(const char (&)[N], const char* text) {
  if (text == nullptr) return true;
  for (std::size_t i = 0; i < N; ++i) {
    if (text[i] == '\0') return true;
  }
  return false;
}

}  // namespace vk605
