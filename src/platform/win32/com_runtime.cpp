#include "platform/com_runtime.h"

#include <objbase.h>
#include <ole2.h>

namespace vk605 {

void InitializeComForThread() {
  (void)CoInitialize(nullptr);
}

bool InitializeOle() {
  return SUCCEEDED(OleInitialize(nullptr));
}

}  // namespace vk605
