#include "platform/named_mutex.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <future>
#include <string>
#include <thread>

#include "platform/file_text.h"
#include "platform/posix/scoped_environment.h"
#include "platform/temp_directory.h"

namespace vk605 {
namespace {

using ::vk605::testing::ReadBytes;
using ::vk605::testing::ScopedEnvironment;
using ::vk605::testing::TempDirectory;
using ::vk605::testing::WriteBytes;

void Mark(int fd, char event) {
  EXPECT_EQ(::write(fd, &event, 1), 1);
}

std::string ReadToEnd(int fd) {
  std::string text;
  char c = 0;
  while (::read(fd, &c, 1) == 1) text += c;
  return text;
}

// The scheduler state of a process or thread from its stat file ("pid (name) S ..."): 'S' while it
// sleeps in a wait, '?' once it is gone. Looks again (yielding the processor) until it sleeps or ends;
// a thread blocked in a lock sleeps, one that was never blocked ends.
char WaitUntilAsleepOrGone(const std::string& stat_path) {
  for (;;) {
    std::string text = ReadBytes(stat_path);
    std::size_t close = text.rfind(')');
    char state = close == std::string::npos || close + 2 >= text.size() ? '?' : text[close + 2];
    if (state == 'S' || state == 'Z' || state == 'X' || state == '?') return state;
    std::this_thread::yield();
  }
}

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

// A second process with a mutex of the same name waits in Lock while this process holds it: it is seen
// asleep there ('S') before the release, and its lock follows the release ('R' before 'L' on one pipe).
TEST_F(NamedMutexProcessTest, SecondProcessWaitsUntilTheHolderReleases) {
  NamedMutex mutex("MeasurementMutex");
  ASSERT_TRUE(mutex.Lock());
  int trace[2];
  ASSERT_EQ(::pipe(trace), 0);
  pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::close(trace[0]);
    NamedMutex theirs("MeasurementMutex");
    Mark(trace[1], 'T');
    Mark(trace[1], theirs.Lock() ? 'L' : 'F');
    theirs.Unlock();
    ::_exit(0);
  }
  char first = 0;
  ASSERT_EQ(::read(trace[0], &first, 1), 1);
  EXPECT_EQ(first, 'T');
  EXPECT_EQ(WaitUntilAsleepOrGone("/proc/" + std::to_string(child) + "/stat"), 'S');
  Mark(trace[1], 'R');
  mutex.Unlock();
  ::close(trace[1]);
  EXPECT_EQ(ReadToEnd(trace[0]), "RL");
  ::close(trace[0]);
  int status = 0;
  ::waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

// Without a lock file the mutex still serialises the threads of this process: another thread's Lock
// sleeps until this thread releases.
TEST_F(NamedMutexProcessTest, WithoutRuntimeDirectoryStillSerialisesThisProcess) {
  std::string blocked = directory_.File("not-a-directory");
  WriteBytes(blocked, "x");
  ScopedEnvironment runtime("XDG_RUNTIME_DIR", blocked.c_str());
  NamedMutex mutex("UniCommMutex");
  ASSERT_TRUE(mutex.Lock());
  int trace[2];
  ASSERT_EQ(::pipe(trace), 0);
  std::promise<long> thread_id;
  std::thread other([&] {
    NamedMutex theirs("UniCommMutex");
    thread_id.set_value(::syscall(SYS_gettid));
    Mark(trace[1], theirs.Lock() ? 'L' : 'F');
    theirs.Unlock();
  });
  long tid = thread_id.get_future().get();
  EXPECT_EQ(WaitUntilAsleepOrGone("/proc/self/task/" + std::to_string(tid) + "/stat"), 'S');
  Mark(trace[1], 'R');
  mutex.Unlock();
  other.join();
  ::close(trace[1]);
  EXPECT_EQ(ReadToEnd(trace[0]), "RL");
  ::close(trace[0]);
  EXPECT_TRUE(std::filesystem::is_regular_file(blocked));
}

}  // namespace
}  // namespace vk605
