#include "output_queue.h"

#include <algorithm>

namespace vk605::sim {

void OutputQueue::Push(std::uint64_t start_ms, const std::vector<TimedChunk>& chunks) {
  const std::uint64_t base = entries_.empty() ? start_ms : std::max(start_ms, last_due_ms_);
  for (const TimedChunk& chunk : chunks) {
    if (queued_bytes_ + chunk.bytes.size() > kMaxQueuedBytes) {
      dropped_bytes_ += chunk.bytes.size();
      continue;
    }
    const std::uint64_t due = std::max(base + chunk.offset_ms, last_due_ms_);
    entries_.push_back({due, chunk.bytes});
    last_due_ms_ = due;
    queued_bytes_ += chunk.bytes.size();
  }
}

std::string OutputQueue::TakeDue(std::uint64_t now_ms) {
  std::string out;
  while (!entries_.empty() && entries_.front().due_ms <= now_ms) {
    out += entries_.front().bytes;
    queued_bytes_ -= entries_.front().bytes.size();
    entries_.pop_front();
  }
  return out;
}

std::optional<std::uint64_t> OutputQueue::NextDueMs() const {
  if (entries_.empty()) return std::nullopt;
  return entries_.front().due_ms;
}

void OutputQueue::Clear() {
  entries_.clear();
  queued_bytes_ = 0;
}

}  // namespace vk605::sim
