#pragma once

#include <cstddef>

namespace vk605 {

// A thread started for a host, whose handle the host keeps: a real thread handle on Windows, an opaque
// handle elsewhere.
using HostThreadBody = unsigned long (*)(void* argument);

// Null when the thread cannot be started.
void* StartHostThread(HostThreadBody body, void* argument, std::size_t stack_size);
// Waits for the thread to end, then closes its handle. The result of closing the handle (nonzero = done).
int JoinAndCloseHostThread(void* handle);

}  // namespace vk605
