#include "platform/named_mutex.h"

#include <gtest/gtest.h>

#include <future>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace vk605 {
namespace {

// Names are fixed per test so repeated runs reuse their lock files; another test program running at the
// same time only waits a little longer.
TEST(NamedMutex, OwningThreadMayLockAgain) {
  NamedMutex mutex("Vk605PlatformTestRecursive");
  ASSERT_TRUE(mutex.Lock());
  ASSERT_TRUE(mutex.Lock());
  mutex.Unlock();
  mutex.Unlock();
  // Fully released: another thread gets it (a leftover hold would hang here).
  std::thread other([&mutex] {
    EXPECT_TRUE(mutex.Lock());
    mutex.Unlock();
  });
  other.join();
}

// The order in which two threads pass their marks, written under a lock of its own.
class Trace {
 public:
  void Mark(char event) {
    std::lock_guard<std::mutex> lock(mutex_);
    events_ += event;
  }
  std::string Events() {
    std::lock_guard<std::mutex> lock(mutex_);
    return events_;
  }

 private:
  std::mutex mutex_;
  std::string events_;
};

// Another object of the same name is the same mutex: the other thread gets it only after this thread's
// release ('R' before 'L'). A second object that were a mutex of its own would lock at once, as the
// different name below does.
TEST(NamedMutex, SameNameInAnotherObjectExcludesAnotherThread) {
  NamedMutex first("Vk605PlatformTestShared");
  ASSERT_TRUE(first.Lock());
  Trace trace;
  std::promise<void> trying;
  std::thread other([&trace, &trying] {
    NamedMutex second("Vk605PlatformTestShared");
    trying.set_value();
    EXPECT_TRUE(second.Lock());
    trace.Mark('L');
    second.Unlock();
  });
  trying.get_future().wait();
  std::this_thread::yield();
  trace.Mark('R');
  first.Unlock();
  other.join();
  EXPECT_EQ(trace.Events(), "RL");
}

// Held under one name, a mutex of another name is free: the other thread locks it while this one holds
// its own (it would hang here otherwise).
TEST(NamedMutex, DifferentNamesDoNotExclude) {
  NamedMutex held("Vk605PlatformTestHeld");
  ASSERT_TRUE(held.Lock());
  bool locked = false;
  std::thread other([&locked] {
    NamedMutex unheld("Vk605PlatformTestFree");
    locked = unheld.Lock();
    unheld.Unlock();
  });
  other.join();
  EXPECT_TRUE(locked);
  held.Unlock();
}

// Each thread holds its own object of the shared name, as separate driver parts do.
TEST(NamedMutex, SerialisesThreadsOfOneProcess) {
  constexpr int kThreads = 4;
  constexpr int kRounds = 2000;
  long counter = 0;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&counter] {
      NamedMutex mutex("Vk605PlatformTestCounter");
      for (int i = 0; i < kRounds; ++i) {
        NamedMutexLock hold(mutex);
        long seen = counter;
        std::this_thread::yield();
        counter = seen + 1;
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(counter, long{kThreads} * kRounds);
}

}  // namespace
}  // namespace vk605
