#pragma once

#include <array>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "fakes/fake_clock.h"
#include "platform/usb_bridge.h"

namespace vk605::testing {

// A scripted bridge behind a fake driver. Each queued IN transfer is returned by one bulk read as it is
// (status bytes included); a queued std::nullopt is a failed transfer. A read with nothing queued waits
// its time-out on the fake clock and fails.
struct FakeUsbState {
  explicit FakeUsbState(FakeClock& c) : clock(c) {}

  FakeClock& clock;
  UsbDriverStatus driver_status = UsbDriverStatus::kOpen;
  std::vector<UsbScanEntry> devices;
  bool open_fails = false;
  UsbError open_error{-3, "LIBUSB_ERROR_ACCESS", false};
  std::deque<std::optional<std::string>> in_transfers;
  bool write_fails = false;
  bool failed_transfer_gone = false;        // a failed IN transfer reports the device gone (unplugged)
  std::set<std::uint8_t> failing_requests;  // control requests (setup byte 1 and value byte 2) that fail
  std::set<std::uint32_t> failing_pipe_resets;
  // An instrument behind the bridge: each written command queues its reply as one IN transfer. The
  // first entry of follow is taken when its command is written, and its text (when not empty) is queued
  // after the reply, as the instrument sends it unasked later.
  std::map<std::string, std::string> replies;
  std::deque<std::pair<std::string, std::string>> follow;

  // What the driver saw.
  int driver_opens = 0;
  int scans = 0;
  std::vector<std::uint32_t> opened_ids;
  std::vector<std::string> writes;
  std::vector<std::array<std::uint8_t, 8>> control_setups;
  std::vector<std::uint32_t> pipe_resets;
  std::vector<std::uint32_t> halts;
  std::vector<std::uint32_t> read_timeouts;
  std::vector<std::uint32_t> write_timeouts;
  std::vector<std::size_t> read_sizes;
  int device_resets = 0;
  int open_devices = 0;
  std::vector<std::string> events;  // "reset", "control 00 01", "pipe 82", "write ...", "read"

  // Device events: when supported, a watch hands out the queued events one by one, then blocks until
  // stopped. What each registration asked for (actions, vendor, product, unique id).
  bool events_supported = false;
  std::vector<std::array<std::uint32_t, 4>> watch_requests;
  std::mutex event_mutex;
  std::condition_variable event_ready;
  std::deque<UsbDeviceEvent> pending_events;
  std::vector<UsbDeviceEvent> reported_events;  // handed back after the host's callback
  bool watch_stopped = false;

  void QueueEvent(const UsbDeviceEvent& event) {
    std::lock_guard<std::mutex> lock(event_mutex);
    pending_events.push_back(event);
    event_ready.notify_all();
  }

  void AddDevice(std::uint32_t unique_id, bool usable) {
    UsbScanEntry entry;
    entry.unique_id = unique_id;
    if (usable) std::memset(entry.info.data() + entry.info.size() - 4, 0xFF, 4);
    devices.push_back(entry);
  }
  void QueueReply(const std::string& text) { in_transfers.push_back("\x31\x60" + text); }
};

class FakeUsbDevice final : public UsbDeviceHandle {
 public:
  explicit FakeUsbDevice(FakeUsbState& state) : state_(state) { ++state_.open_devices; }
  ~FakeUsbDevice() override { --state_.open_devices; }

