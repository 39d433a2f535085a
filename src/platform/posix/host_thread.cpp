#include "platform/host_thread.h"

#include <system_error>
#include <thread>

namespace vk605 {

// The stack size is the system's: a thread with the 4096 bytes a Windows host asks for could not run.
void* StartHostThread(HostThreadBody body, void* argument, std::size_t) {
  try {
    return new std::thread([body, argument] { body(argument); });
  } catch (const std::system_error&) {
    return nullptr;
  }
}

int JoinAndCloseHostThread(void* handle) {
  auto* thread = static_cast<std::thread*>(handle);
  if (thread == nullptr) return 0;
  if (thread->joinable()) thread->join();
  delete thread;
  return 1;
}

}  // namespace vk605
