#include "platform/clock.h"

#include <chrono>
#include <ctime>
#include <thread>

namespace vk605 {

namespace {

class Win32Clock : public Clock {
 public:
  std::uint64_t TickMs() override {
    auto since_origin = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<std::uint64_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(since_origin).count());
  }

  void WaitMs(std::uint32_t ms) override { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

  std::optional<LocalTime> LocalNow() override {
    std::time_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
    std::tm local{};
    if (::localtime_s(&local, &now) != 0) return std::nullopt;
    return LocalTime{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                     local.tm_hour,        local.tm_min,     local.tm_sec};
  }
};

}  // namespace

Clock& SystemClock() {
  static Win32Clock clock;
  return clock;
}

}  // namespace vk605
