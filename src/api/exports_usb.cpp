// The FT8U100AX USB pipe library.
#include "api/runtime.h"
#include "api/usb_pipe_commands.h"
#include "platform/usb_bridge.h"
#include "vk605/vk605.h"

using namespace vk605;

namespace {

UsbPipeCommands Pipes() {
  return UsbPipeCommands(SystemUsb());
}

UsbPipeDevice* P(VK605UsbDevice* device) {
  return UsbPipeCommands::Pipes(device);
}

}  // namespace

extern "C" {

int VK605_CALL FT8U100AX_CountDevices(unsigned int vendor_id, unsigned int product_id) {
  return Guarded(0, [&] { return Pipes().CountDevices(vendor_id, product_id); });
}
VK605UsbDevice* VK605_CALL FT8U100AX_Open(unsigned int unique_id, unsigned int configuration,
                                          unsigned int interface_number, unsigned int alternate) {
  return Guarded<VK605UsbDevice*>(
      nullptr, [&] { return Pipes().Open(unique_id, configuration, interface_number, alternate); });
}
void VK605_CALL FT8U100AX_Close(VK605UsbDevice* device) {
  UsbPipeCommands::Close(device);
}
void VK605_CALL FT8U100AX_GetDeviceInfo(VK605UsbDevice* device, void* info644) {
  UsbPipeCommands::GetDeviceInfo(device, info644);
}
int VK605_CALL FT8U100AX_ResetPipe(VK605UsbDevice* device, unsigned int pipe) {
  return Guarded(-1, [&] { return UsbPipes::ResetPipe(P(device), pipe); });
}
int VK605_CALL FT8U100AX_ResetDevice(VK605UsbDevice* device) {
  return Guarded(0, [&] { return UsbPipes::ResetDevice(P(device)); });
}
int VK605_CALL FT8U100AX_ReadPipe00(VK605UsbDevice* device, void* buffer, unsigned int size,
                                    const unsigned char* setup) {
  return Guarded(-1, [&] { return UsbPipes::ReadPipe00(P(device), buffer, size, setup); });
}
int VK605_CALL FT8U100AX_WritePipe00(VK605UsbDevice* device, void* buffer, unsigned int size,
                                     const unsigned char* setup) {
  return Guarded(-1, [&] { return UsbPipes::WritePipe00(P(device), buffer, size, setup); });
}
int VK605_CALL FT8U100AX_ReadPipe82(VK605UsbDevice* device, void* buffer, unsigned int size) {
  return Guarded(-1, [&] { return UsbPipes::ReadPipe82(P(device), buffer, size); });
}
int VK605_CALL FT8U100AX_WritePipe02(VK605UsbDevice* device, const void* buffer, unsigned int size) {
  return Guarded(-1, [&] { return UsbPipes::WritePipe02(P(device), buffer, size); });
}
int VK605_CALL FT8U100AX_StopTransferPipe00(VK605UsbDevice* device) {
  return Guarded(0, [&] { return UsbPipes::StopTransfer(P(device), kControlPipe); });
}
int VK605_CALL FT8U100AX_StopTransferPipe82(VK605UsbDevice* device) {
  return Guarded(0, [&] { return UsbPipes::StopTransfer(P(device), kBulkInPipe); });
}
int VK605_CALL FT8U100AX_StopTransferPipe02(VK605UsbDevice* device) {
  return Guarded(0, [&] { return UsbPipes::StopTransfer(P(device), kBulkOutPipe); });
}
int VK605_CALL FT8U100AX_PurgeTransmitBuffer(VK605UsbDevice* device) {
  return Guarded(1, [&] { return UsbPipes::PurgeTransmitBuffer(P(device)); });
}

void* VK605_CALL FT8U100AX_ListenPipe(VK605UsbDevice* device, VK605ListenRecord* record) {
  if (record == nullptr) return nullptr;
  *record = VK605ListenRecord{};
  record->read_function = reinterpret_cast<void*>(&FT8U100AX_ReadPipe82);
  record->halt_function = reinterpret_cast<void*>(&FT8U100AX_StopTransferPipe82);
  record->process_function = reinterpret_cast<void*>(&FT8U100AX_ProcessData);
  record->device = device;
  record->transfer_size = UsbPipeCommands::TransferSize(device);
  return Guarded<void*>(nullptr, [&] { return UsbPipeCommands::ListenToPipe(record); });
}
int VK605_CALL FT8U100AX_ProcessData(const void* data, unsigned int count, void*, char* text) {
  return UsbPipes::ProcessData(data, count, text);
}
int VK605_CALL FT8U100AX_RegisterEvent(void* event_record, unsigned int actions, unsigned int vendor_id,
                                       unsigned int product_id, unsigned int unique_id, void* callback) {
  return Guarded(0, [&] {
    return Pipes().RegisterEvent(static_cast<VK605UsbEventRegistration*>(event_record), actions, vendor_id,
                                 product_id, unique_id, reinterpret_cast<VK605UsbEventCallback>(callback));
  });
}
void VK605_CALL FT8U100AX_UnregisterEvent(void* event_record) {
  UsbPipeCommands::UnregisterEvent(static_cast<VK605UsbEventRegistration*>(event_record));
}
void* VK605_CALL ListenToPipe(VK605ListenRecord* record) {
  return Guarded<void*>(nullptr, [&] { return UsbPipeCommands::ListenToPipe(record); });
}
unsigned long VK605_CALL PipeListenHandler(void* record) {
  return UsbPipeCommands::ListenHandler(static_cast<VK605ListenRecord*>(record));
}
int VK605_CALL CloseListening(VK605ListenRecord* record) {
  return Guarded(0, [&] { return UsbPipeCommands::CloseListening(record); });
}
int VK605_CALL USB_Get_WD_handle(void* scan_record) {
  return Guarded(0, [&] { return Pipes().GetDriverHandle(scan_record); });
}

}  // extern "C"
