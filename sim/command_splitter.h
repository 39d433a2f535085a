#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace vk605::sim {

// Cuts the byte stream from the driver into commands. The instrument executes a command when it sees its
// CR. Some driver commands carry a comma after the CR ("AT\r,"); a comma that arrives directly after a CR
// is reported as belonging to the command that CR ended, not as the start of the next one.
class CommandSplitter {
 public:
  // Longest command the instrument buffers; a longer run without CR is handed on when the buffer is full.
  static constexpr std::size_t kMaxCommandBytes = 256;

  struct Event {
    enum class Kind { kCommand, kTrailingComma };
    Kind kind;
    std::string text;  // the command with its CR; empty for kTrailingComma
  };

  std::vector<Event> Feed(std::string_view bytes);
  void Reset();

 private:
  std::string buffer_;
  bool after_cr_ = false;
};

}  // namespace vk605::sim
