#include "transport/usb_pipes.h"

#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace vk605 {
namespace {

std::mutex g_error_mutex;
std::string g_error_text;

void SetErrorText(const char* text) {
  std::lock_guard<std::mutex> lock(g_error_mutex);
  g_error_text = text;
}

using ReadFunction = int (*)(VK605UsbDevice*, void*, unsigned);
using HaltFunction = int (*)(VK605UsbDevice*);
using ProcessFunction = int (*)(const void*, unsigned, void*, char*);

constexpr std::size_t kTextSize = 8192;

}  // namespace

int UsbPipes::CountDevices(std::uint32_t, std::uint32_t) {
  SetErrorText("Failed opening WinDriver device\n");
  return 0;
}

VK605UsbDevice* UsbPipes::Open(std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t) {
  SetErrorText("Failed opening WinDriver device\n");
  return nullptr;
}

void UsbPipes::Close(VK605UsbDevice*) {}

int UsbPipes::Transfer(VK605UsbDevice*) {
  return -1;
}

int UsbPipes::PurgeTransmitBuffer(VK605UsbDevice* device) {
  return device == nullptr ? 1 : Transfer(device);
}

int UsbPipes::GetDriverHandle(void* scan_record) {
  if (scan_record != nullptr) {
    std::int32_t invalid = -1;
    std::memcpy(scan_record, &invalid, sizeof(invalid));
  }
  std::fputs("Cannot open WinDriver device\n", stdout);
  return 0;
}

void* UsbPipes::ListenToPipe(VK605ListenRecord* record) {
  if (record == nullptr) return nullptr;
  record->stop = 0;
  try {
    record->thread = new std::thread([record] { ListenHandler(record); });
  } catch (...) {
    record->thread = nullptr;
  }
  return record->thread;
}

unsigned long UsbPipes::ListenHandler(VK605ListenRecord* record) {
  if (record == nullptr || record->read_function == nullptr) return 0;
  auto read = reinterpret_cast<ReadFunction>(record->read_function);
  auto halt = reinterpret_cast<HaltFunction>(record->halt_function);
  auto process = reinterpret_cast<ProcessFunction>(record->process_function);
  std::vector<char> buffer(record->transfer_size > 0 ? record->transfer_size : 1);
  std::string reply;
  char text[kTextSize];
  while (record->stop == 0) {
    int count = read(record->device, buffer.data(), static_cast<unsigned>(buffer.size()));
    if (record->stop != 0) break;
    if (count == -1) {
      std::fputs("Transfer failed\n", stdout);
      break;
    }
    if (process != nullptr && count > 0) {
      text[0] = '\0';
      process(buffer.data(), static_cast<unsigned>(count), record->process_context, text);
      // The bridge puts two status bytes in front of every transfer.
      if (std::strlen(text) > 2) reply.append(text + 2);
    }
    if (!reply.empty() && reply.back() == '>') {
      char* copy = new char[reply.size() + 1];
      std::memcpy(copy, reply.c_str(), reply.size() + 1);
      record->reply = copy;
      record->stop = 1;
      if (halt != nullptr) halt(record->device);
      break;
    }
  }
  return 0;
}

int UsbPipes::CloseListening(VK605ListenRecord* record) {
  if (record == nullptr || record->thread == nullptr) return 0;
  record->stop = 1;
  if (record->halt_function != nullptr) reinterpret_cast<HaltFunction>(record->halt_function)(record->device);
  auto* worker = static_cast<std::thread*>(record->thread);
  if (worker->joinable()) worker->join();
  delete worker;
  record->thread = nullptr;
  return 1;
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

}  // namespace vk605
