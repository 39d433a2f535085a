#include "platform/usb_bridge.h"

namespace vk605 {

namespace {

class NoUsbSystem final : public UsbSystem {
 public:
  UsbDriverStatus OpenDriver(std::unique_ptr<UsbDriver>& driver) override {
    driver.reset();
    return UsbDriverStatus::kCannotOpen;
  }
};

}  // namespace

UsbSystem& NoUsb() {
  static NoUsbSystem system;
  return system;
}

}  // namespace vk605
