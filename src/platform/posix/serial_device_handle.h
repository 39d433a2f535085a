#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/posix/unique_fd.h"
#include "platform/serial_device.h"

namespace vk605 {

// An open terminal device in raw, non-blocking mode, held exclusively (TIOCEXCL against other opens, an
// flock against other processes of the driver). Reads return at once; the waiting is done by
// WaitForInput with poll, so nothing here spins.
class PosixSerialHandle final : public SerialHandle {
 public:
  // Takes a descriptor that is already locked and in raw mode.
  explicit PosixSerialHandle(UniqueFd fd);
  ~PosixSerialHandle() override;
  PosixSerialHandle(const PosixSerialHandle&) = delete;
  PosixSerialHandle& operator=(const PosixSerialHandle&) = delete;

  bool GetLineSettings(LineSettings& out) override;
  bool SetLineSettings(const LineSettings& settings) override;
  bool SetTimeouts(const PortTimeouts& timeouts) override;
  bool SetQueueSizes(std::uint32_t input, std::uint32_t output) override;
  bool SetEventMaskCharReceived(bool on) override;
  bool Purge(std::uint32_t flags) override;
  bool ClearDtr() override;
  bool ClearErrors(std::size_t& input_waiting, bool& output_empty) override;
  bool Write(const char* data, std::size_t length) override;
  long Read(char* buffer, std::size_t capacity) override;
  bool WaitForInput(std::uint32_t timeout_ms) override;

 private:
  UniqueFd fd_;
  PortTimeouts timeouts_;
  bool strip_nul_ = false;
};

}  // namespace vk605
