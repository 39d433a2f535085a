#pragma once

#include <stdexcept>
#include <string>

#include "exit_codes.h"

namespace vk605::tool {

// A failure that ends the command: its message goes to stderr (or into the JSON error line) and its code
// becomes the exit status.
class ToolError : public std::runtime_error {
 public:
  ToolError(ExitCode code, const std::string& message) : std::runtime_error(message), code_(code) {}
  ExitCode Code() const { return code_; }

 private:
  ExitCode code_;
};

}  // namespace vk605::tool
