#include "transport/usb_link.h"

#include <cstring>

#include "platform/named_mutex.h"

namespace vk605 {

namespace {

// The pipe mutexes are system-wide and live as long as the loaded library, like the handles other
// processes of the driver hold on the same names; the first channel creates them, read pipe first. Being
// complete before that channel, they are destroyed after it, and unloading the library frees them.
NamedMutex& ReadPipeMutex() {
  static NamedMutex mutex("USBReadPipeMutex");
  return mutex;
}

NamedMutex& WritePipeMutex() {
  static NamedMutex mutex("USBWritePipeMutex");
  return mutex;
}

constexpr const char* kNoDevice = "The handle to the device is NULL.";

// The bridge is reached through its vendor's kernel driver, which this product does not ship: a scan
// finds no device. A device backend answers here once there is one; until then no device is ever open,
// so the writes and reads below end at their no-device checks.
bool FindUsbDevice(std::uint32_t /*product_id*/) {
  return false;
}

}  // namespace

UsbLink::UsbLink(SerialDevices& devices, Clock& clock, DiagnosticsLog& log)
    : SerialPort(devices, clock), log_(log) {
  ReadPipeMutex();
  WritePipeMutex();
  SetTerminator(">");
}

int UsbLink::OpenUsb(std::uint32_t product_id) {
  product_id_ = product_id;
  if (!FindUsbDevice(product_id_)) {
    log_.LogLine("Failed to open USB connection");
    return 31;
  }
  return 0;
}

int UsbLink::CloseUsb() {
  return 0;
}

// The pipe mutexes are taken crossed, the write under the read pipe's name and the read under the write
// pipe's: every process of the driver takes them so, which is what keeps them apart.
int UsbLink::WriteUsb(const char* /*text*/) {
  NamedMutexLock lock(ReadPipeMutex());
  log_.LogLine(kNoDevice);
  return 2;
}

int UsbLink::ReadUsb(char* buffer) {
  NamedMutexLock lock(WritePipeMutex());
  std::memset(buffer, 0, kReplyBufferSize);
  log_.LogLine(kNoDevice);
  return 2;
}

}  // namespace vk605
