#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "fakes/fake_clock.h"
#include "platform/panel_toolkit.h"

namespace vk605::testing {

// A control panel window without a toolkit: remembers what the pages put into its controls, records
// message boxes, focus moves and timer calls, and fires its timers as the fake clock passes them.
class FakePanelView : public PanelView {
 public:
  struct Box {
    std::string text;
    std::string caption;
    unsigned type;
  };

  explicit FakePanelView(FakeClock& clock) : clock_(clock) {}

  void SetText(int control, const std::string& text) override {
    texts[control] = text;
    ++text_writes[control];
  }
  std::string GetText(int control) override { return texts[control]; }
  void SetCheck(int control, bool checked) override { checks[control] = checked; }
  bool IsChecked(int control) override { return checks[control]; }
  void Enable(int control, bool enabled) override { enabled_[control] = enabled; }
  void SetFocus(int control) override { focus = control; }
  int MessageBox(const std::string& text, const std::string& caption, unsigned type) override {
    boxes.push_back({text, caption, type});
    return 1;
  }
  bool StartTimer(unsigned id, unsigned period_ms) override {
    events.push_back("start " + std::to_string(id) + " " + std::to_string(period_ms));
    if (refuse_timers) return false;
    timers[id] = Timer{period_ms, clock_.TickMs() + period_ms};
    return true;
  }
  void StopTimer(unsigned id) override {
    events.push_back("stop " + std::to_string(id));
    timers.erase(id);
  }

  // Moves the fake clock on by ms and fires every timer that comes due, as the toolkit's loop would.
  void Pass(std::uint64_t ms, const std::function<void(unsigned)>& fire) {
    const std::uint64_t end = clock_.TickMs() + ms;
    for (;;) {
      unsigned due_id = 0;
      std::uint64_t due_at = end + 1;
      for (const auto& [id, timer] : timers) {
        if (timer.due_ms < due_at) {
          due_at = timer.due_ms;
          due_id = id;
        }
      }
      if (due_at > end) break;
      clock_.Advance(due_at - clock_.TickMs());
      timers[due_id].due_ms += timers[due_id].period_ms;
      fire(due_id);
    }
    clock_.Advance(end - clock_.TickMs());
  }

  bool IsEnabled(int control) const {
    auto it = enabled_.find(control);
    return it == enabled_.end() || it->second;
  }
  bool TimerRunning(unsigned id) const { return timers.count(id) != 0; }

  struct Timer {
    unsigned period_ms = 0;
    std::uint64_t due_ms = 0;
  };
  std::map<int, std::string> texts;
  std::map<int, int> text_writes;
  std::map<int, bool> checks;
  std::vector<Box> boxes;
  std::vector<std::string> events;
  std::map<unsigned, Timer> timers;
  int focus = 0;
  bool refuse_timers = false;

 private:
  FakeClock& clock_;
  std::map<int, bool> enabled_;
};

}  // namespace vk605::testing
