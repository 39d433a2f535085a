#pragma once

#include "settings/calibration_validity.h"
#include "ui/user_interface.h"

namespace vk605 {

// Tells the user that the calibration expired: OK button, exclamation icon, caption "VK605".
class ExpiryMessage : public ExpiryNotifier {
 public:
  explicit ExpiryMessage(UserInterface& ui) : ui_(ui) {}
  void ShowCalibrationExpired() override;

 private:
  UserInterface& ui_;
};

}  // namespace vk605
