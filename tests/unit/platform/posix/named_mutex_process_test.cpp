#include "platform/named_mutex.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "engine/engine_rig.h"
#include "platform/file_text.h"
#include "platform/posix/child_process.h"
#include "platform/posix/scoped_environment.h"
#include "platform/posix/user_dirs.h"
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

std::vector<std::string> ReadDirectory(const std::string& path) {
  std::vector<std::string> names;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(path, error)) {
    names.push_back(entry.path().filename().string());
  }
  return names;
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

// Processes are served in the order they asked, not in the order flock happens to wake them: four
// children queue up one after another while this process holds the mutex; this process then releases and
// asks again at once. With plain flock the process that just released usually wins again ("P1234"); in
// the queue it waits behind the four children.
TEST_F(NamedMutexProcessTest, ProcessesAreServedFirstComeFirstServed) {
  NamedMutex mutex("UniCommMutex");
  ASSERT_TRUE(mutex.Lock());
  int trace[2];
  ASSERT_EQ(::pipe(trace), 0);
  std::vector<pid_t> children;
  for (char id = '1'; id <= '4'; ++id) {
    int started[2];
    ASSERT_EQ(::pipe(started), 0);
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      ::close(trace[0]);
      ::close(started[0]);
      NamedMutex theirs("UniCommMutex");
      Mark(started[1], 'T');
      if (!theirs.Lock()) ::_exit(1);
      Mark(trace[1], id);
      theirs.Unlock();
      ::_exit(0);
    }
    ::close(started[1]);
    char first = 0;
    ASSERT_EQ(::read(started[0], &first, 1), 1);
    ::close(started[0]);
    // Asleep in Lock, its place in the queue taken, before the next child starts.
    ASSERT_EQ(WaitUntilAsleepOrGone("/proc/" + std::to_string(child) + "/stat"), 'S');
    children.push_back(child);
  }
  mutex.Unlock();
  ASSERT_TRUE(mutex.Lock());
  Mark(trace[1], 'P');
  mutex.Unlock();
  ::close(trace[1]);
  EXPECT_EQ(ReadToEnd(trace[0]), "1234P");
  ::close(trace[0]);
  for (pid_t child : children) {
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
}

// A process that dies while it waits in the queue does not hold up the processes behind it.
TEST_F(NamedMutexProcessTest, WaiterThatDiesLeavesTheQueue) {
  NamedMutex mutex("MeasurementMutex");
  ASSERT_TRUE(mutex.Lock());
  pid_t waiter = ::fork();
  ASSERT_GE(waiter, 0);
  if (waiter == 0) {
    NamedMutex theirs("MeasurementMutex");
    (void)theirs.Lock();
    ::_exit(0);
  }
  ASSERT_EQ(WaitUntilAsleepOrGone("/proc/" + std::to_string(waiter) + "/stat"), 'S');
  Kill(waiter);
  mutex.Unlock();
  std::optional<int> code = testing::ExitCodeInChild([] {
    NamedMutex theirs("MeasurementMutex");
    if (!theirs.Lock()) return 1;
    theirs.Unlock();
    return 0;
  });
  EXPECT_EQ(code, std::optional<int>(0));
  // Only the counter is left in the queue: every entry was removed by its owner or its successor.
  EXPECT_EQ(ReadDirectory(directory_.File("vk605/MeasurementMutex.queue")),
            std::vector<std::string>{"ticket"});
}

// Lock directories: the first private candidate is taken; one that is a file, a symbolic link, or that
// others may write into is passed over (its lock files could be someone else's); none left: empty.
TEST_F(NamedMutexProcessTest, LockDirectoryPassesOverUnsafeCandidates) {
  std::string file = directory_.File("file");
  WriteBytes(file, "x");
  std::string open_to_all = directory_.File("open");
  ASSERT_EQ(::mkdir(open_to_all.c_str(), 0700), 0);
  ASSERT_EQ(::chmod(open_to_all.c_str(), 0777), 0);
  std::string link = directory_.File("link");
  ASSERT_EQ(::symlink(open_to_all.c_str(), link.c_str()), 0);
  std::string fresh = directory_.File("fresh/vk605");
  EXPECT_EQ(FirstPrivateDirectory({file, open_to_all, link, fresh}), fresh);
  EXPECT_EQ(std::filesystem::status(fresh).permissions(), std::filesystem::perms::owner_all);
  EXPECT_EQ(FirstPrivateDirectory({file, open_to_all, link}), "");
  // The XDG runtime directory unusable: the per-user directory under /tmp is the fallback.
  ScopedEnvironment runtime("XDG_RUNTIME_DIR", file.c_str());
  EXPECT_EQ(PrivateRuntimeDirectory(), "/tmp/vk605-" + std::to_string(::geteuid()));
}

// Another user made /tmp/vk605-<uid> first. With $XDG_RUNTIME_DIR the locks live there; without it no
// lock can be had: Lock fails (the driver used to run unlocked then), the connect fails with 111, and no
// command reaches the instrument. Runs as a user of its own, so it needs root.
TEST_F(NamedMutexProcessTest, LockDirectoryTakenByAnotherUser) {
  if (::geteuid() != 0) GTEST_SKIP() << "acting as another user needs root";
  uid_t uid = 0;
  std::string taken;
  for (uid_t candidate = 61000 + static_cast<uid_t>(::getpid() % 3000);; ++candidate) {
    taken = "/tmp/vk605-" + std::to_string(candidate);
    if (::mkdir(taken.c_str(), 0700) == 0) {
      uid = candidate;
      break;
    }
    ASSERT_EQ(errno, EEXIST);
  }
  std::string runtime = directory_.File("runtime");
  ASSERT_EQ(::mkdir(runtime.c_str(), 0700), 0);
  ASSERT_EQ(::chown(runtime.c_str(), uid, uid), 0);
  ASSERT_EQ(::chmod(directory_.Path().c_str(), 0755), 0);
  auto as_user = [uid](const char* xdg, const std::function<int()>& body) {
    return testing::ExitCodeInChild([&] {
      if (xdg != nullptr) {
        ::setenv("XDG_RUNTIME_DIR", xdg, 1);
      } else {
        ::unsetenv("XDG_RUNTIME_DIR");
      }
      if (::setresgid(uid, uid, uid) != 0 || ::setresuid(uid, uid, uid) != 0) return 99;
      return body();
    });
  };
  auto lock_once = [] {
    NamedMutex mutex("UniCommMutex");
    if (!mutex.Lock()) return 1;
    mutex.Unlock();
    return 0;
  };
  EXPECT_EQ(as_user(nullptr, lock_once), std::optional<int>(1));
  EXPECT_EQ(as_user(runtime.c_str(), lock_once), std::optional<int>(0));
  EXPECT_TRUE(std::filesystem::exists(runtime + "/vk605/UniCommMutex.lock"));
  EXPECT_EQ(as_user(nullptr,
                    [] {
                      testing::EngineRig rig;
                      char text[kTextBufferSize] = {};
                      if (rig.Run(0, text) != 111u) return 1;
                      if (!rig.Written().empty()) return 2;
                      if (rig.state.Connected != 0 || rig.settings.Communications != 0) return 3;
                      char status[kTextBufferSize] = {};
                      if (rig.Run(2, status) != 111u || !rig.Written().empty()) return 4;
                      return 0;
                    }),
            std::optional<int>(0));
  EXPECT_TRUE(ReadDirectory(taken).empty());
  ::rmdir(taken.c_str());
}

}  // namespace
}  // namespace vk605
