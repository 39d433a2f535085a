#include "platform/win32/serial_device_handle.h"

#include <algorithm>
#include <climits>

#include "platform/win32/serial_device_dcb.h"

namespace vk605 {

namespace {

// WaitForInput looks at the input queue this often. A synchronous handle cannot wait for a comm event
// with a time-out (WaitCommEvent would block until a character came, however long), so the wait sleeps
// in short slices instead; it never spins.
constexpr DWORD kInputSliceMs = 10;

DWORD ClampToDword(std::size_t value) {
  return static_cast<DWORD>(std::min<std::size_t>(value, MAXDWORD));
}

}  // namespace

Win32SerialHandle::Win32SerialHandle(UniqueHandle handle) : handle_(std::move(handle)) {}

bool Win32SerialHandle::GetLineSettings(LineSettings& out) {
  DCB dcb{};
  dcb.DCBlength = sizeof(DCB);
  if (!::GetCommState(handle_.Get(), &dcb)) return false;
  ReadLineSettings(dcb, out);
  return true;
}

bool Win32SerialHandle::SetLineSettings(const LineSettings& settings) {
  // Starting from the device's state keeps its flow-control characters, which the settings do not carry.
  DCB dcb{};
  dcb.DCBlength = sizeof(DCB);
  if (!::GetCommState(handle_.Get(), &dcb)) return false;
  ApplyLineSettings(settings, dcb);
  return ::SetCommState(handle_.Get(), &dcb) != FALSE;
}

bool Win32SerialHandle::SetTimeouts(const PortTimeouts& timeouts) {
  COMMTIMEOUTS values{timeouts.read_interval, timeouts.read_total_multiplier, timeouts.read_total_constant,
                      timeouts.write_total_multiplier, timeouts.write_total_constant};
  return ::SetCommTimeouts(handle_.Get(), &values) != FALSE;
}

bool Win32SerialHandle::SetQueueSizes(std::uint32_t input, std::uint32_t output) {
  return ::SetupComm(handle_.Get(), input, output) != FALSE;
}

bool Win32SerialHandle::SetEventMaskCharReceived(bool on) {
  return ::SetCommMask(handle_.Get(), on ? EV_RXCHAR : 0) != FALSE;
}

bool Win32SerialHandle::Purge(std::uint32_t flags) {
  return ::PurgeComm(handle_.Get(), flags) != FALSE;
}

bool Win32SerialHandle::ClearDtr() {
  return ::EscapeCommFunction(handle_.Get(), CLRDTR) != FALSE;
}

bool Win32SerialHandle::ClearErrors(std::size_t& input_waiting, bool& output_empty) {
  DWORD errors = 0;
  COMSTAT status{};
  if (!::ClearCommError(handle_.Get(), &errors, &status)) return false;
  input_waiting = status.cbInQue;
  output_empty = status.cbOutQue == 0;
  return true;
}

bool Win32SerialHandle::Write(const char* data, std::size_t length) {
  DWORD written = 0;
  if (length == 0) return true;
  if (!::WriteFile(handle_.Get(), data, ClampToDword(length), &written, nullptr)) return false;
  return written == length;
}

long Win32SerialHandle::Read(char* buffer, std::size_t capacity) {
  if (capacity == 0) return 0;
  DWORD count = 0;
  DWORD request = std::min<DWORD>(ClampToDword(capacity), LONG_MAX);
  if (!::ReadFile(handle_.Get(), buffer, request, &count, nullptr)) return -1;
  return static_cast<long>(count);
}

bool Win32SerialHandle::WaitForInput(std::uint32_t timeout_ms) {
  ULONGLONG start = ::GetTickCount64();
  for (;;) {
    std::size_t waiting = 0;
    bool output_empty = false;
    if (!ClearErrors(waiting, output_empty)) return false;
    if (waiting > 0) return true;
    ULONGLONG elapsed = ::GetTickCount64() - start;
    if (elapsed >= timeout_ms) return true;
    ::Sleep(static_cast<DWORD>(std::min<ULONGLONG>(kInputSliceMs, timeout_ms - elapsed)));
  }
}

}  // namespace vk605
