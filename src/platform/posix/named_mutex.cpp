#include "platform/named_mutex.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <map>
#include <mutex>
#include <thread>

#include "platform/posix/unique_fd.h"
#include "platform/posix/user_dirs.h"

namespace vk605 {

namespace {

// The lock of one name in this process: a lock file held with flock across processes and a mutex with an
// owner and a depth inside the process, so the owning thread may lock again as with a Win32 mutex. Every
// NamedMutex of the same name in a process shares one, as Win32 handles of one name share one kernel
// object. A lock held by a process that dies is released by the kernel when its descriptor closes.
struct SharedLock {
  ~SharedLock() {
    if (owner.load() == std::this_thread::get_id()) in_process.unlock();
  }

  pid_t process = ::getpid();
  UniqueFd file;
  std::mutex in_process;
  std::atomic<std::thread::id> owner{};
  int depth = 0;  // touched only by the owner
};

std::string LockFileName(const std::string& name) {
  std::string file_name = name;
  for (char& c : file_name) {
    bool allowed =
        (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '-';
    if (!allowed) c = '_';
  }
  return file_name + ".lock";
}

UniqueFd OpenLockFile(const std::string& name) {
  std::string directory = PrivateRuntimeDirectory();
  if (directory.empty()) return UniqueFd();
  std::string path = directory + "/" + LockFileName(name);
  return UniqueFd(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600));
}

void Flock(int fd, int operation) {
  while (::flock(fd, operation) != 0 && errno == EINTR) {
  }
}

// The shared locks by name. Every named NamedMutex reaches the table while it is constructed, so the
// table is complete before any of them and destroyed after all of them (a NamedMutex's destructor never
// uses it anyway). They are ordinary statics so that unloading the library frees them.
std::mutex& TableMutex() {
  static std::mutex mutex;
  return mutex;
}

std::map<std::string, std::weak_ptr<SharedLock>>& Table() {
  static std::map<std::string, std::weak_ptr<SharedLock>> table;
  return table;
}

std::shared_ptr<SharedLock> NewSharedLock(const std::string& name) {
  auto lock = std::make_shared<SharedLock>();
  lock->file = OpenLockFile(name);
  return lock;
}

std::shared_ptr<SharedLock> SharedLockFor(const std::string& name) {
  // An unnamed mutex is private to its object, as on Win32.
  if (name.empty()) return std::make_shared<SharedLock>();
  std::lock_guard<std::mutex> guard(TableMutex());
  std::weak_ptr<SharedLock>& slot = Table()[name];
  std::shared_ptr<SharedLock> lock = slot.lock();
  // After fork the inherited entry shares the parent's open lock file, which would make the child's lock
  // the parent's; the child opens its own.
  if (!lock || lock->process != ::getpid()) {
    lock = NewSharedLock(name);
    slot = lock;
  }
  return lock;
}

}  // namespace

struct NamedMutex::Impl {
  std::shared_ptr<SharedLock> Current(const std::string& name) {
    std::lock_guard<std::mutex> guard(mutex);
    if (shared->process != ::getpid()) shared = SharedLockFor(name);
    return shared;
  }

  std::mutex mutex;
  std::shared_ptr<SharedLock> shared;
};

NamedMutex::NamedMutex(const std::string& name) : name_(name), impl_(std::make_unique<Impl>()) {
  impl_->shared = SharedLockFor(name_);
}

NamedMutex::~NamedMutex() = default;

// Without a lock file (no private runtime directory) the mutex still serialises the threads of this
// process, so Lock reports success: the caller is never worse off than with an unserialised run.
bool NamedMutex::Lock() {
  std::shared_ptr<SharedLock> lock = impl_->Current(name_);
  if (lock->owner.load() == std::this_thread::get_id()) {
    ++lock->depth;
    return true;
  }
  lock->in_process.lock();
  lock->owner = std::this_thread::get_id();
  lock->depth = 1;
  if (lock->file.IsValid()) Flock(lock->file.Get(), LOCK_EX);
  return true;
}

void NamedMutex::Unlock() {
  std::shared_ptr<SharedLock> lock = impl_->Current(name_);
  // Only the owner releases, as ReleaseMutex fails for any other thread.
  if (lock->owner.load() != std::this_thread::get_id()) return;
  if (--lock->depth > 0) return;
  if (lock->file.IsValid()) Flock(lock->file.Get(), LOCK_UN);
  lock->owner = std::thread::id();
  lock->in_process.unlock();
}

}  // namespace vk605
