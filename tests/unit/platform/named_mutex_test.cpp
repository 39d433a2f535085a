#include "platform/named_mutex.h"

#include <gtest/gtest.h>

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

TEST(NamedMutex, ObjectsOfOneNameAreOneMutexForTheirThread) {
  NamedMutex first("Vk605PlatformTestShared");
  NamedMutex second("Vk605PlatformTestShared");
  ASSERT_TRUE(first.Lock());
  ASSERT_TRUE(second.Lock());  // the same mutex, already owned by this thread
  second.Unlock();
  first.Unlock();
  EXPECT_EQ(second.Name(), "Vk605PlatformTestShared");
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
