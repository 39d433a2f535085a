#include "transport/usb_link.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>

#include "platform/named_mutex.h"

namespace vk605 {

namespace {

// The pipe mutexes are system-wide and live as long as the loaded library, like the handles other
// processes of the driver hold on the same names; the first link creates them, read pipe first. Being
// complete before that link, they are destroyed after it, and unloading the library frees them.
NamedMutex& ReadPipeMutex() {
  static NamedMutex mutex("USBReadPipeMutex");
  return mutex;
}

NamedMutex& WritePipeMutex() {
  static NamedMutex mutex("USBWritePipeMutex");
  return mutex;
}

constexpr const char* kNoDevice = "The handle to the device is NULL.";
constexpr std::string_view kUnknownCommand = "ERROR:  unknown command\n>";
constexpr int kAttempts = 3;
// Every IN transfer begins with the bridge's two status bytes.
constexpr std::size_t kStatusBytes = 2;
constexpr std::size_t kTransferSize = 8192;
// The pause after a failed bulk-in transfer before the next one.
constexpr std::uint32_t kFailedReadPauseMs = 10;
// The last 32-bit word of a scan entry marks a device that can be used.
constexpr std::uint32_t kUsableMark = 0xFFFFFFFF;

std::uint32_t LastWord(const UsbScanEntry& entry) {
  std::uint32_t word = 0;
  std::memcpy(&word, entry.info.data() + entry.info.size() - sizeof word, sizeof word);
  return word;
}

// Vendor requests of the configuration sequence on the control pipe; none has a data stage.
struct VendorRequest {
  std::uint8_t setup[8];
  const char* failure;
};
constexpr VendorRequest kPurgeReceive = {{0x40, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00},
                                         "Unable to Purge Receive Buffer"};
constexpr VendorRequest kPurgeTransmit = {{0x40, 0x00, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00},
                                          "Unable to Purge Transmit Buffer"};
// Baud-rate code 7 is 38400 baud in the bridge's table; the serial baud rate setting is not used here.
constexpr VendorRequest kBaudRate = {{0x40, 0x03, 0x07, 0x00, 0x00, 0x00, 0x00, 0x00},
                                     "Unable to Set Baud Rate"};
// 8 data bits, no parity, one stop bit.
constexpr VendorRequest kLineCharacteristics = {{0x40, 0x04, 0x08, 0x00, 0x00, 0x00, 0x00, 0x00},
                                                "Unable to set RTS/DTR"};
// RTS/CTS handshaking.
constexpr VendorRequest kFlowControl = {{0x40, 0x02, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00},
                                        "Unable to Set Flow Control"};

}  // namespace

UsbLink::UsbLink(UsbSystem& system, Clock& clock, DiagnosticsLog& log, const ReplyMatcher& matcher)
    : system_(system), clock_(clock), log_(log), matcher_(matcher) {
  ReadPipeMutex();
  WritePipeMutex();
}

void UsbLink::Alert(const char* text) {
  if (show_message_) show_message_(text);
}

void UsbLink::LogFailure(const char* text) {
  log_.LogLine(text);
  UsbError error = UsbPipes::LastError(device_.get());
  if (!error.name.empty() || error.code != 0) {
    log_.LogLine("USB: " + error.name + " (" + std::to_string(error.code) + ")");
  }
}

std::unique_ptr<UsbPipeDevice> UsbLink::FindUsbDevice() {
  std::unique_ptr<UsbDriver> driver;
  if (UsbPipes::OpenDriver(system_, driver) != UsbDriverStatus::kOpen) return nullptr;
  std::vector<UsbScanEntry> devices = driver->Scan(kBridgeVendorId, product_id_);
  if (devices.empty()) return nullptr;
  auto usable = std::find_if(devices.begin(), devices.end(),
                             [](const UsbScanEntry& entry) { return LastWord(entry) == kUsableMark; });
  if (usable != devices.end() && usable->unique_id != 0) {
    std::uint32_t unique_id = usable->unique_id;
    driver.reset();
    return UsbPipes::Open(system_, unique_id, 0, 0, 0, &open_error_);
  }
  log_.LogLine("Could not find the Lumen k5 interface.\n");
  driver.reset();
  return UsbPipes::Open(system_, 0, 0, 0, 0, &open_error_);
}

// Each failing step is shown and the sequence goes on: a bridge that refuses one request may still carry
// the instrument's bytes.
void UsbLink::ConfigureUsb() {
  UsbPipeDevice* device = device_.get();
  if (device == nullptr) return;
  static_cast<void>(UsbPipes::ResetDevice(device));
  auto send = [&](const VendorRequest& request) {
    if (UsbPipes::WritePipe00(device, nullptr, 0, request.setup) == -1) Alert(request.failure);
  };
  auto reset_pipe = [&](std::uint32_t pipe, const char* failure) {
    if (UsbPipes::ResetPipe(device, pipe) == -1) Alert(failure);
  };
  send(kPurgeReceive);
  send(kPurgeTransmit);
  reset_pipe(kControlPipe, "Unable to Reset Control Pipe");
  reset_pipe(kBulkOutPipe, "Unable to Reset Transmit Pipe");
  reset_pipe(kBulkInPipe, "Unable to Reset Receive Pipe");
  send(kBaudRate);
  send(kLineCharacteristics);
  send(kFlowControl);
}

LinkResult UsbLink::OpenUsb(std::uint32_t product_id) {
  if (device_ != nullptr) return LinkResult::kDone;
  product_id_ = product_id;
  open_error_ = UsbError{};
  device_ = FindUsbDevice();
  if (device_ == nullptr) {
    log_.LogLine("Failed to open USB connection");
    // Why the bridge that was found could not be opened (busy, no permission, unplugged).
    if (!open_error_.name.empty()) {
      log_.LogLine("USB: " + open_error_.name + " (" + std::to_string(open_error_.code) + ")");
    }
    return LinkResult::kNoDevice;
  }
  ConfigureUsb();
  return LinkResult::kDone;
}

LinkResult UsbLink::CloseUsb() {
  device_.reset();
  return LinkResult::kDone;
}

// The pipe mutexes are taken crossed, the write under the read pipe's name and the read under the write
// pipe's: every process of the driver takes them so, which is what keeps them apart.
LinkResult UsbLink::WriteUsb(const char* text) {
  NamedMutexLock lock(ReadPipeMutex());
  if (device_ == nullptr || text == nullptr || text[0] == '\0') {
    log_.LogLine(kNoDevice);
    return LinkResult::kFailed;
  }
  std::size_t length = ::strnlen(text, kTransferSize - 1);
  if (UsbPipes::WritePipe02(device_.get(), text, length) == -1) {
    LogFailure("Timed out writing data to WritePipe02");
    return LinkResult::kFailed;
  }
  return LinkResult::kDone;
}

LinkResult UsbLink::ReadUsb(char* buffer) {
  NamedMutexLock lock(WritePipeMutex());
  std::memset(buffer, 0, kReplyBufferSize);
  LinkResult result = LinkResult::kDone;
  if (device_ == nullptr) {
    log_.LogLine(kNoDevice);
    return LinkResult::kFailed;
  }
  const std::uint64_t start = clock_.TickMs();
  std::size_t length = 0;
  std::vector<char> transfer(kTransferSize + 1);
  for (;;) {
    std::fill(transfer.begin(), transfer.end(), '\0');
    int count = UsbPipes::ReadPipe82(device_.get(), transfer.data(), kTransferSize);
    if (count == -1) {
      LogFailure("Failed to read data from ReadPipe82");
      // A later transfer may still complete the reply, but the read stays failed. A bridge that has
      // gone (unplugged) answers no later transfer: the read ends at once instead of failing on every
      // try until the time-out. Any other failure may come back at once too, so the next try waits a
      // moment: the loop never spins.
      result = LinkResult::kFailed;
      if (UsbPipes::LastError(device_.get()).gone) break;
      clock_.WaitMs(kFailedReadPauseMs);
    } else if (static_cast<std::size_t>(count) > kStatusBytes) {
      transfer[static_cast<std::size_t>(count)] = '\0';
      std::size_t text_length = ::strnlen(transfer.data() + kStatusBytes, kTransferSize - kStatusBytes);
      std::size_t room = kReplyBufferSize - 1 - length;
      if (text_length > room) {
        // The reply buffer never grows past its size: what does not fit is dropped and the read fails.
        std::memcpy(buffer + length, transfer.data() + kStatusBytes, room);
        length += room;
        log_.LogLine("USB reply longer than the reply buffer; the rest was dropped");
        result = LinkResult::kFailed;
        break;
      }
      std::memcpy(buffer + length, transfer.data() + kStatusBytes, text_length);
      length += text_length;
      if (matcher_.IsComplete(buffer, length)) break;
    }
    if (clock_.TickMs() - start > matcher_.GetTimeout()) {
      log_.LogLine("No data is available from ReadPipe82");
      result = LinkResult::kFailed;
      break;
    }
  }
  if (length == 0) result = LinkResult::kFailed;
  if (std::string_view(buffer, length) == kUnknownCommand) {
    log_.LogLine("USB: the instrument does not know the command");
    result = LinkResult::kFailed;
  }
  return result;
}

LinkResult UsbLink::CopyReply(const std::vector<char>& usb_reply, char* reply) const {
  if (usb_reply[0] == '*') {
    log_.LogLine("USB: the instrument reports an error (its reply begins with \"*\")");
    return LinkResult::kInstrumentError;
  }
  if (usb_reply[0] != '\0') {
    std::size_t length = ::strnlen(usb_reply.data(), kReplyBufferSize - 1);
    std::memcpy(reply, usb_reply.data(), length);
    reply[length] = '\0';
  }
  return LinkResult::kDone;
}

LinkResult UsbLink::Exchange(const char* command, bool read_only, bool hold_open, char* reply) {
  std::vector<char> usb_reply(kReplyBufferSize, '\0');
  LinkResult result = LinkResult::kFailed;
  if (OpenUsb(product_id_) == LinkResult::kDone) {
    int attempts = read_only ? 1 : kAttempts;
    for (int attempt = 0; attempt < attempts; ++attempt) {
      result = read_only ? LinkResult::kDone : WriteUsb(command);
      if (result == LinkResult::kDone) result = ReadUsb(usb_reply.data());
      if (result == LinkResult::kDone) break;
    }
  }
  if (!hold_open) static_cast<void>(CloseUsb());
  // The reply is handed over also when the read failed, as far as it arrived.
  if (CopyReply(usb_reply, reply) == LinkResult::kInstrumentError) return LinkResult::kInstrumentError;
  return result;
}

// The trigger's poll: a read on the open bridge, with the same hand-over as an exchange.
LinkResult UsbLink::ReadUnasked(char* reply) {
  std::vector<char> usb_reply(kReplyBufferSize, '\0');
  LinkResult result = ReadUsb(usb_reply.data());
  if (CopyReply(usb_reply, reply) == LinkResult::kInstrumentError) return LinkResult::kInstrumentError;
  return result;
}

}  // namespace vk605
