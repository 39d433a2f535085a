#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

namespace vk605::sim {

// Part of a reply and how long after the reply's start it is sent.
struct TimedChunk {
  std::uint64_t offset_ms = 0;
  std::string bytes;
};

// Bytes the instrument has decided to send, each with the time it is due. The instrument talks over one
// serial line, so output leaves in the order it was queued: a reply never overtakes an earlier one, even
// when its own delay is shorter.
class OutputQueue {
 public:
  // Queued bytes beyond this are dropped (and counted) instead of growing without bound.
  static constexpr std::size_t kMaxQueuedBytes = 1 << 20;

  // Queues chunks of one reply that starts no earlier than start_ms.
  void Push(std::uint64_t start_ms, const std::vector<TimedChunk>& chunks);
  // Removes and returns, concatenated, every chunk due at or before now_ms.
  std::string TakeDue(std::uint64_t now_ms);
  std::optional<std::uint64_t> NextDueMs() const;
  void Clear();

  std::size_t QueuedBytes() const { return queued_bytes_; }
  std::size_t DroppedBytes() const { return dropped_bytes_; }

 private:
  struct Entry {
    std::uint64_t due_ms;
    std::string bytes;
  };

  std::deque<Entry> entries_;
  std::uint64_t last_due_ms_ = 0;
  std::size_t queued_bytes_ = 0;
  std::size_t dropped_bytes_ = 0;
};

}  // namespace vk605::sim
