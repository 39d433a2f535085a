#include "base/unique_resource.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace vk605 {
namespace {

// A resource whose closes are recorded, so each test sees exactly which handles were closed and how often.
struct RecordingTraits {
  using Handle = int;
  static inline std::vector<int> closed;
  static inline bool close_succeeds = true;
  static int Invalid() noexcept { return -1; }
  static bool Close(int handle) noexcept {
    closed.push_back(handle);
    return close_succeeds;
  }
};
using Recorded = UniqueResource<RecordingTraits>;

// Two values meaning "nothing", as Win32 handles have.
struct TwoInvalidTraits {
  using Handle = int;
  static inline std::vector<int> closed;
  static int Invalid() noexcept { return 0; }
  static bool IsValid(int handle) noexcept { return handle != 0 && handle != -1; }
  static bool Close(int handle) noexcept {
    closed.push_back(handle);
    return true;
  }
};

class UniqueResourceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RecordingTraits::closed.clear();
    RecordingTraits::close_succeeds = true;
    TwoInvalidTraits::closed.clear();
  }
};

TEST_F(UniqueResourceTest, DestructionClosesOnce) {
  { Recorded resource(7); }
  EXPECT_EQ(RecordingTraits::closed, std::vector<int>{7});
}

TEST_F(UniqueResourceTest, EmptyOrInvalidIsNeverClosed) {
  {
    Recorded empty;
    Recorded invalid(-1);
    EXPECT_FALSE(empty.IsValid());
    EXPECT_EQ(invalid.Get(), -1);
    EXPECT_TRUE(empty.Close());
  }
  EXPECT_TRUE(RecordingTraits::closed.empty());
}

TEST_F(UniqueResourceTest, MoveConstructionTransfersWithoutClosing) {
  {
    Recorded first(3);
    Recorded second(std::move(first));
    EXPECT_TRUE(RecordingTraits::closed.empty());
    EXPECT_FALSE(first.IsValid());  // NOLINT(bugprone-use-after-move): the moved-from state is the point
    EXPECT_EQ(second.Get(), 3);
  }
  EXPECT_EQ(RecordingTraits::closed, std::vector<int>{3});
}

TEST_F(UniqueResourceTest, MoveAssignmentClosesTheTargetsOldHandleOnly) {
  {
    Recorded target(1);
    Recorded source(2);
    target = std::move(source);
    EXPECT_EQ(RecordingTraits::closed, std::vector<int>{1});
    EXPECT_EQ(target.Get(), 2);
  }
  EXPECT_EQ(RecordingTraits::closed, (std::vector<int>{1, 2}));
}

TEST_F(UniqueResourceTest, SelfMoveAssignmentKeepsTheHandle) {
  {
    Recorded resource(4);
    Recorded& alias = resource;
    resource = std::move(alias);
    EXPECT_EQ(resource.Get(), 4);
    EXPECT_TRUE(RecordingTraits::closed.empty());
  }
  EXPECT_EQ(RecordingTraits::closed, std::vector<int>{4});
}

TEST_F(UniqueResourceTest, ResetClosesTheOldAndOwnsTheNew) {
  {
    Recorded resource(5);
    resource.Reset(6);
    EXPECT_EQ(RecordingTraits::closed, std::vector<int>{5});
    EXPECT_EQ(resource.Get(), 6);
    resource.Reset();
    EXPECT_EQ(RecordingTraits::closed, (std::vector<int>{5, 6}));
    EXPECT_FALSE(resource.IsValid());
  }
  EXPECT_EQ(RecordingTraits::closed, (std::vector<int>{5, 6}));
}

TEST_F(UniqueResourceTest, ReleaseHandsOverWithoutClosing) {
  int handle = -1;
  {
    Recorded resource(8);
    handle = resource.Release();
    EXPECT_FALSE(resource.IsValid());
  }
  EXPECT_EQ(handle, 8);
  EXPECT_TRUE(RecordingTraits::closed.empty());
}

TEST_F(UniqueResourceTest, CloseReportsTheOutcomeAndLeavesNothingToCloseLater) {
  {
    Recorded good(9);
    EXPECT_TRUE(good.Close());
    Recorded bad(10);
    RecordingTraits::close_succeeds = false;
    EXPECT_FALSE(bad.Close());
    EXPECT_FALSE(bad.IsValid());
  }
  EXPECT_EQ(RecordingTraits::closed, (std::vector<int>{9, 10}));
}

TEST_F(UniqueResourceTest, TraitsValidityCheckCoversEveryInvalidValue) {
  {
    UniqueResource<TwoInvalidTraits> none;
    UniqueResource<TwoInvalidTraits> failed(-1);
    UniqueResource<TwoInvalidTraits> held(5);
    EXPECT_FALSE(none.IsValid());
    EXPECT_FALSE(failed.IsValid());
    EXPECT_TRUE(held.IsValid());
  }
  EXPECT_EQ(TwoInvalidTraits::closed, std::vector<int>{5});
}

}  // namespace
}  // namespace vk605
