#include "platform/named_mutex.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <thread>

#include "platform/file_text.h"
#include "platform/posix/scoped_environment.h"
#include "platform/temp_directory.h"

namespace vk605 {
namespace {

using ::vk605::testing::ScopedEnvironment;
using ::vk605::testing::TempDirectory;
using ::vk605::testing::WriteBytes;

// Every test gets its own runtime directory, so the lock files are its own.
class NamedMutexProcessTest : public ::testing::Test {
 protected:
  // True when some process holds the named lock file; asked on a descriptor of its own without waiting.
  bool HeldElsewhere(const std::string& file_name) {
    std::string path = directory_.File("vk605/" + file_name);
    int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) return false;
    bool held = ::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    ::close(fd);
    return held;
  }

  // Forks a child that locks the named mutex, reports through a pipe and then waits to be killed.
  pid_t StartHoldingChild(const std::string& name) {
    int report[2];
    if (::pipe(report) != 0) return -1;
    pid_t child = ::fork();
    if (child == 0) {
      ::close(report[0]);
      NamedMutex mutex(name);
      char locked = mutex.Lock() ? 'L' : 'F';
      (void)::write(report[1], &locked, 1);
      for (;;) ::pause();
    }
    ::close(report[1]);
    char answer = 0;
    bool reported = ::read(report[0], &answer, 1) == 1 && answer == 'L';
    ::close(report[0]);
    return reported ? child : -1;
  }

  static void Kill(pid_t child) {
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
  }

  TempDirectory directory_;
  ScopedEnvironment runtime_{"XDG_RUNTIME_DIR", directory_.Path().c_str()};
};

TEST_F(NamedMutexProcessTest, LockFileLivesInPrivateRuntimeDirectoryUnderCleanName) {
  NamedMutex mutex("Uni Comm/Mutex.1");
  ASSERT_TRUE(mutex.Lock());
  EXPECT_TRUE(HeldElsewhere("Uni_Comm_Mutex_1.lock"));
  mutex.Unlock();
  EXPECT_FALSE(HeldElsewhere("Uni_Comm_Mutex_1.lock"));
  EXPECT_EQ(std::filesystem::status(directory_.Path() / "vk605").permissions(),
            std::filesystem::perms::owner_all);
}

TEST_F(NamedMutexProcessTest, RecursiveLockIsReleasedByTheLastUnlock) {
  NamedMutex mutex("UniCommMutex");
  ASSERT_TRUE(mutex.Lock());
  ASSERT_TRUE(mutex.Lock());
  mutex.Unlock();
  EXPECT_TRUE(HeldElsewhere("UniCommMutex.lock"));
  mutex.Unlock();
  EXPECT_FALSE(HeldElsewhere("UniCommMutex.lock"));
}

TEST_F(NamedMutexProcessTest, UnlockByAnotherThreadDoesNotRelease) {
  NamedMutex mutex("MeasurementMutex");
  ASSERT_TRUE(mutex.Lock());
  std::thread([&mutex] { mutex.Unlock(); }).join();
  EXPECT_TRUE(HeldElsewhere("MeasurementMutex.lock"));
  mutex.Unlock();
  EXPECT_FALSE(HeldElsewhere("MeasurementMutex.lock"));
}

TEST_F(NamedMutexProcessTest, LockOfAProcessThatDiesIsReleased) {
  pid_t child = StartHoldingChild("MeasurementMutex");
  ASSERT_GT(child, 0);
  EXPECT_TRUE(HeldElsewhere("MeasurementMutex.lock"));
  Kill(child);
  EXPECT_FALSE(HeldElsewhere("MeasurementMutex.lock"));
  NamedMutex mutex("MeasurementMutex");
  EXPECT_TRUE(mutex.Lock());
  mutex.Unlock();
}

// A child forked while the parent has a mutex of the same name must lock on a file description of its
// own; sharing the parent's would leave the lock held by the parent after the child died.
TEST_F(NamedMutexProcessTest, ForkedChildLocksIndependentlyOfTheParent) {
  NamedMutex parent_mutex("GetDataMutex");
  pid_t child = StartHoldingChild("GetDataMutex");
  ASSERT_GT(child, 0);
  EXPECT_TRUE(HeldElsewhere("GetDataMutex.lock"));
  Kill(child);
  EXPECT_FALSE(HeldElsewhere("GetDataMutex.lock"));
  ASSERT_TRUE(parent_mutex.Lock());
  EXPECT_TRUE(HeldElsewhere("GetDataMutex.lock"));
  parent_mutex.Unlock();
}

TEST_F(NamedMutexProcessTest, WithoutRuntimeDirectoryStillSerialisesThisProcess) {
  std::string blocked = directory_.File("not-a-directory");
  WriteBytes(blocked, "x");
  ScopedEnvironment runtime("XDG_RUNTIME_DIR", blocked.c_str());
  NamedMutex mutex("UniCommMutex");
  EXPECT_TRUE(mutex.Lock());
  mutex.Unlock();
}

}  // namespace
}  // namespace vk605
