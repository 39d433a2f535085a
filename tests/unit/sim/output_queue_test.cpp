#include "output_queue.h"

#include <gtest/gtest.h>

namespace vk605::sim {
namespace {

TEST(SimOutputQueueTest, ChunksLeaveInOrderAtTheirTimes) {
  OutputQueue queue;
  queue.Push(100, {{0, "a"}, {20, "b"}});
  queue.Push(50, {{0, "c"}});  // cannot overtake "b"
  EXPECT_EQ(queue.NextDueMs(), 100u);
  EXPECT_EQ(queue.TakeDue(119), "a");
  EXPECT_EQ(queue.NextDueMs(), 120u);
  EXPECT_EQ(queue.TakeDue(120), "bc");
  EXPECT_FALSE(queue.NextDueMs().has_value());
  EXPECT_EQ(queue.QueuedBytes(), 0u);
}

TEST(SimOutputQueueTest, DropsWhatWouldOverflowIt) {
  OutputQueue queue;
  queue.Push(0, {{0, std::string(OutputQueue::kMaxQueuedBytes - 1, 'x')}});
  queue.Push(0, {{0, "yz"}, {0, "w"}});
  EXPECT_EQ(queue.DroppedBytes(), 2u);
  EXPECT_EQ(queue.QueuedBytes(), OutputQueue::kMaxQueuedBytes);
  queue.Clear();
  EXPECT_EQ(queue.TakeDue(1000), "");
}

}  // namespace
}  // namespace vk605::sim
