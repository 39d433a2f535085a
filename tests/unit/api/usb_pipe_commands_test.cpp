#include "api/usb_pipe_commands.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "fakes/fake_clock.h"
#include "fakes/fake_usb.h"

namespace vk605 {
namespace {

// The transfers the listening thread's read function hands out, then -1.
std::deque<std::string> g_transfers;
std::atomic<int> g_halts{0};

int ScriptedRead(VK605UsbDevice*, void* buffer, unsigned size) {
  if (g_transfers.empty()) return -1;
  std::string next = g_transfers.front();
  g_transfers.pop_front();
  std::size_t count = next.size() < size ? next.size() : size;
  std::memcpy(buffer, next.data(), count);
  return static_cast<int>(count);
}
int CountHalt(VK605UsbDevice*) {
  return ++g_halts;
}
int Process(const void* data, unsigned count, void*, char* text) {
  return UsbPipes::ProcessData(data, count, text);
}

VK605ListenRecord ScriptedRecord() {
  VK605ListenRecord record{};
  record.read_function = reinterpret_cast<void*>(&ScriptedRead);
  record.halt_function = reinterpret_cast<void*>(&CountHalt);
  record.process_function = reinterpret_cast<void*>(&Process);
  record.transfer_size = 64;
  return record;
}

TEST(UsbPipeListening, JoinsTransfersUntilThePromptThenStopsAndHalts) {
  g_transfers = {"st<0", "st", "st0>", "stnever read"};
  g_halts = 0;
  VK605ListenRecord record = ScriptedRecord();
  record.stop = 1;  // cleared by the start
  ASSERT_NE(UsbPipeCommands::ListenToPipe(&record), nullptr);
  EXPECT_NE(record.thread, nullptr);
  // The thread sets the stop flag itself at the prompt; closing then waits for it and halts once more.
  while (std::atomic_ref<int>(record.stop).load() == 0)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  EXPECT_EQ(UsbPipeCommands::CloseListening(&record), 1);
  EXPECT_EQ(record.thread, nullptr);
  ASSERT_NE(record.reply, nullptr);
  EXPECT_STREQ(record.reply, "<00>");
  EXPECT_EQ(record.stop, 1);
  EXPECT_EQ(g_halts.load(), 2);
  EXPECT_EQ(g_transfers.size(), 1u);
  delete[] record.reply;
}

// The thread's body on the calling thread: a failed read ends it.
TEST(UsbPipeListening, FailedTransferEndsTheListeningWithItsText) {
  g_transfers = {"st<0"};
  g_halts = 0;
  VK605ListenRecord record = ScriptedRecord();
  ::testing::internal::CaptureStdout();
  EXPECT_EQ(UsbPipeCommands::ListenHandler(&record), 0u);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "Transfer failed\n");
  EXPECT_EQ(record.reply, nullptr);
  EXPECT_EQ(record.stop, 0);
  EXPECT_EQ(g_halts.load(), 0);
}

TEST(UsbPipeListening, CloseWithoutThreadReturns0) {
  VK605ListenRecord record{};
  EXPECT_EQ(UsbPipeCommands::CloseListening(&record), 0);
  EXPECT_EQ(UsbPipeCommands::CloseListening(nullptr), 0);
  EXPECT_EQ(UsbPipeCommands::ListenToPipe(nullptr), nullptr);
}

TEST(UsbPipeCommands, OpenHandsOutADeviceWithItsInformation) {
  testing::FakeClock clock;
  testing::FakeUsbState state(clock);
  testing::FakeUsbSystem system(state);
  UsbPipeCommands pipes(system);
  VK605UsbDevice* device = pipes.Open(0x0101, 0, 0, 0);
  ASSERT_NE(device, nullptr);
  EXPECT_EQ(UsbPipeCommands::TransferSize(device), 64u);
  unsigned char info[644];
  std::memset(info, 0xAA, sizeof info);
  UsbPipeCommands::GetDeviceInfo(device, info);
  EXPECT_EQ(info[28], 64);
  EXPECT_EQ(info[643], 0);
  EXPECT_EQ(state.open_devices, 1);
  UsbPipeCommands::Close(device);
  EXPECT_EQ(state.open_devices, 0);
  EXPECT_EQ(UsbPipeCommands::TransferSize(nullptr), 0u);
}

TEST(UsbPipeCommands, DriverHandleIsStoredOrMinusOne) {
  testing::FakeClock clock;
  testing::FakeUsbState state(clock);
  testing::FakeUsbSystem system(state);
  UsbPipeCommands pipes(system);
  std::int32_t record[4] = {7, 7, 7, 7};
  EXPECT_EQ(pipes.GetDriverHandle(record), 1);
  EXPECT_EQ(record[0], 1);
  state.driver_status = UsbDriverStatus::kCannotOpen;
  ::testing::internal::CaptureStdout();
  EXPECT_EQ(pipes.GetDriverHandle(record), 0);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "Cannot open WinDriver device\n");
  EXPECT_EQ(record[0], -1);
  EXPECT_EQ(record[1], 7);
}

// What the host's event callback received, on the event thread.
std::mutex g_event_mutex;
std::vector<VK605UsbEvent> g_events;
std::vector<void*> g_event_contexts;

void VK605_CALL RecordEvent(VK605UsbEvent* event, void* context) {
  std::lock_guard<std::mutex> lock(g_event_mutex);
  g_events.push_back(*event);
  g_event_contexts.push_back(context);
}

std::size_t RecordedEvents() {
  std::lock_guard<std::mutex> lock(g_event_mutex);
  return g_events.size();
}

// A driver of fakes; the events the callbacks record start afresh for each test.
class UsbPipeEvents : public ::testing::Test {
 protected:
  void SetUp() override {
    g_events.clear();
    g_event_contexts.clear();
  }

