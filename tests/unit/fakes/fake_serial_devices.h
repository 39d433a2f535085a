#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "fakes/fake_clock.h"
#include "platform/serial_device.h"

namespace vk605::testing {

// A scripted serial line for tests, in place of SystemSerialDevices().
//
// Every name opens the one fake line; like a real port it opens only once at a time. The instrument's
// side is a script: each Write is looked up as a whole command text and its reply is scheduled on the
// FakeClock; bytes arrive when the clock reaches their time. WaitForInput advances the clock to the next
// arrival, or by the whole time-out when nothing will arrive in time, so time-outs cost no real time.
//
//   FakeClock clock;
//   FakeSerialDevices fake(clock);
//   fake.Reply("0005CF\r", "<00>\r\n");                         // every time the command is written
//   fake.ReplyOnce("01XD\r", "01\r\n>\r\n");                     // next time only, before the standing reply
//   fake.ReplyInPieces("SV\r", {"1.0", "2\r\n", ">\r\n"}, 20);  // a piece every 20 ms after the write
//   fake.SetResponder([](const std::string& command) { return std::string(); });  // unscripted commands
//   fake.Deliver("<00>\r\n", 300);                               // unasked bytes, 300 ms from now
//   ... run the code under test with `fake` as its SerialDevices ...
//   fake.OnWaitForInput([](const std::string& last_written) { ... });  // runs as a read starts waiting
//   fake.written();      // {"0005CF\r", ...}: every Write, in order; written_at(): the clock at each
//   fake.open_count();   // successful opens; close_count(): handles destroyed
//
// A command without a reply and without a responder (or whose responder returns "") gets no answer.
// Purging the input throws away what has arrived, not what is still on its way.
class FakeSerialDevices : public SerialDevices {
 public:
  explicit FakeSerialDevices(FakeClock& clock) : clock_(clock), state_(std::make_shared<State>()) {}

  // ---- the instrument's script ----
  void Reply(const std::string& command, const std::string& reply, std::uint32_t delay_ms = 0) {
    Lock lock(state_->mutex);
    state_->standing[command] = Pieces{{reply}, delay_ms};
  }
  void ReplyOnce(const std::string& command, const std::string& reply, std::uint32_t delay_ms = 0) {
    Lock lock(state_->mutex);
    state_->once[command].push_back(Pieces{{reply}, delay_ms});
  }
  // Piece i arrives (i + 1) * gap_ms after the write.
  void ReplyInPieces(const std::string& command, std::vector<std::string> pieces, std::uint32_t gap_ms) {
    Lock lock(state_->mutex);
    state_->standing[command] = Pieces{std::move(pieces), gap_ms};
  }
  void SetResponder(std::function<std::string(const std::string& command)> responder) {
    Lock lock(state_->mutex);
    state_->responder = std::move(responder);
  }
  // Bytes that arrive delay_ms from now without a command.
  void Deliver(const std::string& bytes, std::uint32_t delay_ms = 0) {
    Lock lock(state_->mutex);
    state_->Schedule(clock_.TickMs() + delay_ms, bytes);
  }
  // Runs on the reading thread each time a read waits for input, before the wait and outside the fake's
  // lock, with the last command written: a test may block there to hold the reader at that point.
  void OnWaitForInput(std::function<void(const std::string& last_written)> hook) {
    Lock lock(state_->mutex);
    state_->wait_hook = std::move(hook);
  }
  // What GetLineSettings reports until SetLineSettings changes it.
  void SetDeviceLineSettings(const LineSettings& settings) {
    Lock lock(state_->mutex);
    state_->line_settings = settings;
  }

  // ---- failure switches ----
  void FailOpen(bool fail = true) { Set(&State::fail_open, fail); }
  void FailClearErrors(bool fail = true) { Set(&State::fail_clear_errors, fail); }
  void FailRead(bool fail = true) { Set(&State::fail_read, fail); }
  // A failed write sends nothing and is not recorded.
  void FailWrite(bool fail = true) { Set(&State::fail_write, fail); }
  // WaitForInput reports a failed device.
  void HangUp(bool hung = true) { Set(&State::hung_up, hung); }
  // The output queue never drains.
  void StallOutput(bool stall = true) { Set(&State::stall_output, stall); }

