#include "api/usb_pipe_commands.h"

#include <atomic>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/host_thread.h"

namespace vk605 {
namespace {

using ReadFunction = int (*)(VK605UsbDevice*, void*, unsigned);
using HaltFunction = int (*)(VK605UsbDevice*);
using ProcessFunction = int (*)(const void*, unsigned, void*, char*);

constexpr std::size_t kListenStackSize = 4096;

std::atomic_ref<int> StopFlag(VK605ListenRecord* record) {
  return std::atomic_ref<int>(record->stop);
}

unsigned long RunListener(void* record) {
  return UsbPipeCommands::ListenHandler(static_cast<VK605ListenRecord*>(record));
}

constexpr std::size_t kEventStackSize = 4096;
constexpr unsigned kUsbBusType = 0xFFFFFFFE;

// One registration: the host's callback and context, the driver's watch, the event record the events
// are reported in and the event thread.
struct EventRegistration {
  VK605UsbEventCallback callback = nullptr;
  void* context = nullptr;
  std::unique_ptr<UsbEventWatch> watch;
  VK605UsbEvent record{};
  void* thread = nullptr;
};

std::atomic<unsigned> g_next_registration{1};

unsigned long RunEventThread(void* argument) {
  auto* registration = static_cast<EventRegistration*>(argument);
  static_assert(sizeof(VK605UsbEvent) == sizeof(UsbEventRecord));
  UsbDeviceEvent event;
  while (registration->watch->Wait(event)) {
    VK605UsbEvent record = registration->record;
    if (event.has_record) {
      std::memcpy(&record, event.record.data(), sizeof record);
    } else {
      record.action = event.action;
      record.vendor_id = event.vendor_id;
      record.product_id = event.product_id;
      record.unique_id = event.unique_id;
    }
    if (record.action != 0) registration->callback(&record, registration->context);
    // The driver gets the record back as the callback left it.
    if (event.has_record) std::memcpy(event.record.data(), &record, sizeof record);
    registration->watch->Reported(event);
  }
  return 0;
}

}  // namespace

int UsbPipeCommands::CountDevices(std::uint32_t vendor_id, std::uint32_t product_id) {
  return UsbPipes::CountDevices(system_, vendor_id, product_id);
}

VK605UsbDevice* UsbPipeCommands::Open(std::uint32_t unique_id, std::uint32_t configuration,
                                      std::uint32_t interface_number, std::uint32_t alternate) {
  std::unique_ptr<UsbPipeDevice> pipes =
      UsbPipes::Open(system_, unique_id, configuration, interface_number, alternate);
  if (pipes == nullptr) return nullptr;
  auto* device = new VK605UsbDevice;
  device->pipes = std::move(*pipes);
  return device;
}

void UsbPipeCommands::Close(VK605UsbDevice* device) {
  delete device;
}

void UsbPipeCommands::GetDeviceInfo(VK605UsbDevice* device, void* info) {
  if (device == nullptr || info == nullptr) return;
  std::memcpy(info, device->pipes.info.data(), device->pipes.info.size());
}

int UsbPipeCommands::GetDriverHandle(void* scan_record) {
  std::unique_ptr<UsbDriver> driver;
  bool open = UsbPipes::OpenDriver(system_, driver) == UsbDriverStatus::kOpen;
  // No export takes the driver handle back, so the record gets a token for it and the driver is closed
  // again at once.
  std::int32_t handle = open ? 1 : -1;
  if (scan_record != nullptr) std::memcpy(scan_record, &handle, sizeof(handle));
  return open ? 1 : 0;
}

unsigned UsbPipeCommands::TransferSize(VK605UsbDevice* device) {
  if (device == nullptr) return 0;
  std::uint32_t size = 0;
  std::memcpy(&size, device->pipes.info.data() + 7 * sizeof size, sizeof size);
  return size;
}

void* UsbPipeCommands::ListenToPipe(VK605ListenRecord* record) {
  if (record == nullptr) return nullptr;
  StopFlag(record).store(0);
  record->thread = StartHostThread(RunListener, record, kListenStackSize);
  return record->thread;
}

unsigned long UsbPipeCommands::ListenHandler(VK605ListenRecord* record) {
  if (record == nullptr || record->read_function == nullptr) return 0;
  auto read = reinterpret_cast<ReadFunction>(record->read_function);
  auto halt = reinterpret_cast<HaltFunction>(record->halt_function);
  auto process = reinterpret_cast<ProcessFunction>(record->process_function);
  std::vector<char> buffer(record->transfer_size > 0 ? record->transfer_size : 1);
  PipeReply reply;
  std::vector<char> text(UsbPipes::kTextSize);
  while (StopFlag(record).load() == 0) {
    int count = read(record->device, buffer.data(), static_cast<unsigned>(buffer.size()));
    if (StopFlag(record).load() != 0) break;
    if (count == -1) {
      std::fputs("Transfer failed\n", stdout);
      break;
    }
    if (process != nullptr && count > 0) {
      text[0] = '\0';
      process(buffer.data(), static_cast<unsigned>(count), record->process_context, text.data());
      text.back() = '\0';
      reply.AddTransfer(text.data());
    }
    if (reply.IsComplete()) {
      const std::string& complete = reply.Text();
      char* copy = new char[complete.size() + 1];
      std::memcpy(copy, complete.c_str(), complete.size() + 1);
      record->reply = copy;
      StopFlag(record).store(1);
      if (halt != nullptr) halt(record->device);
      break;
    }
  }
  return 0;
}

int UsbPipeCommands::CloseListening(VK605ListenRecord* record) {
  if (record == nullptr || record->thread == nullptr) return 0;
  StopFlag(record).store(1);
  if (record->halt_function != nullptr) reinterpret_cast<HaltFunction>(record->halt_function)(record->device);
  int closed = JoinAndCloseHostThread(record->thread);
  record->thread = nullptr;
  return closed;
}

int UsbPipeCommands::RegisterEvent(VK605UsbEventRegistration* record, std::uint32_t actions,
                                   std::uint32_t vendor_id, std::uint32_t product_id, std::uint32_t unique_id,
                                   VK605UsbEventCallback callback) {
  if (record == nullptr || callback == nullptr) return 0;
  std::unique_ptr<UsbDriver> driver;
  if (UsbPipes::OpenDriver(system_, driver) != UsbDriverStatus::kOpen || driver == nullptr) return 0;
  auto registration = std::make_unique<EventRegistration>();
  registration->watch = driver->WatchEvents(actions, vendor_id, product_id, unique_id);
  if (registration->watch == nullptr) return 0;
  registration->callback = callback;
  registration->context = record;
  registration->record.handle = g_next_registration.fetch_add(1);
  registration->record.bus_type = kUsbBusType;
  registration->record.vendor_id = vendor_id;
  registration->record.product_id = product_id;
  registration->record.unique_id = unique_id;
  registration->thread = StartHostThread(RunEventThread, registration.get(), kEventStackSize);
  if (registration->thread == nullptr) return 0;
  record->event = registration.release();
  return 1;
}

void UsbPipeCommands::UnregisterEvent(VK605UsbEventRegistration* record) {
  if (record == nullptr || record->event == nullptr) return;
  auto* registration = static_cast<EventRegistration*>(record->event);
  registration->watch->Stop();
  static_cast<void>(JoinAndCloseHostThread(registration->thread));
  delete registration;
  record->event = nullptr;
}

}  // namespace vk605
