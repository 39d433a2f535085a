#pragma once

#include <string>

#include "text_format.h"

namespace vk605::tool {

// stdout of a command: readable text, or with --json one JSON object per line.
class Output {
 public:
  explicit Output(bool json) : json_(json) {}
  bool Json() const { return json_; }
  // Printed only in text mode.
  void Text(const std::string& text) const;
  // Printed only in JSON mode.
  void Object(const JsonObject& object) const;

 private:
  bool json_;
};

}  // namespace vk605::tool
