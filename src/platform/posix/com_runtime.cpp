#include "platform/com_runtime.h"

namespace vk605 {

// Profiling components on POSIX are shared libraries; there is no COM or OLE to start.
void InitializeComForThread() {}

bool InitializeOle() {
  return true;
}

}  // namespace vk605
