#include "leak_check.h"

#if defined(__SANITIZE_ADDRESS__)
#define VK605_LEAK_CHECK 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VK605_LEAK_CHECK 1
#endif
#endif

#if defined(VK605_LEAK_CHECK)
#include <sanitizer/lsan_interface.h>
#endif

namespace vk605::host {

bool FoundLeaks() {
#if defined(VK605_LEAK_CHECK)
  return __lsan_do_recoverable_leak_check() != 0;
#else
  return false;
#endif
}

}  // namespace vk605::host
