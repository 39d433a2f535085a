#include "platform/host_thread.h"

#include "platform/win32/windows_headers.h"

namespace vk605 {

namespace {

struct Start {
  HostThreadBody body;
  void* argument;
};

DWORD WINAPI Run(LPVOID parameter) {
  Start start = *static_cast<Start*>(parameter);
  delete static_cast<Start*>(parameter);
  return static_cast<DWORD>(start.body(start.argument));
}

}  // namespace

void* StartHostThread(HostThreadBody body, void* argument, std::size_t stack_size) {
  auto* start = new Start{body, argument};
  HANDLE thread = ::CreateThread(nullptr, stack_size, Run, start, 0, nullptr);
  if (thread == nullptr) delete start;
  return thread;
}

int JoinAndCloseHostThread(void* handle) {
  if (handle == nullptr) return 0;
  ::WaitForSingleObject(static_cast<HANDLE>(handle), INFINITE);
  return ::CloseHandle(static_cast<HANDLE>(handle)) ? 1 : 0;
}

}  // namespace vk605
