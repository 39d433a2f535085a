#include "api/profiling_adapters.h"

namespace vk605 {

void UiProfilingAlerts::ShowComponentError(const std::string& text) {
  ui_.MessageBox(text, kDriverCaption, kMbOk | kMbIconExclamation);
}

}  // namespace vk605