  testing::FakeClock clock;
  testing::FakeUsbState state{clock};
  testing::FakeUsbSystem system{state};
  UsbPipeCommands pipes{system};
};

TEST_F(UsbPipeEvents, RegisteredCallbackGetsEachEventUntilUnregistered) {
  state.events_supported = true;
  VK605UsbEventRegistration record{1, nullptr};
  ASSERT_EQ(pipes.RegisterEvent(&record, kUsbDeviceArrived | kUsbDeviceLeft, 0x0971, 0, 0x0305, &RecordEvent),
            1);
  ASSERT_NE(record.event, nullptr);
  ASSERT_EQ(state.watch_requests.size(), 1u);
  EXPECT_EQ(state.watch_requests[0], (std::array<std::uint32_t, 4>{3, 0x0971, 0, 0x0305}));
  state.QueueEvent(UsbDeviceEvent{kUsbDeviceArrived, 0x0971, 0x2007, 0x0305});
  state.QueueEvent(UsbDeviceEvent{kUsbDeviceLeft, 0x0971, 0x2007, 0x0305});
  for (int i = 0; i < 2000 && RecordedEvents() < 2; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  UsbPipeCommands::UnregisterEvent(&record);
  EXPECT_EQ(record.event, nullptr);
  EXPECT_TRUE(state.watch_stopped);
  std::lock_guard<std::mutex> lock(g_event_mutex);
  ASSERT_EQ(g_events.size(), 2u);
  EXPECT_EQ(g_events[0].action, 1u);
  EXPECT_EQ(g_events[1].action, 2u);
  EXPECT_EQ(g_events[0].product_id, 0x2007u);
  EXPECT_EQ(g_events[0].unique_id, 0x0305u);
  EXPECT_EQ(g_events[0].bus_type, 0xFFFFFFFEu);
  EXPECT_NE(g_events[0].handle, 0u);
  EXPECT_EQ(g_events[0].handle, g_events[1].handle);
  EXPECT_EQ(g_event_contexts[0], static_cast<void*>(&record));
  // Unregistering again does nothing.
  UsbPipeCommands::UnregisterEvent(&record);
}

// A callback that marks the record it got in its reserved word.
void VK605_CALL MarkEvent(VK605UsbEvent* event, void* context) {
  event->reserved = 0xABCD;
  RecordEvent(event, context);
}

TEST_F(UsbPipeEvents, DriverRecordsReachTheCallbackWholeAndGoBackAsItLeftThem) {
  state.events_supported = true;
  VK605UsbEventRegistration record{1, nullptr};
  ASSERT_EQ(pipes.RegisterEvent(&record, kUsbDeviceArrived, 0x0971, 0, 0, &MarkEvent), 1);
  UsbDeviceEvent pulled{kUsbDeviceArrived, 0x0971, 0x2007, 0x0305};
  pulled.has_record = true;
  pulled.record = {0x51, 1, 3, 9, 0xFFFFFFFE, 0, 1, 0x0971, 0x2007, 0x0305, 7, 2};
  state.QueueEvent(pulled);
  UsbDeviceEvent quiet = pulled;
  quiet.action = 0;
  quiet.record[1] = 0;  // no action: the host is not called, the driver still gets it back
  state.QueueEvent(quiet);
  for (int i = 0; i < 2000; ++i) {
    {
      std::lock_guard<std::mutex> lock(state.event_mutex);
      if (state.reported_events.size() >= 2) break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  UsbPipeCommands::UnregisterEvent(&record);
  std::lock_guard<std::mutex> lock(g_event_mutex);
  ASSERT_EQ(g_events.size(), 1u);
  UsbEventRecord got{};
  std::memcpy(got.data(), &g_events[0], sizeof got);
  EXPECT_EQ(got, (UsbEventRecord{0x51, 1, 3, 9, 0xFFFFFFFE, 0xABCD, 1, 0x0971, 0x2007, 0x0305, 7, 2}));
  EXPECT_EQ(g_event_contexts[0], static_cast<void*>(&record));
  ASSERT_EQ(state.reported_events.size(), 2u);
  EXPECT_TRUE(state.reported_events[0].has_record);
  EXPECT_EQ(state.reported_events[0].record, got);
  EXPECT_EQ(state.reported_events[1].record[1], 0u);
  EXPECT_EQ(state.reported_events[1].record[5], 0u);
}

TEST_F(UsbPipeEvents, NothingIsRegisteredWithoutCallbackDriverOrEventSupport) {
  VK605UsbEventRegistration record{1, nullptr};
  EXPECT_EQ(pipes.RegisterEvent(&record, kUsbDeviceArrived, 0x0971, 0, 0, nullptr), 0);
  EXPECT_EQ(pipes.RegisterEvent(nullptr, kUsbDeviceArrived, 0x0971, 0, 0, &RecordEvent), 0);
  EXPECT_TRUE(state.watch_requests.empty());
  // The driver delivers no events.
  EXPECT_EQ(pipes.RegisterEvent(&record, kUsbDeviceArrived, 0x0971, 0, 0, &RecordEvent), 0);
  EXPECT_EQ(state.watch_requests.size(), 1u);
  EXPECT_EQ(record.event, nullptr);
  state.driver_status = UsbDriverStatus::kCannotOpen;
  ::testing::internal::CaptureStdout();
  EXPECT_EQ(pipes.RegisterEvent(&record, kUsbDeviceArrived, 0x0971, 0, 0, &RecordEvent), 0);
  static_cast<void>(::testing::internal::GetCapturedStdout());
  EXPECT_EQ(record.event, nullptr);
  UsbPipeCommands::UnregisterEvent(&record);
  UsbPipeCommands::UnregisterEvent(nullptr);
}

}  // namespace
}  // namespace vk605
