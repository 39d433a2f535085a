#include "platform/clock.h"

#include <chrono>
#include <ctime>
#include <string>
#include <thread>

#include "platform/win32/windows_headers.h"

#include <oleauto.h>

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

  // The system's own reading of a date text in the user's default locale.
  std::optional<LocalTime> ParseLocaleDateTime(std::string_view text) override {
    if (text.empty() || text.size() > 1024) return std::nullopt;
    int length = ::MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (length <= 0) return std::nullopt;
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
    DATE date = 0.0;
    if (FAILED(::VarDateFromStr(wide.data(), LOCALE_USER_DEFAULT, 0, &date))) return std::nullopt;
    SYSTEMTIME time{};
    if (!::VariantTimeToSystemTime(date, &time)) return std::nullopt;
    return LocalTime{time.wYear, time.wMonth, time.wDay, time.wHour, time.wMinute, time.wSecond};
  }
};

}  // namespace

Clock& SystemClock() {
  static Win32Clock clock;
  return clock;
}

}  // namespace vk605
