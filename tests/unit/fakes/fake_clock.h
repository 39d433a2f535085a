#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/clock.h"

namespace vk605::testing {

// A clock whose waits cost no real time: WaitMs advances the ticks at once.
class FakeClock : public Clock {
 public:
  std::uint64_t TickMs() override { return ticks_.load(); }
  void WaitMs(std::uint32_t ms) override {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      waits_.push_back(Wait{ticks_.load(), ms});
    }
    waited_ms_ += ms;
    ticks_ += ms;
  }
  std::optional<LocalTime> LocalNow() override {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!local_available_) return std::nullopt;
    LocalTime t = local_;
    // Local time follows the ticks, so waits move it forward too.
    std::uint64_t seconds = ticks_.load() / 1000 + t.second;
    t.second = static_cast<int>(seconds % 60);
    std::uint64_t minutes = seconds / 60 + t.minute;
    t.minute = static_cast<int>(minutes % 60);
    std::uint64_t hours = minutes / 60 + t.hour;
    t.hour = static_cast<int>(hours % 24);
    t.day += static_cast<int>(hours / 24);  // tests stay within one month
    return t;
  }

  // A fake user locale: only the texts taught with SetLocaleDate parse; every text asked is recorded.
  std::optional<LocalTime> ParseLocaleDateTime(std::string_view text) override {
    std::lock_guard<std::mutex> lock(mutex_);
    locale_parses_.emplace_back(text);
    auto found = locale_dates_.find(std::string(text));
    if (found == locale_dates_.end()) return std::nullopt;
    return found->second;
  }
  void SetLocaleDate(const std::string& text, const LocalTime& time) {
    std::lock_guard<std::mutex> lock(mutex_);
    locale_dates_[text] = time;
  }
  std::vector<std::string> LocaleParses() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return locale_parses_;
  }

  void Advance(std::uint64_t ms) { ticks_ += ms; }
  void SetLocal(const LocalTime& t) {
    std::lock_guard<std::mutex> lock(mutex_);
    local_ = t;
    ticks_ = 0;
    local_available_ = true;
  }
  void SetLocalUnavailable() {
    std::lock_guard<std::mutex> lock(mutex_);
    local_available_ = false;
  }
  std::uint64_t WaitedMs() const { return waited_ms_.load(); }
  // Every WaitMs so far, in order, with the tick at which it began.
  struct Wait {
    std::uint64_t at_ms;
    std::uint32_t ms;
  };
  std::vector<Wait> Waits() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return waits_;
  }

 private:
  std::atomic<std::uint64_t> ticks_{0};
  std::atomic<std::uint64_t> waited_ms_{0};
  mutable std::mutex mutex_;
  std::vector<Wait> waits_;
  std::map<std::string, LocalTime> locale_dates_;
  std::vector<std::string> locale_parses_;
  LocalTime local_{2026, 12, 8, 10, 30, 0};
  bool local_available_ = true;
};

}  // namespace vk605::testing
