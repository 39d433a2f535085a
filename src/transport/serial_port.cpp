#include "transport/serial_port.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace vk605 {

namespace {

constexpr std::uint32_t kQueueSize = 8192;
constexpr std::uint32_t kPurgeAll = kPurgeTxAbort | kPurgeRxAbort | kPurgeTxClear | kPurgeRxClear;
// Flag word of the default line settings: the device's reserved high bits are kept; binary mode, null
// stripping and abort-on-error are on, every flow control and error replacement off.
constexpr std::uint32_t kDefaultFlagsKeep = 0xFFFFC801;
constexpr std::uint32_t kDefaultFlagsSet = 0x4801;
// While the output queue drains, the line state is queried again after this pause.
constexpr std::uint32_t kDrainPollMs = 1;

// A read that can be cancelled waits for input in steps of at most this long.
constexpr std::uint32_t kCancelCheckMs = 20;

// The cancel flags of the threads inside a ScopedReadCancel, the innermost last. A table rather than
// thread-local storage: the library is loaded with dlopen, and LeakSanitizer's scan of such a library's
// thread-local blocks crashes (GCC 12) in every host that checks itself for leaks.
struct ReadCancels {
  std::mutex mutex;
  std::vector<std::pair<std::thread::id, const std::atomic<bool>*>> flags;
};

ReadCancels& Cancels() {
  static ReadCancels cancels;
  return cancels;
}

// The flag of the calling thread's innermost ScopedReadCancel; null outside one.
const std::atomic<bool>* CancelFlagOfThisThread() {
  ReadCancels& cancels = Cancels();
  std::lock_guard<std::mutex> lock(cancels.mutex);
  std::thread::id self = std::this_thread::get_id();
  for (auto it = cancels.flags.rbegin(); it != cancels.flags.rend(); ++it) {
    if (it->first == self) return it->second;
  }
  return nullptr;
}

enum class ReadStep { kRead, kFull, kFailed };

// Waits until the output queue is empty. The write time-out bounds the wait as it bounds the write
// itself (limit_ms 0: no time-out, as for the write). False when the line state cannot be read or the
// queue does not drain in time.
bool WaitForDrain(SerialHandle& device, Clock& clock, std::uint64_t limit_ms) {
  std::uint64_t start = clock.TickMs();
  for (;;) {
    std::size_t waiting = 0;
    bool output_empty = false;
    if (!device.ClearErrors(waiting, output_empty)) return false;
    if (output_empty) return true;
    if (limit_ms > 0 && clock.TickMs() - start > limit_ms) return false;
    clock.WaitMs(kDrainPollMs);
  }
}

// One pass of the read: the expected length if one is set, else what the input queue holds, appended
// at total. Never more than the buffer holds with its terminating NUL; kFull when more was waiting.
ReadStep ReadAvailable(SerialHandle& device, std::size_t expected_length, char* buffer, std::size_t& total) {
  std::size_t request = expected_length;
  if (request == 0) {
    bool output_empty = false;
    if (!device.ClearErrors(request, output_empty)) return ReadStep::kFailed;
  }
  std::size_t room = kReplyBufferSize - 1 - total;
  bool overflow = request > room;
  request = std::min(request, room);
  if (request > 0) {
    long count = device.Read(buffer + total, request);
    if (count < 0) return ReadStep::kFailed;
    if (count > 0) {
      total += std::min(static_cast<std::size_t>(count), request);
      buffer[total] = '\0';
    }
  }
  return overflow ? ReadStep::kFull : ReadStep::kRead;
}

}  // namespace

ScopedReadCancel::ScopedReadCancel(const std::atomic<bool>& cancel) : cancel_(&cancel) {
  ReadCancels& cancels = Cancels();
  std::lock_guard<std::mutex> lock(cancels.mutex);
  cancels.flags.emplace_back(std::this_thread::get_id(), cancel_);
}

ScopedReadCancel::~ScopedReadCancel() {
  ReadCancels& cancels = Cancels();
  std::lock_guard<std::mutex> lock(cancels.mutex);
  auto entry = std::make_pair(std::this_thread::get_id(), cancel_);
  auto it = std::find(cancels.flags.rbegin(), cancels.flags.rend(), entry);
  if (it != cancels.flags.rend()) cancels.flags.erase(std::next(it).base());
}

SerialPort::SerialPort(SerialDevices& devices, Clock& clock, const ReplyMatcher& matcher)
    : clock_(clock), devices_(devices), matcher_(matcher) {
  // The table is made before any port, so it is destroyed after every port: the unload's closing
  // exchanges still read through it while the library's statics are being destroyed.
  static_cast<void>(Cancels());
}

LinkResult SerialPort::Exchange(const char* command, bool read_only, bool hold_open, char* reply) {
  LinkResult result = LinkResult::kFailed;
  if (OpenPort(port_name_, baud_rate_) == LinkResult::kDone) {
    if (read_only) {
      result = ReadPort(reply);
    } else {
      result = WritePort(command);
      if (result == LinkResult::kDone) static_cast<void>(ReadPort(reply));
    }
  }
  // A held port whose line failed (the instrument unplugged, the device gone) would fail every later
  // exchange; closed, the next exchange opens the device again.
  if (!hold_open || line_failed_) static_cast<void>(ClosePort());
  return result;
}

