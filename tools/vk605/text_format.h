#pragma once

#include <string>
#include <string_view>

namespace vk605::tool {

// Numbers in every output are written with a decimal point whatever the locale (std::to_chars).
std::string FormatFixed(double value, int decimals);
std::string FormatInt(long long value);

// A JSON string literal with its quotes.
std::string JsonString(std::string_view text);

// One JSON object built member by member, written on one line.
class JsonObject {
 public:
  JsonObject& Add(std::string_view key, std::string_view text);
  JsonObject& Add(std::string_view key, const char* text) { return Add(key, std::string_view(text)); }
  JsonObject& Add(std::string_view key, double value, int decimals);
  JsonObject& Add(std::string_view key, long long value);
  JsonObject& Add(std::string_view key, int value) { return Add(key, static_cast<long long>(value)); }
  JsonObject& Add(std::string_view key, bool value);
  // value must already be JSON (an object, array or literal).
  JsonObject& AddRaw(std::string_view key, std::string_view json);
  std::string Text() const { return "{" + body_ + "}"; }

 private:
  void Key(std::string_view key);
  std::string body_;
};

// Removes leading and trailing blanks, tabs and line ends.
std::string Trim(std::string_view text);
std::string Lower(std::string_view text);

}  // namespace vk605::tool
