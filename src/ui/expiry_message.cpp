#include "ui/expiry_message.h"

#include "ui/driver_strings.h"

namespace vk605 {

void ExpiryMessage::ShowCalibrationExpired() {
  ui_.MessageBox(text::kCalibrationExpired, kDriverCaption, kMbOk | kMbIconExclamation);
}

}  // namespace vk605
