#include "record_file.h"

#include "command_text.h"
#include "platform/file_io.h"

namespace vk605::sim {

bool RecordFile::Write(const std::vector<std::string>& commands, std::string& error) const {
  std::string text;
  for (const std::string& command : commands) text += EscapeText(command) + "\n";
  if (std::error_code failure = ReplaceFileAtomically(path_, text)) {
    error = "cannot write " + path_ + ": " + failure.message();
    return false;
  }
  return true;
}

}  // namespace vk605::sim
