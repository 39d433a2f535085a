#include "api/usb_pipe_commands.h"

#include <cstdio>
#include <cstring>
#include <thread>
#include <vector>

#include "transport/usb_pipes.h"

namespace vk605 {
namespace {

using ReadFunction = int (*)(VK605UsbDevice*, void*, unsigned);
using HaltFunction = int (*)(VK605UsbDevice*);
using ProcessFunction = int (*)(const void*, unsigned, void*, char*);

}  // namespace

int UsbPipeCommands::CountDevices(std::uint32_t vendor_id, std::uint32_t product_id) {
  return UsbPipes::CountDevices(vendor_id, product_id);
}

VK605UsbDevice* UsbPipeCommands::Open(std::uint32_t unique_id, std::uint32_t configuration,
                                      std::uint32_t interface_number, std::uint32_t alternate) {
  // Without the kernel driver no device opens, so there is never a device object to hand out; the
  // attempt leaves its failure in the error text.
  static_cast<void>(UsbPipes::Open(unique_id, configuration, interface_number, alternate));
  return nullptr;
}

void UsbPipeCommands::Close(VK605UsbDevice*) {}

int UsbPipeCommands::Transfer(VK605UsbDevice*) {
  return UsbPipes::Transfer();
}

int UsbPipeCommands::PurgeTransmitBuffer(VK605UsbDevice* device) {
  return UsbPipes::PurgeTransmitBuffer(device != nullptr);
}

int UsbPipeCommands::GetDriverHandle(void* scan_record) {
  return UsbPipes::GetDriverHandle(scan_record);
}

void* UsbPipeCommands::ListenToPipe(VK605ListenRecord* record) {
  if (record == nullptr) return nullptr;
  record->stop = 0;
  try {
    record->thread = new std::thread([record] { ListenHandler(record); });
  } catch (...) {
    record->thread = nullptr;
  }
  return record->thread;
}

unsigned long UsbPipeCommands::ListenHandler(VK605ListenRecord* record) {
  if (record == nullptr || record->read_function == nullptr) return 0;
  auto read = reinterpret_cast<ReadFunction>(record->read_function);
  auto halt = reinterpret_cast<HaltFunction>(record->halt_function);
  auto process = reinterpret_cast<ProcessFunction>(record->process_function);
  std::vector<char> buffer(record->transfer_size > 0 ? record->transfer_size : 1);
  PipeReply reply;
  char text[UsbPipes::kTextSize];
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
      reply.AddTransfer(text);
    }
    if (reply.IsComplete()) {
      const std::string& complete = reply.Text();
      char* copy = new char[complete.size() + 1];
      std::memcpy(copy, complete.c_str(), complete.size() + 1);
      record->reply = copy;
      record->stop = 1;
      if (halt != nullptr) halt(record->device);
      break;
    }
  }
  return 0;
}

int UsbPipeCommands::CloseListening(VK605ListenRecord* record) {
  if (record == nullptr || record->thread == nullptr) return 0;
  record->stop = 1;
  if (record->halt_function != nullptr) reinterpret_cast<HaltFunction>(record->halt_function)(record->device);
  auto* worker = static_cast<std::thread*>(record->thread);
  if (worker->joinable()) worker->join();
  delete worker;
  record->thread = nullptr;
  return 1;
}

int UsbPipeCommands::ProcessData(const void* data, unsigned count, char* text) {
  return UsbPipes::ProcessData(data, count, text);
}

}  // namespace vk605
