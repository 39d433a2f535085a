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

}  // namespace vk605
