#include "transport/usb_pipes.h"

#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>

namespace vk605 {
namespace {

std::mutex g_error_mutex;
std::string g_error_text;

void SetErrorText(const char* text) {
  std::lock_guard<std::mutex> lock(g_error_mutex);
  g_error_text = text;
}

// Driver texts of a failed open, as the bridge library reports them in its error text.
const char* ErrorTextOf(UsbDriverStatus status) {
  return status == UsbDriverStatus::kWrongVersion ? "Incorrect WinDriver version\n"
                                                  : "Failed opening WinDriver device\n";
}

bool CanTransfer(const UsbPipeDevice* device) {
  return device != nullptr && device->handle != nullptr;
}

int TransferResult(long count) {
  return count < 0 ? -1 : static_cast<int>(count);
}

}  // namespace

UsbDriverStatus UsbPipes::OpenDriver(UsbSystem& system, std::unique_ptr<UsbDriver>& driver) {
  driver.reset();
  UsbDriverStatus status = system.OpenDriver(driver);
  if (status == UsbDriverStatus::kCannotOpen) std::fputs("Cannot open WinDriver device\n", stdout);
  if (status == UsbDriverStatus::kWrongVersion) std::fputs("Error - incorrect WinDriver version\n", stdout);
  if (status != UsbDriverStatus::kOpen) driver.reset();
  return status;
}

int UsbPipes::CountDevices(UsbSystem& system, std::uint32_t vendor_id, std::uint32_t product_id) {
  std::unique_ptr<UsbDriver> driver;
  UsbDriverStatus status = system.OpenDriver(driver);
  if (status != UsbDriverStatus::kOpen || driver == nullptr) {
    SetErrorText(ErrorTextOf(status));
    return 0;
  }
  std::size_t count = driver->Scan(vendor_id, product_id).size();
  if (count == 0) SetErrorText("No devices found\n");
  return static_cast<int>(count);
}

std::unique_ptr<UsbPipeDevice> UsbPipes::Open(UsbSystem& system, std::uint32_t unique_id,
                                              std::uint32_t configuration, std::uint32_t interface_number,
                                              std::uint32_t alternate, UsbError* why) {
  auto device = std::make_unique<UsbPipeDevice>();
  UsbDriverStatus status = system.OpenDriver(device->driver);
  if (status != UsbDriverStatus::kOpen || device->driver == nullptr) {
    SetErrorText(ErrorTextOf(status));
    return nullptr;
  }
  device->handle =
      device->driver->OpenDevice(unique_id, configuration, interface_number, alternate, device->info);
  if (device->handle == nullptr) {
    if (why != nullptr) *why = device->driver->LastError();
    SetErrorText("Could not open device\n");
    return nullptr;
  }
  return device;
}

int UsbPipes::ReadPipe00(UsbPipeDevice* device, void* buffer, std::size_t size, const std::uint8_t* setup) {
  if (!CanTransfer(device) || setup == nullptr || (size > 0 && buffer == nullptr)) return -1;
  return TransferResult(
      device->handle->Transfer(kControlPipe, true, buffer, size, kReadPipe00TimeoutMs, setup));
}

int UsbPipes::WritePipe00(UsbPipeDevice* device, void* buffer, std::size_t size, const std::uint8_t* setup) {
  if (!CanTransfer(device) || setup == nullptr || (size > 0 && buffer == nullptr)) return -1;
  return TransferResult(
      device->handle->Transfer(kControlPipe, false, buffer, size, kWritePipe00TimeoutMs, setup));
}

int UsbPipes::ReadPipe82(UsbPipeDevice* device, void* buffer, std::size_t size) {
  if (!CanTransfer(device) || buffer == nullptr) return -1;
  return TransferResult(
      device->handle->Transfer(kBulkInPipe, true, buffer, size, kReadPipe82TimeoutMs, nullptr));
}

int UsbPipes::WritePipe02(UsbPipeDevice* device, const void* buffer, std::size_t size) {
  if (!CanTransfer(device) || buffer == nullptr) return -1;
  // The request record has one buffer for both directions; an OUT transfer only reads it.
  return TransferResult(device->handle->Transfer(kBulkOutPipe, false, const_cast<void*>(buffer), size,
                                                 kWritePipe02TimeoutMs, nullptr));
}

int UsbPipes::StopTransfer(UsbPipeDevice* device, std::uint32_t pipe) {
  if (!CanTransfer(device)) return 0;
  return device->handle->Halt(pipe);
}

int UsbPipes::ResetPipe(UsbPipeDevice* device, std::uint32_t pipe) {
  if (!CanTransfer(device)) return -1;
  return device->handle->ResetPipe(pipe) ? 1 : -1;
}

int UsbPipes::ResetDevice(UsbPipeDevice* device) {
  if (!CanTransfer(device)) return 0;
  return device->handle->ResetDevice();
}

int UsbPipes::PurgeTransmitBuffer(UsbPipeDevice* device) {
  if (device == nullptr) return 1;
  // Reset request, value 2: the bridge empties its transmit buffer.
  const std::uint8_t setup[8] = {0x40, 0x00, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00};
  static_cast<void>(WritePipe00(device, nullptr, 0, setup));
  return 0;
}

UsbError UsbPipes::LastError(const UsbPipeDevice* device) {
  if (!CanTransfer(device)) return UsbError{};
  return device->handle->LastError();
}

int UsbPipes::ProcessData(const void* data, unsigned count, char* text) {
  if (count == 0) return 0;
  if (text == nullptr || data == nullptr) return 1;
  std::size_t length = count < kTextSize ? count : kTextSize - 1;
  const char* bytes = static_cast<const char*>(data);
  std::size_t i = 0;
  for (; i < length && bytes[i] != '\0'; ++i) text[i] = bytes[i];
  text[i] = '\0';
  return 1;
}

std::string UsbPipes::ErrorText() {
  std::lock_guard<std::mutex> lock(g_error_mutex);
  return g_error_text;
}

void PipeReply::AddTransfer(const char* text) {
  // The bridge puts two status bytes in front of every transfer.
  if (std::strlen(text) > 2) text_.append(text + 2);
}

}  // namespace vk605
