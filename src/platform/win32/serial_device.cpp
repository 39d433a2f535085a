#include "platform/serial_device.h"

#include "platform/win32/serial_device_handle.h"
#include "platform/win32/unique_handle.h"
#include "platform/win32/windows_headers.h"

namespace vk605 {

namespace {

class Win32SerialDevices final : public SerialDevices {
 public:
  // The name goes to the system as it is ("COM1:"); no sharing, synchronous I/O.
  std::unique_ptr<SerialHandle> Open(const std::string& name) override {
    UniqueHandle handle(
        ::CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!handle.IsValid()) return nullptr;
    return std::make_unique<Win32SerialHandle>(std::move(handle));
  }
};

}  // namespace

SerialDevices& SystemSerialDevices() {
  static Win32SerialDevices devices;
  return devices;
}

}  // namespace vk605
