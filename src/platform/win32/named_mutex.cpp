#include "platform/named_mutex.h"

#include "platform/win32/unique_handle.h"

namespace vk605 {

struct NamedMutex::Impl {
  UniqueHandle mutex;
};

NamedMutex::NamedMutex(const std::string& name) : name_(name), impl_(std::make_unique<Impl>()) {
  impl_->mutex = UniqueHandle(::CreateMutexA(nullptr, FALSE, name_.empty() ? nullptr : name_.c_str()));
}

NamedMutex::~NamedMutex() = default;

bool NamedMutex::Lock() {
  if (!impl_->mutex.IsValid()) return false;
  DWORD result = ::WaitForSingleObject(impl_->mutex.Get(), INFINITE);
  // An abandoned mutex (its owner died holding it) is now ours.
  return result == WAIT_OBJECT_0 || result == WAIT_ABANDONED;
}

void NamedMutex::Unlock() {
  if (impl_->mutex.IsValid()) ::ReleaseMutex(impl_->mutex.Get());
}

}  // namespace vk605
