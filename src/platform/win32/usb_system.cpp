#include <atomic>

#include "platform/usb_bridge.h"
#include "platform/win32/windows_headers.h"
#include "platform/windriver_usb.h"

namespace vk605 {

namespace {

class Win32WinDriverDevice final : public WinDriverDevice {
 public:
  void* Open() override {
    HANDLE handle = ::CreateFileA("\\\\.\\WINDRVR", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
      error_ = static_cast<long>(::GetLastError());
      return nullptr;
    }
    return handle;
  }
  void Close(void* handle) override { ::CloseHandle(static_cast<HANDLE>(handle)); }
  bool Control(void* handle, std::uint32_t code, void* record, std::uint32_t size) override {
    DWORD returned = 0;
    if (::DeviceIoControl(static_cast<HANDLE>(handle), code, record, size, nullptr, 0, &returned, nullptr)) {
      return true;
    }
    error_ = static_cast<long>(::GetLastError());
    return false;
  }
  long LastError() override { return error_; }

 private:
  // One for the process: a report may name another thread's failure.
  std::atomic<long> error_{0};
};

}  // namespace

// The bridge through its maker's kernel driver; without that driver installed nothing opens.
UsbSystem& SystemUsb() {
  static Win32WinDriverDevice device;
  static std::unique_ptr<UsbSystem> system = MakeWinDriverUsb(device);
  return *system;
}

}  // namespace vk605
