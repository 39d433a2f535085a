#include "transport/comm_channel.h"

#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "fakes/fake_clock.h"
#include "fakes/fake_serial_devices.h"
#include "platform/file_text.h"
#include "platform/temp_directory.h"

namespace vk605 {
namespace {

using testing::FakeClock;
using testing::FakeSerialDevices;

class CommChannelTest : public ::testing::Test {
 protected:
  CommChannelTest() : fake_(clock_), log_(clock_), channel_(fake_, clock_, log_) {}

  // The configuration the command engine applies before its exchanges.
  void ConfigureSerial(std::int32_t hold = 0) {
    channel_.SetLinkType(static_cast<std::int32_t>(LinkType::kSerial));
    channel_.SetTerminator("\r\n");
    channel_.SetCountedText("\r\n");
    channel_.SetPortName("COM3:");
    channel_.SetHoldPortOpen(hold);
    channel_.SetPortTimeouts(0xFFFFFFFF, 0, 0, 0, 65000);
  }

  int Exchange(const char* command, std::uint32_t lines, std::uint32_t timeout_ms = 500) {
    channel_.SetRequiredCount(lines);
    return channel_.Transact(command, timeout_ms, reply_);
  }

  std::string LogText() const { return testing::ReadBytes(log_file_); }

  testing::TempDirectory directory_;
  std::string log_file_ = directory_.File("vk605.log");
  FakeClock clock_;
  FakeSerialDevices fake_;
  DiagnosticsLog log_;
  CommChannel channel_;
  char reply_[kReplyBufferSize] = {};
};

TEST_F(CommChannelTest, ConstructionSetsLinkTypeTimeoutAndTerminator) {
  EXPECT_EQ(channel_.GetLinkType(), 0);
  EXPECT_EQ(channel_.GetTimeout(), 10000u);
  EXPECT_STREQ(channel_.GetTerminator(), ">");
  EXPECT_EQ(channel_.GetLineBaudRate(), 38400u);
  EXPECT_EQ(channel_.GetPortName(), "COM1:");
}

TEST_F(CommChannelTest, NoLinkSendsNothingAndSucceeds) {
  std::strcpy(reply_, "untouched");
  EXPECT_EQ(Exchange("BR\r", 2), 0);
  EXPECT_EQ(fake_.open_attempts(), 0);
  EXPECT_TRUE(fake_.written().empty());
  EXPECT_STREQ(reply_, "untouched");
  EXPECT_EQ(channel_.GetTimeout(), 500u);
}

TEST_F(CommChannelTest, UnknownLinkTypeSendsNothingAndSucceeds) {
  channel_.SetLinkType(7);
  EXPECT_EQ(Exchange("BR\r", 2), 0);
  EXPECT_EQ(fake_.open_attempts(), 0);
}

// ---- serial link ----

TEST_F(CommChannelTest, SerialExchangeOpensWritesReadsAndCloses) {
  ConfigureSerial();
  fake_.Reply("0005CF\r", "<00>\r\n", 40);
  EXPECT_EQ(Exchange("0005CF\r", 1), 0);
  EXPECT_STREQ(reply_, "<00>\r\n");
  EXPECT_EQ(fake_.written(), std::vector<std::string>{"0005CF\r"});
  EXPECT_EQ(fake_.opened_names(), std::vector<std::string>{"COM3:"});
  EXPECT_EQ(fake_.close_count(), 1);
  EXPECT_FALSE(channel_.IsPortOpen());
  EXPECT_EQ(clock_.TickMs(), 40u);
}

TEST_F(CommChannelTest, SerialReadTimeOutAfterGoodWriteReturns0WithPartialReply) {
  ConfigureSerial();
  fake_.Reply("SV\r", "1.02\r\n");  // the second line never comes
  EXPECT_EQ(Exchange("SV\r", 2, 5000), 0);
  EXPECT_STREQ(reply_, "1.02\r\n");
  EXPECT_EQ(clock_.TickMs(), 5001u);
}

TEST_F(CommChannelTest, SerialReplyBeginningWithStarIsReturnedWith0) {
  ConfigureSerial();
  fake_.Reply("RM\r", "*E1\r\n");
  EXPECT_EQ(Exchange("RM\r", 1), 0);
  EXPECT_STREQ(reply_, "*E1\r\n");
}

TEST_F(CommChannelTest, SerialOpenFailureReturns2AndSendsNothing) {
  ConfigureSerial();
  fake_.FailOpen();
  EXPECT_EQ(Exchange("BR\r", 2), 2);
  EXPECT_TRUE(fake_.written().empty());
  // No handle was kept, so the next exchange tries again.
  fake_.FailOpen(false);
  fake_.Reply("BR\r", "a\r\nb\r\n");
  EXPECT_EQ(Exchange("BR\r", 2), 0);
  EXPECT_EQ(fake_.open_attempts(), 2);
}

TEST_F(CommChannelTest, SerialWriteFailureReturns2WithoutReading) {
  ConfigureSerial();
  fake_.FailClearErrors();
  std::strcpy(reply_, "untouched");
  EXPECT_EQ(Exchange("BR\r", 2), 2);
  EXPECT_STREQ(reply_, "untouched");
  EXPECT_EQ(fake_.close_count(), 1);
}

TEST_F(CommChannelTest, SerialMakesOneAttemptOnly) {
  ConfigureSerial();
  EXPECT_EQ(Exchange("BR\r", 2), 0);
  EXPECT_EQ(fake_.written(), std::vector<std::string>{"BR\r"});
}

TEST_F(CommChannelTest, ReadOnlyResultIsTheReadResult) {
  ConfigureSerial();
  fake_.Deliver("a\r\nb\r\nc\r\n", 100);
  EXPECT_EQ(Exchange("", 3), 0);
  EXPECT_STREQ(reply_, "a\r\nb\r\nc\r\n");
  EXPECT_TRUE(fake_.written().empty());

  EXPECT_EQ(Exchange("", 3), 2);  // nothing more arrives
  EXPECT_TRUE(fake_.written().empty());
}

TEST_F(CommChannelTest, ReadOnlyWithoutPortReturns31) {
  ConfigureSerial();
  channel_.SetPortName("");
  EXPECT_EQ(Exchange("", 3), 31);
  EXPECT_EQ(Exchange(nullptr, 3), 31);
  EXPECT_EQ(fake_.open_attempts(), 0);
}

TEST_F(CommChannelTest, EmptyPortNameReturns0AndSendsNothing) {
  ConfigureSerial();
  channel_.SetPortName("");
  std::strcpy(reply_, "untouched");
  EXPECT_EQ(Exchange("BR\r", 2), 0);
  EXPECT_EQ(fake_.open_attempts(), 0);
  EXPECT_TRUE(fake_.written().empty());
  EXPECT_STREQ(reply_, "untouched");
}

TEST_F(CommChannelTest, HoldPortOpenKeepsOnePortAcrossExchanges) {
  ConfigureSerial(1);
  fake_.Reply("\r", "\r\n");
  for (int i = 0; i < 3; ++i) EXPECT_EQ(Exchange("\r", 1), 0);
  EXPECT_EQ(fake_.open_count(), 1);
  EXPECT_EQ(fake_.close_count(), 0);
  EXPECT_TRUE(channel_.IsPortOpen());
  EXPECT_EQ(channel_.ClosePort(), 0);
  EXPECT_EQ(fake_.close_count(), 1);
}

// An instrument unplugged while the port is held open: the dead line is closed after the exchange, so the
// next exchange opens the device again instead of failing on the old descriptor forever.
TEST_F(CommChannelTest, HeldPortIsClosedWhenItsLineHangsUp) {
  ConfigureSerial(1);
  fake_.Reply("\r", ">\r\n");
  EXPECT_EQ(Exchange("\r", 1), 0);
  fake_.HangUp();
  EXPECT_EQ(Exchange("RM\r", 1), 0);  // the write went out; the read ends on the hang-up
  EXPECT_FALSE(channel_.IsPortOpen());
  EXPECT_FALSE(channel_.HasLineFailed());
  fake_.HangUp(false);
  EXPECT_EQ(Exchange("\r", 1), 0);
  EXPECT_STREQ(reply_, ">\r\n");
  EXPECT_EQ(fake_.open_count(), 2);
  EXPECT_TRUE(channel_.IsPortOpen());
}

TEST_F(CommChannelTest, HeldPortIsClosedWhenItsLineStateFails) {
  ConfigureSerial(1);
  fake_.Reply("\r", ">\r\n");
  EXPECT_EQ(Exchange("\r", 1), 0);
  fake_.FailClearErrors();
  EXPECT_EQ(Exchange("\r", 1), 2);
  EXPECT_FALSE(channel_.IsPortOpen());
  fake_.FailClearErrors(false);
  EXPECT_EQ(Exchange("\r", 1), 0);
  EXPECT_EQ(fake_.open_count(), 2);
}

// A reply that merely times out is no line failure: the held port stays open.
TEST_F(CommChannelTest, HeldPortStaysOpenAfterAReadTimeOut) {
  ConfigureSerial(1);
  EXPECT_EQ(Exchange("RM\r", 1), 0);
  EXPECT_TRUE(channel_.IsPortOpen());
  EXPECT_EQ(fake_.close_count(), 0);
}

TEST_F(CommChannelTest, WithoutHoldEveryExchangeOpensAndCloses) {
  ConfigureSerial(0);
  fake_.Reply("\r", "\r\n");
  for (int i = 0; i < 3; ++i) EXPECT_EQ(Exchange("\r", 1), 0);
  EXPECT_EQ(fake_.open_count(), 3);
  EXPECT_EQ(fake_.close_count(), 3);
}

TEST_F(CommChannelTest, OverlongSerialReplyNeverWritesPastTheBuffer) {
  ConfigureSerial();
  struct {
    char data[kReplyBufferSize];
    char guard[64];
  } buffer;
  std::memset(&buffer, 'G', sizeof buffer);
  fake_.Reply("004GF\r", std::string(10000, '9'));
  channel_.SetRequiredCount(3);
  // The write succeeded, so the exchange reports 0 with what fitted.
  EXPECT_EQ(channel_.Transact("004GF\r", 25000, buffer.data), 0);
  EXPECT_EQ(std::strlen(buffer.data), kReplyBufferSize - 1);
  EXPECT_EQ(std::string(buffer.guard, sizeof buffer.guard), std::string(sizeof buffer.guard, 'G'));
}

// ---- USB link ----

TEST_F(CommChannelTest, UsbWithoutDeviceReturns2AndLogs) {
  log_.StartLogFile(log_file_);
  channel_.SetLinkType(static_cast<std::int32_t>(LinkType::kUsb));
  std::strcpy(reply_, "untouched");
  EXPECT_EQ(Exchange("BR\r", 2), 2);
  EXPECT_EQ(Exchange("", 2), 2);
  EXPECT_STREQ(reply_, "untouched");
  EXPECT_EQ(fake_.open_attempts(), 0);
  std::string text = LogText();
  const std::string entry = "12/08/2026 10:30:00:  Failed to open USB connection\r\n\r\n";
  std::size_t first = text.find(entry);
  ASSERT_NE(first, std::string::npos);
  EXPECT_NE(text.find(entry, first + entry.size()), std::string::npos);
  EXPECT_EQ(text.find("The handle to the device is NULL."), std::string::npos);
}

TEST_F(CommChannelTest, UsbOperationsWithoutDevice) {
  log_.StartLogFile(log_file_);
  EXPECT_EQ(channel_.OpenUsb(0), 31);
  EXPECT_EQ(channel_.CloseUsb(), 0);
  EXPECT_EQ(channel_.WriteUsb("BR\r"), 2);
  std::memset(reply_, 'x', sizeof reply_);
  EXPECT_EQ(channel_.ReadUsb(reply_), 2);
  EXPECT_EQ(std::string(reply_, sizeof reply_), std::string(sizeof reply_, '\0'));
  std::string text = LogText();
  const std::string no_device = "12/08/2026 10:30:00:  The handle to the device is NULL.\r\n\r\n";
  std::size_t write_entry = text.find(no_device);
  ASSERT_NE(write_entry, std::string::npos);
  EXPECT_NE(text.find(no_device, write_entry + no_device.size()), std::string::npos);
}

}  // namespace
}  // namespace vk605
