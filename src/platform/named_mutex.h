#pragma once

#include <memory>
#include <string>

namespace vk605 {

// A system-wide mutex shared by every process that uses the same name. Recursive for the owning thread,
// like a Win32 mutex; a lock held by a process that dies is released by the system.
class NamedMutex {
 public:
  explicit NamedMutex(const std::string& name);
  ~NamedMutex();
  NamedMutex(const NamedMutex&) = delete;
  NamedMutex& operator=(const NamedMutex&) = delete;

  // Waits without a time limit; processes waiting for the same name are served in the order they asked.
  // Returns false, holding nothing, when the mutex could not be created (on POSIX: no private directory
  // for its lock file); callers that touch the instrument then refuse to.
  bool Lock();
  void Unlock();
  const std::string& Name() const { return name_; }

 private:
  struct Impl;
  std::string name_;
  std::unique_ptr<Impl> impl_;
};

// Holds a NamedMutex for one scope.
class NamedMutexLock {
 public:
  explicit NamedMutexLock(NamedMutex& mutex) : mutex_(mutex), locked_(mutex.Lock()) {}
  ~NamedMutexLock() {
    if (locked_) mutex_.Unlock();
  }
  NamedMutexLock(const NamedMutexLock&) = delete;
  NamedMutexLock& operator=(const NamedMutexLock&) = delete;
  bool Held() const { return locked_; }

 private:
  NamedMutex& mutex_;
  bool locked_;
};

}  // namespace vk605