  long Transfer(std::uint32_t pipe, bool read, void* buffer, std::size_t size, std::uint32_t timeout_ms,
                const std::uint8_t* setup) override {
    if (pipe == 0x00) {
      std::array<std::uint8_t, 8> bytes{};
      std::memcpy(bytes.data(), setup, 8);
      state_.control_setups.push_back(bytes);
      state_.events.push_back("control " + std::to_string(bytes[1]) + " " + std::to_string(bytes[2]));
      if (state_.failing_requests.count(static_cast<std::uint8_t>(bytes[1] * 16 + bytes[2])) != 0) {
        return Fail("LIBUSB_ERROR_PIPE", -9);
      }
      return 0;
    }
    if (!read) {
      state_.write_timeouts.push_back(timeout_ms);
      state_.writes.emplace_back(static_cast<const char*>(buffer), size);
      state_.events.push_back("write");
      if (state_.write_fails) return Fail("LIBUSB_ERROR_IO", -1);
      const std::string& command = state_.writes.back();
      if (auto reply = state_.replies.find(command); reply != state_.replies.end()) {
        state_.QueueReply(reply->second);
      }
      if (!state_.follow.empty() && state_.follow.front().first == command) {
        if (!state_.follow.front().second.empty()) state_.QueueReply(state_.follow.front().second);
        state_.follow.pop_front();
      }
      return static_cast<long>(size);
    }
    state_.read_timeouts.push_back(timeout_ms);
    state_.read_sizes.push_back(size);
    if (state_.in_transfers.empty()) {
      state_.clock.Advance(timeout_ms);
      return Fail("LIBUSB_ERROR_TIMEOUT", -7);
    }
    std::optional<std::string> next = state_.in_transfers.front();
    state_.in_transfers.pop_front();
    state_.clock.Advance(1);
    if (!next) return Fail("LIBUSB_ERROR_NO_DEVICE", -4);
    std::size_t count = next->size() < size ? next->size() : size;
    std::memcpy(buffer, next->data(), count);
    return static_cast<long>(count);
  }
  int Halt(std::uint32_t pipe) override {
    state_.halts.push_back(pipe);
    return 1;
  }
  bool ResetPipe(std::uint32_t pipe) override {
    state_.pipe_resets.push_back(pipe);
    state_.events.push_back("pipe " + std::to_string(pipe));
    return state_.failing_pipe_resets.count(pipe) == 0;
  }
  int ResetDevice() override {
    ++state_.device_resets;
    state_.events.push_back("reset");
    return 1;
  }
  UsbError LastError() const override { return error_; }

 private:
  long Fail(const char* name, long code) {
    error_ = UsbError{code, name, state_.failed_transfer_gone && code == -4};
    return -1;
  }
  FakeUsbState& state_;
  UsbError error_;
};

class FakeEventWatch final : public UsbEventWatch {
 public:
  explicit FakeEventWatch(FakeUsbState& state) : state_(state) {}
  bool Wait(UsbDeviceEvent& event) override {
    std::unique_lock<std::mutex> lock(state_.event_mutex);
    state_.event_ready.wait(lock, [&] { return state_.watch_stopped || !state_.pending_events.empty(); });
    if (state_.watch_stopped) return false;
    event = state_.pending_events.front();
    state_.pending_events.pop_front();
    return true;
  }
  void Reported(const UsbDeviceEvent& event) override {
    std::lock_guard<std::mutex> lock(state_.event_mutex);
    state_.reported_events.push_back(event);
  }
  void Stop() override {
    std::lock_guard<std::mutex> lock(state_.event_mutex);
    state_.watch_stopped = true;
    state_.event_ready.notify_all();
  }

 private:
  FakeUsbState& state_;
};

class FakeUsbDriver final : public UsbDriver {
 public:
  explicit FakeUsbDriver(FakeUsbState& state) : state_(state) {}
  std::vector<UsbScanEntry> Scan(std::uint32_t vendor_id, std::uint32_t product_id) override {
    ++state_.scans;
    last_scan_vendor = vendor_id;
    last_scan_product = product_id;
    return state_.devices;
  }
  std::unique_ptr<UsbDeviceHandle> OpenDevice(std::uint32_t unique_id, std::uint32_t, std::uint32_t,
                                              std::uint32_t, UsbDeviceInfo& info) override {
    state_.opened_ids.push_back(unique_id);
    if (state_.open_fails) {
      error_ = state_.open_error;
      return nullptr;
    }
    info.fill(0);
    std::uint32_t in_size = 64;
    std::memcpy(info.data() + 28, &in_size, 4);
    return std::make_unique<FakeUsbDevice>(state_);
  }
  UsbError LastError() const override { return error_; }
  std::unique_ptr<UsbEventWatch> WatchEvents(std::uint32_t actions, std::uint32_t vendor_id,
                                             std::uint32_t product_id, std::uint32_t unique_id) override {
    state_.watch_requests.push_back({actions, vendor_id, product_id, unique_id});
    if (!state_.events_supported) return nullptr;
    return std::make_unique<FakeEventWatch>(state_);
  }

  std::uint32_t last_scan_vendor = 0;
  std::uint32_t last_scan_product = 0;

 private:
  FakeUsbState& state_;
  UsbError error_;
};

class FakeUsbSystem final : public UsbSystem {
 public:
  explicit FakeUsbSystem(FakeUsbState& state) : state_(state) {}
  UsbDriverStatus OpenDriver(std::unique_ptr<UsbDriver>& driver) override {
    ++state_.driver_opens;
    if (state_.driver_status == UsbDriverStatus::kOpen) driver = std::make_unique<FakeUsbDriver>(state_);
    return state_.driver_status;
  }

 private:
  FakeUsbState& state_;
};

}  // namespace vk605::testing