void SerialPort::SetLineSettings(const LineSettings& settings) {
  line_settings_ = settings;
  line_settings_set_ = true;
}

int SerialPort::SetPortTimeouts(std::uint32_t read_interval, std::uint32_t read_total_multiplier,
                                std::uint32_t read_total_constant, std::uint32_t write_total_multiplier,
                                std::uint32_t write_total_constant) {
  timeouts_ = {read_interval, read_total_multiplier, read_total_constant, write_total_multiplier,
               write_total_constant};
  return 0;
}

int SerialPort::GetDefaultLineSettings(LineSettings& out) {
  if (port_name_.empty()) return 1;
  std::unique_ptr<SerialHandle> temporary;
  SerialHandle* device = handle_.get();
  if (device == nullptr) {
    temporary = devices_.Open(port_name_);
    if (temporary == nullptr) return 1;
    device = temporary.get();
  }
  // What the device cannot report keeps the caller's values; every field that matters is set below.
  static_cast<void>(device->GetLineSettings(out));
  out.baud_rate = 9600;
  out.byte_size = 8;
  out.parity = 0;
  out.stop_bits = 0;
  out.xon_limit = 0;
  out.xoff_limit = 8192;
  out.flags = (out.flags & kDefaultFlagsKeep) | kDefaultFlagsSet;
  return 0;
}

LinkResult SerialPort::OpenPort(const std::string& name, std::uint32_t /*baud*/) {
  // The line settings carry the speed; an open port keeps the settings it was opened with.
  if (handle_ != nullptr || name.empty()) return LinkResult::kDone;
  std::unique_ptr<SerialHandle> device = devices_.Open(name);
  if (device == nullptr) return LinkResult::kUnopenable;
  // None of these decides whether the port is usable: a device that refuses one still exchanges bytes.
  static_cast<void>(device->SetEventMaskCharReceived(true));
  static_cast<void>(device->SetQueueSizes(kQueueSize, kQueueSize));
  static_cast<void>(device->SetTimeouts(timeouts_));
  if (line_settings_set_) static_cast<void>(device->SetLineSettings(line_settings_));
  static_cast<void>(device->Purge(kPurgeTxClear | kPurgeRxClear));
  handle_ = std::move(device);
  return LinkResult::kDone;
}

LinkResult SerialPort::ClosePort() {
  if (handle_ == nullptr) return LinkResult::kDone;
  static_cast<void>(handle_->SetEventMaskCharReceived(false));
  static_cast<void>(handle_->ClearDtr());
  static_cast<void>(handle_->Purge(kPurgeAll));
  handle_.reset();
  line_failed_ = false;
  return LinkResult::kDone;
}

LinkResult SerialPort::WritePort(const char* text) {
  if (handle_ == nullptr) return LinkResult::kDone;
  std::size_t waiting = 0;
  bool output_empty = false;
  if (!handle_->ClearErrors(waiting, output_empty)) {
    line_failed_ = true;
    return LinkResult::kFailed;
  }
  // Whatever an earlier exchange left unread is thrown away before the command goes out.
  static_cast<void>(handle_->Purge(kPurgeAll));
  std::size_t length = text == nullptr ? 0 : std::strlen(text);
  static_cast<void>(handle_->Write(text, length));
  std::uint64_t limit =
      std::uint64_t{timeouts_.write_total_multiplier} * length + timeouts_.write_total_constant;
  if (WaitForDrain(*handle_, clock_, limit)) return LinkResult::kDone;
  line_failed_ = true;
  return LinkResult::kFailed;
}

LinkResult SerialPort::ReadPort(char* buffer) {
  if (handle_ == nullptr) return LinkResult::kNoDevice;
  buffer[0] = '\0';
  const std::atomic<bool>* cancel = CancelFlagOfThisThread();
  std::uint64_t start = clock_.TickMs();
  std::size_t total = 0;
  for (;;) {
    ReadStep step = ReadAvailable(*handle_, matcher_.GetExpectedLength(), buffer, total);
    if (step == ReadStep::kFailed) {
      line_failed_ = true;
      return LinkResult::kFailed;
    }
    std::uint64_t elapsed = clock_.TickMs() - start;
    bool timed_out = elapsed > matcher_.GetTimeout();
    if (matcher_.IsComplete(buffer, total)) return timed_out ? LinkResult::kFailed : LinkResult::kDone;
    if (timed_out || step == ReadStep::kFull || (cancel != nullptr && cancel->load()))
      return LinkResult::kFailed;
    // Waiting one millisecond past the time-out lets the next pass see it as passed.
    std::uint64_t remaining = matcher_.GetTimeout() - elapsed + 1;
    if (cancel != nullptr) remaining = std::min<std::uint64_t>(remaining, kCancelCheckMs);
    if (!handle_->WaitForInput(static_cast<std::uint32_t>(std::min<std::uint64_t>(remaining, UINT32_MAX)))) {
      line_failed_ = true;
      return LinkResult::kFailed;
    }
  }
}

}  // namespace vk605
