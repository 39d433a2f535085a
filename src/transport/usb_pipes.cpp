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

}  // namespace

int UsbPipes::CountDevices(std::uint32_t, std::uint32_t) {
  SetErrorText("Failed opening WinDriver device\n");
  return 0;
}

bool UsbPipes::Open(std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t) {
  SetErrorText("Failed opening WinDriver device\n");
  return false;
}

int UsbPipes::Transfer() {
  return -1;
}

int UsbPipes::PurgeTransmitBuffer(bool has_device) {
  return has_device ? Transfer() : 1;
}

int UsbPipes::GetDriverHandle(void* scan_record) {
  if (scan_record != nullptr) {
    std::int32_t invalid = -1;
    std::memcpy(scan_record, &invalid, sizeof(invalid));
  }
  std::fputs("Cannot open WinDriver device\n", stdout);
  return 0;
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
