#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

#include "exit_codes.h"
#include "platform/file_io.h"

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

// Replaces path with content atomically (platform/file_io.h); a failure ends the command with a message
// naming the file and the reason.
inline void WriteFileOrFail(const std::string& path, std::string_view content) {
  if (std::error_code error = ReplaceFileAtomically(path, content)) {
    throw ToolError(ExitCode::kFailure, "cannot write " + path + ": " + error.message());
  }
}

}  // namespace vk605::tool
