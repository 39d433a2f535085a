#include "command_splitter.h"

namespace vk605::sim {

std::vector<CommandSplitter::Event> CommandSplitter::Feed(std::string_view bytes) {
  std::vector<Event> events;
  for (const char c : bytes) {
    if (after_cr_ && c == ',' && buffer_.empty()) {
      after_cr_ = false;
      events.push_back({Event::Kind::kTrailingComma, {}});
      continue;
    }
    after_cr_ = false;
    buffer_ += c;
    if (c == '\r') {
      events.push_back({Event::Kind::kCommand, std::move(buffer_)});
      buffer_.clear();
      after_cr_ = true;
    } else if (buffer_.size() >= kMaxCommandBytes) {
      events.push_back({Event::Kind::kCommand, std::move(buffer_)});
      buffer_.clear();
    }
  }
  return events;
}

void CommandSplitter::Reset() {
  buffer_.clear();
  after_cr_ = false;
}

}  // namespace vk605::sim
