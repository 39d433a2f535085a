#pragma once

#include "platform/serial_device.h"

namespace vk605::testing {

// Serial devices of a machine without any: every open fails.
class NullSerialDevices : public SerialDevices {
 public:
  std::unique_ptr<SerialHandle> Open(const std::string&) override {
    ++opens;
    return nullptr;
  }
  int opens = 0;
};

}  // namespace vk605::testing
