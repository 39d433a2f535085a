#pragma once

#include <string_view>

namespace vk605 {

// A settings value as it may be written: up to its first line end. Values come from hosts (port names,
// language texts); a CR or LF inside one would otherwise start new lines, and so new keys or sections, in
// the settings file.
inline std::string_view OneLine(std::string_view text) {
  return text.substr(0, text.find_first_of("\r\n"));
}

}  // namespace vk605
