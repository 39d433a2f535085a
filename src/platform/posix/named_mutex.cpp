#include "platform/named_mutex.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/posix/unique_fd.h"
#include "platform/posix/user_dirs.h"

namespace vk605 {

namespace {

// The lock of one name in this process: a lock file held with flock across processes and a mutex with an
// owner and a depth inside the process, so the owning thread may lock again as with a Win32 mutex. Every
// NamedMutex of the same name in a process shares one, as Win32 handles of one name share one kernel
// object. A lock held by a process that dies is released by the kernel when its descriptor closes.
//
// flock alone serves waiters in no order: a process that releases and asks again at once is served again
// before processes that have waited for seconds. So the processes queue first, with tickets: the queue
// directory beside the lock file holds a ticket counter (its flock guards taking a ticket) and one file
// per waiting or owning process, named by its ticket and locked by it until it releases. A process owns
// the mutex once no file of a lower ticket is still locked; until then it sleeps in a shared flock on the
// highest such file. A process that dies waiting or owning drops out because the kernel releases its
// locks; its file is removed by the next process that finds it unlocked.
struct SharedLock {
  ~SharedLock() {
    if (owner.load() == std::this_thread::get_id()) in_process.unlock();
  }

  pid_t process = ::getpid();
  UniqueFd file;
  std::string queue;  // the queue directory, empty without a lock file
  UniqueFd counter;
  std::mutex in_process;
  std::atomic<std::thread::id> owner{};
  int depth = 0;         // touched only by the owner
  UniqueFd ticket_file;  // the owner's queue entry
  std::string ticket_path;
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

std::string LockPath(const std::string& name) {
  std::string directory = PrivateRuntimeDirectory();
  return directory.empty() ? std::string() : directory + "/" + LockFileName(name);
}

UniqueFd OpenPrivateFile(const std::string& path) {
  return UniqueFd(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600));
}

void Flock(int fd, int operation) {
  while (::flock(fd, operation) != 0 && errno == EINTR) {
  }
}

// Tickets as fixed-width decimal names, so the order of the names is the order of the tickets.
std::string TicketName(std::uint64_t ticket) {
  char name[32];
  std::snprintf(name, sizeof name, "%020llu", static_cast<unsigned long long>(ticket));
  return name;
}

bool ParseTicket(const char* name, std::uint64_t& ticket) {
  std::size_t length = 0;
  ticket = 0;
  for (; name[length] != '\0'; ++length) {
    if (name[length] < '0' || name[length] > '9' || length >= 20) return false;
    ticket = ticket * 10 + static_cast<std::uint64_t>(name[length] - '0');
  }
  return length == 20;
}

// Takes the next ticket and creates its entry, locked, while the counter's flock keeps every other
// process out: all entries of lower tickets exist and are locked before a higher ticket is handed out.
bool TakeTicket(SharedLock& lock, std::uint64_t& ticket) {
  int counter = lock.counter.Get();
  Flock(counter, LOCK_EX);
  char text[32] = {};
  ssize_t length = ::pread(counter, text, sizeof text - 1, 0);
  ticket = 0;
  if (length > 0) {
    text[length] = '\0';
    ticket = std::strtoull(text, nullptr, 10);
  }
  bool taken = false;
  for (int attempt = 0; attempt < 2 && !taken; ++attempt) {
    std::string path = lock.queue + "/" + TicketName(ticket);
    UniqueFd entry(::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600));
    if (!entry.IsValid()) {
      // Left behind with this number (the counter file was replaced): no one can wait for it any more.
      if (errno == EEXIST) ::unlink(path.c_str());
      continue;
    }
    taken = ::flock(entry.Get(), LOCK_EX | LOCK_NB) == 0;
    if (!taken) {
      ::unlink(path.c_str());
      break;
    }
    lock.ticket_file = std::move(entry);
    lock.ticket_path = path;
  }
  if (taken) {
    std::string next = std::to_string(ticket + 1);
    taken = ::ftruncate(counter, 0) == 0 &&
            ::pwrite(counter, next.data(), next.size(), 0) == static_cast<ssize_t>(next.size());
    if (!taken) {
      ::unlink(lock.ticket_path.c_str());
      lock.ticket_file.Reset();
    }
  }
  Flock(counter, LOCK_UN);
  return taken;
}

// The tickets below ticket that have an entry in the queue, highest first.
std::vector<std::uint64_t> EarlierTickets(const std::string& queue, std::uint64_t ticket) {
  std::vector<std::uint64_t> earlier;
  DIR* directory = ::opendir(queue.c_str());
  if (directory == nullptr) return earlier;
  while (struct dirent* entry = ::readdir(directory)) {
    std::uint64_t other = 0;
    if (ParseTicket(entry->d_name, other) && other < ticket) earlier.push_back(other);
  }
  ::closedir(directory);
  std::sort(earlier.rbegin(), earlier.rend());
  return earlier;
}

// Sleeps until every process with a lower ticket has released or died.
void WaitForEarlierTickets(const std::string& queue, std::uint64_t ticket) {
  for (;;) {
    bool waited = false;
    for (std::uint64_t other : EarlierTickets(queue, ticket)) {
      std::string path = queue + "/" + TicketName(other);
      UniqueFd entry(::open(path.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW));
      if (!entry.IsValid()) continue;
      if (::flock(entry.Get(), LOCK_SH | LOCK_NB) == 0) {
        // No process holds it: released, or its process died.
        ::unlink(path.c_str());
        continue;
      }
      Flock(entry.Get(), LOCK_SH);
      waited = true;
      break;
    }
    if (!waited) return;
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
  std::string path = LockPath(name);
  if (path.empty()) return lock;
  std::string queue = path.substr(0, path.size() - std::string(".lock").size()) + ".queue";
  struct stat status {};
  if (::mkdir(queue.c_str(), 0700) != 0 && errno != EEXIST) return lock;
  if (::lstat(queue.c_str(), &status) != 0 || !S_ISDIR(status.st_mode) || status.st_uid != ::geteuid()) {
    return lock;
  }
  UniqueFd counter = OpenPrivateFile(queue + "/ticket");
  UniqueFd file = OpenPrivateFile(path);
  if (!counter.IsValid() || !file.IsValid()) return lock;
  lock->file = std::move(file);
  lock->counter = std::move(counter);
  lock->queue = queue;
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

// Without a lock file (no private directory for it) nothing is locked and Lock reports failure: running
// on as if serialised could put two processes' exchanges on the instrument at once.
bool NamedMutex::Lock() {
  std::shared_ptr<SharedLock> lock = impl_->Current(name_);
  if (!lock->file.IsValid()) return false;
  if (lock->owner.load() == std::this_thread::get_id()) {
    ++lock->depth;
    return true;
  }
  lock->in_process.lock();
  lock->owner = std::this_thread::get_id();
  lock->depth = 1;
  std::uint64_t ticket = 0;
  if (TakeTicket(*lock, ticket)) WaitForEarlierTickets(lock->queue, ticket);
  // Also taken by a process without a queue entry (its ticket could not be written), which then waits
  // in no particular order but still alone.
  Flock(lock->file.Get(), LOCK_EX);
  return true;
}

void NamedMutex::Unlock() {
  std::shared_ptr<SharedLock> lock = impl_->Current(name_);
  // Only the owner releases, as ReleaseMutex fails for any other thread.
  if (lock->owner.load() != std::this_thread::get_id()) return;
  if (--lock->depth > 0) return;
  Flock(lock->file.Get(), LOCK_UN);
  if (lock->ticket_file.IsValid()) {
    ::unlink(lock->ticket_path.c_str());
    // Explicitly, so a child forked meanwhile (which shares the descriptor) does not keep it locked.
    Flock(lock->ticket_file.Get(), LOCK_UN);
    lock->ticket_file.Reset();
  }
  lock->owner = std::thread::id();
  lock->in_process.unlock();
}

}  // namespace vk605