  // ---- what happened ----
  std::vector<std::string> written() const { return Get(&State::written); }
  std::vector<std::uint64_t> written_at() const { return Get(&State::written_at); }
  std::vector<std::string> opened_names() const { return Get(&State::opened_names); }
  int open_attempts() const { return Get(&State::open_attempts); }
  int open_count() const { return Get(&State::open_count); }
  int close_count() const { return Get(&State::close_count); }
  bool is_open() const { return Get(&State::is_open); }
  std::vector<std::uint32_t> purges() const { return Get(&State::purges); }
  LineSettings line_settings() const { return Get(&State::line_settings); }
  int line_settings_applied() const { return Get(&State::line_settings_applied); }
  PortTimeouts timeouts() const { return Get(&State::timeouts); }
  std::uint32_t input_queue_size() const { return Get(&State::input_queue_size); }
  std::uint32_t output_queue_size() const { return Get(&State::output_queue_size); }
  bool event_mask_on() const { return Get(&State::event_mask_on); }
  int dtr_cleared() const { return Get(&State::dtr_cleared); }
  // Arrived and not yet read.
  std::string pending_input() const {
    Lock lock(state_->mutex);
    state_->ReleaseDue(clock_.TickMs());
    return state_->input;
  }

  std::unique_ptr<SerialHandle> Open(const std::string& name) override {
    Lock lock(state_->mutex);
    ++state_->open_attempts;
    if (state_->fail_open || state_->is_open) return nullptr;
    state_->is_open = true;
    ++state_->open_count;
    state_->opened_names.push_back(name);
    return std::make_unique<FakeSerialHandle>(clock_, state_);
  }

 private:
  using Lock = std::lock_guard<std::mutex>;

  struct Pieces {
    std::vector<std::string> parts;
    std::uint32_t gap_ms = 0;  // before each part
  };

  struct Arrival {
    std::uint64_t due_ms;
    std::string bytes;
  };

  struct State {
    std::mutex mutex;
    std::map<std::string, Pieces> standing;
    std::map<std::string, std::deque<Pieces>> once;
    std::function<std::string(const std::string&)> responder;
    std::function<void(const std::string&)> wait_hook;
    std::deque<Arrival> arrivals;  // ordered by due_ms
    std::string input;

    bool fail_open = false;
    bool fail_clear_errors = false;
    bool fail_read = false;
    bool fail_write = false;
    bool hung_up = false;
    bool stall_output = false;

    std::vector<std::string> written;
    std::vector<std::uint64_t> written_at;
    std::vector<std::string> opened_names;
    int open_attempts = 0;
    int open_count = 0;
    int close_count = 0;
    bool is_open = false;
    std::vector<std::uint32_t> purges;
    LineSettings line_settings;
    int line_settings_applied = 0;
    PortTimeouts timeouts;
    std::uint32_t input_queue_size = 0;
    std::uint32_t output_queue_size = 0;
    bool event_mask_on = false;
    int dtr_cleared = 0;

    void Schedule(std::uint64_t due_ms, const std::string& bytes) {
      auto later = std::upper_bound(arrivals.begin(), arrivals.end(), due_ms,
                                    [](std::uint64_t due, const Arrival& a) { return due < a.due_ms; });
      arrivals.insert(later, Arrival{due_ms, bytes});
    }
    void ScheduleReply(std::uint64_t now, const Pieces& pieces) {
      std::uint64_t due = now;
      for (const std::string& part : pieces.parts) {
        due += pieces.gap_ms;
        Schedule(due, part);
      }
    }
    void Answer(std::uint64_t now, const std::string& command) {
      auto once_entry = once.find(command);
      if (once_entry != once.end() && !once_entry->second.empty()) {
        ScheduleReply(now, once_entry->second.front());
        once_entry->second.pop_front();
        return;
      }
      auto standing_entry = standing.find(command);
      if (standing_entry != standing.end()) {
        ScheduleReply(now, standing_entry->second);
      } else if (responder) {
        std::string reply = responder(command);
        if (!reply.empty()) Schedule(now, reply);
      }
    }
    void ReleaseDue(std::uint64_t now) {
      while (!arrivals.empty() && arrivals.front().due_ms <= now) {
        input += arrivals.front().bytes;
        arrivals.pop_front();
      }
    }
  };

