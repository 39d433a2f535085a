#pragma once

#include <cctype>
#include <cstddef>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "platform/registry.h"

namespace vk605::testing {

// Keys under HKEY_LOCAL_MACHINE in memory. Key paths are compared like the platform does: runs of
// backslashes count as one, leading and trailing ones are ignored, names compare case-insensitively.
class FakeRegistry : public Registry {
 public:
  void AddKey(std::string_view key_path) {
    std::lock_guard<std::mutex> lock(mutex_);
    keys_[Normalize(key_path)];
  }

  void SetValue(std::string_view key_path, std::string_view name, std::string_view text) {
    std::lock_guard<std::mutex> lock(mutex_);
    keys_[Normalize(key_path)][Lower(name)] = std::string(text);
  }

  std::optional<std::string> Value(std::string_view key_path, std::string_view name) const {
    std::lock_guard<std::mutex> lock(mutex_);
    auto key = keys_.find(Normalize(key_path));
    if (key == keys_.end()) return std::nullopt;
    auto value = key->second.find(Lower(name));
    if (value == key->second.end()) return std::nullopt;
    return value->second;
  }

  bool KeyExists(std::string_view key_path) override {
    std::lock_guard<std::mutex> lock(mutex_);
    return keys_.count(Normalize(key_path)) != 0;
  }

  std::optional<std::string> ReadString(std::string_view key_path, std::string_view value_name,
                                        std::size_t capacity) override {
    std::optional<std::string> text = Value(key_path, value_name);
    if (!text || text->size() + 1 > capacity) return std::nullopt;
    return text;
  }

  bool WriteStringToExistingKey(std::string_view key_path, std::string_view value_name,
                                std::string_view text) override {
    std::lock_guard<std::mutex> lock(mutex_);
    auto key = keys_.find(Normalize(key_path));
    if (key == keys_.end()) return false;
    key->second[Lower(value_name)] = std::string(text);
    return true;
  }

 private:
  static std::string Lower(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return lower;
  }

  static std::string Normalize(std::string_view key_path) {
    std::string path;
    for (char c : Lower(key_path)) {
      if (c == '\\' && (path.empty() || path.back() == '\\')) continue;
      path += c;
    }
    if (!path.empty() && path.back() == '\\') path.pop_back();
    return path;
  }

  mutable std::mutex mutex_;
  std::map<std::string, std::map<std::string, std::string>> keys_;
};

}  // namespace vk605::testing
