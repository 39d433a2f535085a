#include "transport/serial_port.h"

#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "fakes/fake_clock.h"
#include "fakes/fake_serial_devices.h"

namespace vk605 {
namespace {

using testing::FakeClock;
using testing::FakeSerialDevices;

constexpr std::uint32_t kPurgeAll = kPurgeTxAbort | kPurgeRxAbort | kPurgeTxClear | kPurgeRxClear;
constexpr std::uint32_t kPurgeClear = kPurgeTxClear | kPurgeRxClear;

class SerialPortTest : public ::testing::Test {
 protected:
  SerialPortTest() : fake_(clock_), port_(fake_, clock_, matcher_) {}

  // Opens "COM3:" and sets the engine's completion rule: lines ending in CR LF, count lines.
  void OpenForLines(std::uint32_t lines, std::uint32_t timeout_ms = 500) {
    ASSERT_EQ(port_.OpenPort("COM3:", 9600), 0);
    matcher_.SetTerminator("\r\n");
    matcher_.SetCountedText("\r\n");
    matcher_.SetRequiredCount(lines);
    matcher_.SetTimeout(timeout_ms);
  }

  FakeClock clock_;
  FakeSerialDevices fake_;
  ReplyMatcher matcher_;
  SerialPort port_;
  char reply_[kReplyBufferSize] = {};
};

TEST_F(SerialPortTest, StartsWithItsDefaults) {
  EXPECT_EQ(port_.GetLineBaudRate(), 38400u);
  EXPECT_EQ(port_.GetPortName(), "COM1:");
  EXPECT_EQ(port_.GetHoldPortOpen(), 0);
  EXPECT_FALSE(port_.IsPortOpen());
  ASSERT_EQ(port_.OpenPort(port_.GetPortName(), port_.GetLineBaudRate()), 0);
  PortTimeouts applied = fake_.timeouts();
  EXPECT_EQ(applied.read_interval, 5u);
  EXPECT_EQ(applied.read_total_multiplier, 5u);
  EXPECT_EQ(applied.read_total_constant, 0u);
  EXPECT_EQ(applied.write_total_multiplier, 50u);
  EXPECT_EQ(applied.write_total_constant, 0u);
}

// ---- OpenPort / ClosePort ----

TEST_F(SerialPortTest, OpenPortConfiguresTheDevice) {
  EXPECT_EQ(port_.SetPortTimeouts(0xFFFFFFFF, 0, 0, 0, 65000), 0);
  ASSERT_EQ(port_.OpenPort("COM7:", 9600), 0);
  EXPECT_TRUE(port_.IsPortOpen());
  EXPECT_EQ(fake_.opened_names(), std::vector<std::string>{"COM7:"});
  EXPECT_TRUE(fake_.event_mask_on());
  EXPECT_EQ(fake_.input_queue_size(), 8192u);
  EXPECT_EQ(fake_.output_queue_size(), 8192u);
  PortTimeouts applied = fake_.timeouts();
  EXPECT_EQ(applied.read_interval, 0xFFFFFFFFu);
  EXPECT_EQ(applied.write_total_multiplier, 0u);
  EXPECT_EQ(applied.write_total_constant, 65000u);
  // No line settings were handed over, so the device keeps its own.
  EXPECT_EQ(fake_.line_settings_applied(), 0);
  EXPECT_EQ(fake_.purges(), std::vector<std::uint32_t>{kPurgeClear});
}

TEST_F(SerialPortTest, OpenPortAppliesStoredLineSettings) {
  LineSettings settings;
  settings.baud_rate = 19200;
  settings.byte_size = 7;
  settings.parity = 2;
  settings.stop_bits = 2;
  port_.SetLineSettings(settings);
  ASSERT_EQ(port_.OpenPort("COM2", 0), 0);
  EXPECT_EQ(fake_.line_settings_applied(), 1);
  LineSettings applied = fake_.line_settings();
  EXPECT_EQ(applied.baud_rate, 19200u);
  EXPECT_EQ(applied.byte_size, 7);
  EXPECT_EQ(applied.parity, 2);
  EXPECT_EQ(applied.stop_bits, 2);
}

TEST_F(SerialPortTest, OpenPortFailureKeepsNoHandleAndTriesAgainNextTime) {
  fake_.FailOpen();
  EXPECT_EQ(port_.OpenPort("COM9:", 9600), 111);
  EXPECT_FALSE(port_.IsPortOpen());
  fake_.FailOpen(false);
  EXPECT_EQ(port_.OpenPort("COM9:", 9600), 0);
  EXPECT_TRUE(port_.IsPortOpen());
  EXPECT_EQ(fake_.open_attempts(), 2);
}

TEST_F(SerialPortTest, OpenPortWithEmptyNameSucceedsWithoutOpening) {
  EXPECT_EQ(port_.OpenPort("", 9600), 0);
  EXPECT_FALSE(port_.IsPortOpen());
  EXPECT_EQ(fake_.open_attempts(), 0);
}

TEST_F(SerialPortTest, OpenPortOnOpenPortKeepsTheOldSettings) {
  LineSettings first;
  first.baud_rate = 9600;
  port_.SetLineSettings(first);
  ASSERT_EQ(port_.OpenPort("COM3:", 9600), 0);

  LineSettings second;
  second.baud_rate = 115200;
  port_.SetLineSettings(second);
  port_.SetPortTimeouts(1, 2, 3, 4, 5);
  EXPECT_EQ(port_.OpenPort("COM4:", 115200), 0);
  EXPECT_EQ(fake_.open_attempts(), 1);
  EXPECT_EQ(fake_.line_settings().baud_rate, 9600u);
  EXPECT_EQ(fake_.timeouts().read_interval, 5u);

  // They take effect with the next open.
  EXPECT_EQ(port_.ClosePort(), 0);
  ASSERT_EQ(port_.OpenPort("COM4:", 115200), 0);
  EXPECT_EQ(fake_.line_settings().baud_rate, 115200u);
  EXPECT_EQ(fake_.timeouts().read_interval, 1u);
  EXPECT_EQ(fake_.timeouts().write_total_constant, 5u);
}

TEST_F(SerialPortTest, ClosePortWithoutPortReturns0) {
  EXPECT_EQ(port_.ClosePort(), 0);
  EXPECT_EQ(fake_.close_count(), 0);
}

TEST_F(SerialPortTest, ClosePortClearsMaskDropsDtrPurgesAndCloses) {
  ASSERT_EQ(port_.OpenPort("COM3:", 9600), 0);
  EXPECT_EQ(port_.ClosePort(), 0);
  EXPECT_FALSE(port_.IsPortOpen());
  EXPECT_FALSE(fake_.event_mask_on());
  EXPECT_EQ(fake_.dtr_cleared(), 1);
  EXPECT_EQ(fake_.purges().back(), kPurgeAll);
  EXPECT_EQ(fake_.close_count(), 1);
  EXPECT_FALSE(fake_.is_open());
}

// ---- GetDefaultLineSettings ----

TEST_F(SerialPortTest, DefaultLineSettingsOverwriteTheDeviceState) {
  LineSettings device;
  device.baud_rate = 115200;
  device.byte_size = 7;
  device.parity = 1;
  device.stop_bits = 2;
  device.flags = 0xFFFFFFFE;
  device.xon_limit = 10;
  device.xoff_limit = 20;
  fake_.SetDeviceLineSettings(device);
  port_.SetPortName("COM5:");

  LineSettings out;
  EXPECT_EQ(port_.GetDefaultLineSettings(out), 0);
  EXPECT_EQ(out.baud_rate, 9600u);
  EXPECT_EQ(out.byte_size, 8);
  EXPECT_EQ(out.parity, 0);
  EXPECT_EQ(out.stop_bits, 0);
  EXPECT_EQ(out.xon_limit, 0);
  EXPECT_EQ(out.xoff_limit, 8192);
  EXPECT_EQ(out.flags, 0xFFFFC801u);  // (0xFFFFFFFE & 0xFFFFC801) | 0x4801
  // The device was opened for the query only.
  EXPECT_EQ(fake_.opened_names(), std::vector<std::string>{"COM5:"});
  EXPECT_EQ(fake_.close_count(), 1);
  EXPECT_FALSE(port_.IsPortOpen());
}

TEST_F(SerialPortTest, DefaultLineSettingsKeepOnlyReservedBitsFromAPlainDevice) {
  LineSettings device;
  device.flags = 0x00003FFE;
  fake_.SetDeviceLineSettings(device);
  LineSettings out;
  EXPECT_EQ(port_.GetDefaultLineSettings(out), 0);
  EXPECT_EQ(out.flags, 0x4801u);
}

TEST_F(SerialPortTest, DefaultLineSettingsUseTheOpenPort) {
  ASSERT_EQ(port_.OpenPort("COM1:", 9600), 0);
  LineSettings out;
  EXPECT_EQ(port_.GetDefaultLineSettings(out), 0);
  EXPECT_EQ(fake_.open_attempts(), 1);
  EXPECT_TRUE(port_.IsPortOpen());
  EXPECT_EQ(fake_.close_count(), 0);
}

TEST_F(SerialPortTest, DefaultLineSettingsFailWithoutNameOrDevice) {
  LineSettings out;
  out.baud_rate = 1234;
  port_.SetPortName("");
  EXPECT_EQ(port_.GetDefaultLineSettings(out), 1);
  EXPECT_EQ(fake_.open_attempts(), 0);
  port_.SetPortName("COM8:");
  fake_.FailOpen();
  EXPECT_EQ(port_.GetDefaultLineSettings(out), 1);
  EXPECT_EQ(out.baud_rate, 1234u);
}

// ---- WritePort ----

TEST_F(SerialPortTest, WritePortWithoutPortWritesNothing) {
  EXPECT_EQ(port_.WritePort("BR\r"), 0);
  EXPECT_TRUE(fake_.written().empty());
}

TEST_F(SerialPortTest, WritePortPurgesBeforeWriting) {
  ASSERT_EQ(port_.OpenPort("COM3:", 9600), 0);
  fake_.Deliver("stale\r\n");
  EXPECT_EQ(port_.WritePort("BR\r"), 0);
  EXPECT_EQ(fake_.written(), std::vector<std::string>{"BR\r"});
  EXPECT_EQ(fake_.purges(), (std::vector<std::uint32_t>{kPurgeClear, kPurgeAll}));
  EXPECT_EQ(fake_.pending_input(), "");
}

TEST_F(SerialPortTest, WritePortFailsWhenTheLineStateCannotBeRead) {
  ASSERT_EQ(port_.OpenPort("COM3:", 9600), 0);
  fake_.FailClearErrors();
  EXPECT_EQ(port_.WritePort("BR\r"), 2);
  EXPECT_TRUE(fake_.written().empty());
}

TEST_F(SerialPortTest, WritePortGivesUpWhenOutputDoesNotDrainWithinTheWriteTimeout) {
  ASSERT_EQ(port_.OpenPort("COM3:", 9600), 0);  // write time-out: 50 ms per byte
  fake_.StallOutput();
  EXPECT_EQ(port_.WritePort("BR\r"), 2);
  EXPECT_EQ(fake_.written(), std::vector<std::string>{"BR\r"});
  EXPECT_GT(clock_.TickMs(), 150u);
}

// ---- ReadPort ----

TEST_F(SerialPortTest, ReadPortWithoutPortReturns31AndLeavesTheBuffer) {
  std::strcpy(reply_, "old");
  EXPECT_EQ(port_.ReadPort(reply_), 31);
  EXPECT_STREQ(reply_, "old");
}

TEST_F(SerialPortTest, ReadPortJoinsPiecesUntilComplete) {
  OpenForLines(2);
  std::strcpy(reply_, "old text");
  fake_.Deliver("00", 10);
  fake_.Deliver("\r\n>", 20);
  fake_.Deliver("\r\n", 30);
  EXPECT_EQ(port_.ReadPort(reply_), 0);
  EXPECT_STREQ(reply_, "00\r\n>\r\n");
  EXPECT_EQ(clock_.TickMs(), 30u);
}

TEST_F(SerialPortTest, ReadPortTimesOutWhenMoreLinesArriveThanRequired) {
  OpenForLines(1, 500);
  fake_.Deliver("00\r\n>\r\n");
  EXPECT_EQ(port_.ReadPort(reply_), 2);
  EXPECT_STREQ(reply_, "00\r\n>\r\n");
  EXPECT_EQ(clock_.TickMs(), 501u);
}

TEST_F(SerialPortTest, ReadPortWithoutCriteriaReturnsAfterOnePass) {
  ASSERT_EQ(port_.OpenPort("COM3:", 9600), 0);
  fake_.Deliver("ab");
  fake_.Deliver("cd", 5);
  EXPECT_EQ(port_.ReadPort(reply_), 0);
  EXPECT_STREQ(reply_, "ab");
  EXPECT_EQ(clock_.TickMs(), 0u);
}

TEST_F(SerialPortTest, ReadPortCompleteAtTheTimeOutStillSucceeds) {
  OpenForLines(1, 500);
  fake_.Deliver("<00>\r\n", 500);
  EXPECT_EQ(port_.ReadPort(reply_), 0);
  EXPECT_STREQ(reply_, "<00>\r\n");
}

TEST_F(SerialPortTest, ReadPortCompleteOnlyAfterTheTimeOutReturns2) {
  OpenForLines(1, 500);
  fake_.Deliver("<00>\r\n", 501);
  EXPECT_EQ(port_.ReadPort(reply_), 2);
  EXPECT_STREQ(reply_, "<00>\r\n");
}

TEST_F(SerialPortTest, ReadPortAsksForTheExpectedLength) {
  ASSERT_EQ(port_.OpenPort("COM3:", 9600), 0);
  matcher_.SetExpectedLength(5);
  fake_.Deliver("abcdefg");
  EXPECT_EQ(port_.ReadPort(reply_), 0);
  EXPECT_STREQ(reply_, "abcde");
  EXPECT_EQ(fake_.pending_input(), "fg");
}

TEST_F(SerialPortTest, ReadPortEndsAtOnceWhenTheDeviceFails) {
  OpenForLines(1, 500);
  fake_.FailRead();
  fake_.Deliver("x");
  EXPECT_EQ(port_.ReadPort(reply_), 2);
  EXPECT_EQ(clock_.TickMs(), 0u);
}

TEST_F(SerialPortTest, ReadPortEndsAtOnceOnHangUp) {
  OpenForLines(1, 500);
  fake_.HangUp();
  EXPECT_EQ(port_.ReadPort(reply_), 2);
  EXPECT_EQ(clock_.TickMs(), 0u);
}

TEST_F(SerialPortTest, ReadPortEndsWhenTheLineStateCannotBeRead) {
  OpenForLines(1, 500);
  fake_.FailClearErrors();
  EXPECT_EQ(port_.ReadPort(reply_), 2);
}

// A guard after a buffer of exactly kReplyBufferSize bytes shows any write past it.
struct GuardedBuffer {
  char data[kReplyBufferSize];
  char guard[64];
};

TEST_F(SerialPortTest, ReadPortStopsAtTheEndOfTheBuffer) {
  OpenForLines(1, 500);
  GuardedBuffer buffer;
  std::memset(&buffer, 'G', sizeof buffer);
  fake_.Deliver(std::string(9000, 'x'));
  EXPECT_EQ(port_.ReadPort(buffer.data), 2);
  EXPECT_EQ(std::strlen(buffer.data), kReplyBufferSize - 1);
  EXPECT_EQ(std::string(buffer.guard, sizeof buffer.guard), std::string(sizeof buffer.guard, 'G'));
  EXPECT_EQ(clock_.TickMs(), 0u);
}

TEST_F(SerialPortTest, ReadPortStopsAtTheEndOfTheBufferAcrossPieces) {
  OpenForLines(1, 500);
  GuardedBuffer buffer;
  std::memset(&buffer, 'G', sizeof buffer);
  fake_.Deliver(std::string(8000, 'x'));
  fake_.Deliver(std::string(191, 'y'), 10);
  fake_.Deliver("z\r\n", 20);
  EXPECT_EQ(port_.ReadPort(buffer.data), 2);
  EXPECT_EQ(std::strlen(buffer.data), kReplyBufferSize - 1);
  EXPECT_EQ(buffer.data[kReplyBufferSize - 2], 'y');
  EXPECT_EQ(std::string(buffer.guard, sizeof buffer.guard), std::string(sizeof buffer.guard, 'G'));
}

TEST_F(SerialPortTest, ReplyFillingTheBufferExactlyIsComplete) {
  OpenForLines(1, 500);
  GuardedBuffer buffer;
  std::memset(&buffer, 'G', sizeof buffer);
  fake_.Deliver(std::string(kReplyBufferSize - 3, 'x') + "\r\n");
  EXPECT_EQ(port_.ReadPort(buffer.data), 0);
  EXPECT_EQ(std::strlen(buffer.data), kReplyBufferSize - 1);
  EXPECT_EQ(buffer.guard[0], 'G');
}

}  // namespace
}  // namespace vk605
