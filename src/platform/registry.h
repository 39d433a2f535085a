#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace vk605 {

// Values under HKEY_LOCAL_MACHINE. Key paths use backslashes; runs of separators count as one and names
// compare case-insensitively. On POSIX the registry is an INI file whose section names are the key paths.
class Registry {
 public:
  virtual ~Registry() = default;
  // True when the key opens for reading.
  virtual bool KeyExists(std::string_view key_path) = 0;
  // The text value, or empty when the key or the value is missing, or the text (with its terminator)
  // does not fit in capacity bytes.
  virtual std::optional<std::string> ReadString(std::string_view key_path, std::string_view value_name,
                                                std::size_t capacity) = 0;
  // Writes a text value into an existing key; never creates the key. False when the key does not open
  // for writing.
  virtual bool WriteStringToExistingKey(std::string_view key_path, std::string_view value_name,
                                        std::string_view text) = 0;
};

Registry& SystemRegistry();

}  // namespace vk605