  class FakeSerialHandle : public SerialHandle {
   public:
    FakeSerialHandle(FakeClock& clock, std::shared_ptr<State> state)
        : clock_(clock), state_(std::move(state)) {}
    ~FakeSerialHandle() override {
      Lock lock(state_->mutex);
      state_->is_open = false;
      ++state_->close_count;
    }
    FakeSerialHandle(const FakeSerialHandle&) = delete;
    FakeSerialHandle& operator=(const FakeSerialHandle&) = delete;

    bool GetLineSettings(LineSettings& out) override {
      Lock lock(state_->mutex);
      out = state_->line_settings;
      return true;
    }
    bool SetLineSettings(const LineSettings& settings) override {
      Lock lock(state_->mutex);
      state_->line_settings = settings;
      ++state_->line_settings_applied;
      return true;
    }
    bool SetTimeouts(const PortTimeouts& timeouts) override {
      Lock lock(state_->mutex);
      state_->timeouts = timeouts;
      return true;
    }
    bool SetQueueSizes(std::uint32_t input, std::uint32_t output) override {
      Lock lock(state_->mutex);
      state_->input_queue_size = input;
      state_->output_queue_size = output;
      return true;
    }
    bool SetEventMaskCharReceived(bool on) override {
      Lock lock(state_->mutex);
      state_->event_mask_on = on;
      return true;
    }
    bool Purge(std::uint32_t flags) override {
      Lock lock(state_->mutex);
      state_->purges.push_back(flags);
      state_->ReleaseDue(clock_.TickMs());
      if ((flags & (kPurgeRxAbort | kPurgeRxClear)) != 0) state_->input.clear();
      return true;
    }
    bool ClearDtr() override {
      Lock lock(state_->mutex);
      ++state_->dtr_cleared;
      return true;
    }
    bool ClearErrors(std::size_t& input_waiting, bool& output_empty) override {
      Lock lock(state_->mutex);
      if (state_->fail_clear_errors) return false;
      state_->ReleaseDue(clock_.TickMs());
      input_waiting = state_->input.size();
      output_empty = !state_->stall_output;
      return true;
    }
    bool Write(const char* data, std::size_t length) override {
      Lock lock(state_->mutex);
      if (state_->fail_write) return false;
      std::string command(data == nullptr ? "" : std::string(data, length));
      state_->written.push_back(command);
      state_->written_at.push_back(clock_.TickMs());
      state_->Answer(clock_.TickMs(), command);
      return true;
    }
    long Read(char* buffer, std::size_t capacity) override {
      Lock lock(state_->mutex);
      if (state_->fail_read) return -1;
      state_->ReleaseDue(clock_.TickMs());
      std::size_t count = std::min(capacity, state_->input.size());
      std::memcpy(buffer, state_->input.data(), count);
      state_->input.erase(0, count);
      return static_cast<long>(count);
    }
    bool WaitForInput(std::uint32_t timeout_ms) override {
      std::function<void(const std::string&)> hook;
      std::string last_written;
      {
        Lock lock(state_->mutex);
        hook = state_->wait_hook;
        if (!state_->written.empty()) last_written = state_->written.back();
      }
      if (hook) hook(last_written);
      Lock lock(state_->mutex);
      if (state_->hung_up) return false;
      std::uint64_t now = clock_.TickMs();
      state_->ReleaseDue(now);
      if (!state_->input.empty()) return true;
      std::uint64_t until = now + timeout_ms;
      if (!state_->arrivals.empty() && state_->arrivals.front().due_ms <= until) {
        until = state_->arrivals.front().due_ms;
      }
      clock_.Advance(until - now);
      state_->ReleaseDue(until);
      return true;
    }

   private:
    FakeClock& clock_;
    std::shared_ptr<State> state_;
  };

  template <typename T>
  void Set(T State::*field, T value) {
    Lock lock(state_->mutex);
    (*state_).*field = value;
  }
  template <typename T>
  T Get(T State::*field) const {
    Lock lock(state_->mutex);
    return (*state_).*field;
  }

  FakeClock& clock_;
  std::shared_ptr<State> state_;
};

}  // namespace vk605::testing
