#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace vk605 {

// A broken-down local wall-clock time at one-second resolution.
struct LocalTime {
  int year = 0;
  int month = 0;  // 1-12
  int day = 0;    // 1-31
  int hour = 0;
  int minute = 0;
  int second = 0;
};

// Time as the driver sees it. The protocol's fixed pauses go through WaitMs, so unit tests run them on a
// fake clock in no real time.
class Clock {
 public:
  virtual ~Clock() = default;
  // Monotonic milliseconds since an arbitrary origin.
  virtual std::uint64_t TickMs() = 0;
  // Blocks the calling thread for the given time without using the processor.
  virtual void WaitMs(std::uint32_t ms) = 0;
  // Current local time; empty when the system cannot tell it.
  virtual std::optional<LocalTime> LocalNow() = 0;
  // Reads a date and time written in the user's locale form (the date alone is midnight); empty when the
  // text is no such date. Only the fields are read: they are checked by the caller.
  virtual std::optional<LocalTime> ParseLocaleDateTime(std::string_view text) = 0;
};

// The operating system's clock.
Clock& SystemClock();

}  // namespace vk605
