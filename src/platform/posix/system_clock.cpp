#include "platform/clock.h"

#include <locale.h>
#include <chrono>
#include <clocale>
#include <ctime>
#include <string>
#include <thread>

namespace vk605 {

namespace {

class PosixClock : public Clock {
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
    if (::localtime_r(&now, &local) == nullptr) return std::nullopt;
    return LocalTime{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                     local.tm_hour,        local.tm_min,     local.tm_sec};
  }

  // The user's date and time forms (%x and %X of LC_TIME as the environment sets it), whatever locale
  // the host process itself selected; only this thread switches to it, and only for the parse.
  std::optional<LocalTime> ParseLocaleDateTime(std::string_view text) override {
    locale_t user = ::newlocale(LC_TIME_MASK, "", static_cast<locale_t>(0));
    if (user == static_cast<locale_t>(0)) user = ::newlocale(LC_TIME_MASK, "C", static_cast<locale_t>(0));
    if (user == static_cast<locale_t>(0)) return std::nullopt;
    locale_t previous = ::uselocale(user);
    std::string copy(text);
    std::optional<LocalTime> result;
    for (const char* format : {"%x %X", "%x"}) {
      std::tm parsed{};
      const char* end = ::strptime(copy.c_str(), format, &parsed);
      if (end == nullptr) continue;
      while (*end == ' ' || *end == '\t') ++end;
      if (*end != '\0') continue;
      result = LocalTime{parsed.tm_year + 1900, parsed.tm_mon + 1, parsed.tm_mday,
                         parsed.tm_hour,        parsed.tm_min,     parsed.tm_sec};
      break;
    }
    ::uselocale(previous);
    ::freelocale(user);
    return result;
  }
};

}  // namespace

Clock& SystemClock() {
  static PosixClock clock;
  return clock;
}

}  // namespace vk605
