#include "transport/usb_link.h"

#include <array>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "fakes/fake_clock.h"
#include "fakes/fake_serial_devices.h"
#include "fakes/fake_usb.h"
#include "platform/file_text.h"
#include "platform/temp_directory.h"
#include "transport/comm_channel.h"

namespace vk605 {
namespace {

using testing::FakeClock;
using testing::FakeSerialDevices;
using testing::FakeUsbState;
using testing::FakeUsbSystem;

using SetupPacket = std::array<std::uint8_t, 8>;

class UsbLinkTest : public ::testing::Test {
 protected:
  UsbLinkTest() : state_(clock_), system_(state_), log_(clock_), link_(system_, clock_, log_, matcher_) {
    log_.StartLogFile(log_file_);
    link_.SetMessageSink([this](const char* text) { messages_.emplace_back(text); });
    matcher_.SetTerminator(">");
  }

  // The engine's rule: replies end in CR LF and hold a known number of lines.
  void CountLines(std::uint32_t lines, std::uint32_t timeout_ms = 500) {
    matcher_.SetTerminator("\r\n");
    matcher_.SetCountedText("\r\n");
    matcher_.SetRequiredCount(lines);
    matcher_.SetTimeout(timeout_ms);
  }

  void OpenOneBridge() {
    state_.AddDevice(0x0105, true);
    ASSERT_EQ(link_.OpenUsb(0), 0);
    state_.events.clear();
    state_.control_setups.clear();
  }

  std::string LogText() const { return testing::ReadBytes(log_file_); }
  bool Logged(const std::string& text) const {
    return LogText().find(":  " + text + "\r\n") != std::string::npos;
  }

  testing::TempDirectory directory_;
  std::string log_file_ = directory_.File("vk605.log");
  FakeClock clock_;
  FakeUsbState state_;
  FakeUsbSystem system_;
  DiagnosticsLog log_;
  ReplyMatcher matcher_;
  UsbLink link_;
  std::vector<std::string> messages_;
  char reply_[kReplyBufferSize] = {};
};

TEST(LinkTypeForPortName, OnlyUsbInAnyCaseSelectsTheBridge) {
  EXPECT_EQ(LinkTypeForPortName("USB"), LinkType::kUsb);
  EXPECT_EQ(LinkTypeForPortName("usb"), LinkType::kUsb);
  EXPECT_EQ(LinkTypeForPortName("uSb"), LinkType::kUsb);
  EXPECT_EQ(LinkTypeForPortName("USB:"), LinkType::kSerial);
  EXPECT_EQ(LinkTypeForPortName(" USB"), LinkType::kSerial);
  EXPECT_EQ(LinkTypeForPortName("/dev/ttyUSB0"), LinkType::kSerial);
  EXPECT_EQ(LinkTypeForPortName(""), LinkType::kSerial);
  EXPECT_EQ(LinkTypeForPortName("COM1:"), LinkType::kSerial);
}

// ---- OpenUsb and the selection rule ----

TEST_F(UsbLinkTest, NoDriverMeansNoDevice) {
  state_.driver_status = UsbDriverStatus::kCannotOpen;
  ::testing::internal::CaptureStdout();
  EXPECT_EQ(link_.OpenUsb(0), 31);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "Cannot open WinDriver device\n");
  EXPECT_FALSE(link_.IsOpen());
  EXPECT_TRUE(Logged("Failed to open USB connection"));
}

TEST_F(UsbLinkTest, WrongDriverVersionMeansNoDevice) {
  state_.driver_status = UsbDriverStatus::kWrongVersion;
  ::testing::internal::CaptureStdout();
  EXPECT_EQ(link_.OpenUsb(0), 31);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "Error - incorrect WinDriver version\n");
}

TEST_F(UsbLinkTest, EmptyScanMeansNoDeviceWithoutOpening) {
  EXPECT_EQ(link_.OpenUsb(0), 31);
  EXPECT_EQ(state_.scans, 1);
  EXPECT_TRUE(state_.opened_ids.empty());
  EXPECT_TRUE(Logged("Failed to open USB connection"));
}

TEST_F(UsbLinkTest, OpensTheFirstUsableDeviceByItsUniqueId) {
  state_.AddDevice(0x0101, false);
  state_.AddDevice(0x0102, true);
  state_.AddDevice(0x0103, true);
  EXPECT_EQ(link_.OpenUsb(0), 0);
  EXPECT_EQ(state_.opened_ids, std::vector<std::uint32_t>{0x0102});
  EXPECT_TRUE(link_.IsOpen());
  EXPECT_EQ(LogText().find("Lumen"), std::string::npos);
}

TEST_F(UsbLinkTest, WithoutAUsableDeviceTheFirstBridgeIsTriedAndLogged) {
  state_.AddDevice(0x0101, false);
  state_.AddDevice(0, true);
  EXPECT_EQ(link_.OpenUsb(0), 0);
  EXPECT_EQ(state_.opened_ids, std::vector<std::uint32_t>{0});
  // The text's own line end is written as CR LF like the entry's.
  EXPECT_NE(LogText().find(":  Could not find the Lumen k5 interface.\r\n\r\n\r\n"), std::string::npos);
}

TEST_F(UsbLinkTest, DeviceThatCannotBeOpenedGives31) {
  state_.AddDevice(0x0101, true);
  state_.open_fails = true;
  EXPECT_EQ(link_.OpenUsb(0), 31);
  EXPECT_FALSE(link_.IsOpen());
  EXPECT_TRUE(Logged("Failed to open USB connection"));
  // The system's reason follows.
  EXPECT_TRUE(Logged("USB: LIBUSB_ERROR_ACCESS (-3)"));
}

TEST_F(UsbLinkTest, OpenWhileOpenDoesNotScanAgain) {
  OpenOneBridge();
  EXPECT_EQ(link_.OpenUsb(0), 0);
  EXPECT_EQ(state_.scans, 1);
  EXPECT_EQ(state_.opened_ids.size(), 1u);
  EXPECT_EQ(link_.CloseUsb(), 0);
  EXPECT_EQ(state_.open_devices, 0);
  EXPECT_EQ(link_.CloseUsb(), 0);
}

// ---- ConfigureUsb ----

TEST_F(UsbLinkTest, ConfigurationSendsItsRequestsInOrder) {
  state_.AddDevice(0x0105, true);
  ASSERT_EQ(link_.OpenUsb(0), 0);
  EXPECT_EQ(state_.events,
            (std::vector<std::string>{"reset", "control 0 1", "control 0 2", "pipe 0", "pipe 2", "pipe 130",
                                      "control 3 7", "control 4 8", "control 2 0"}));
  EXPECT_EQ(state_.control_setups, (std::vector<SetupPacket>{{0x40, 0x00, 0x01, 0, 0, 0, 0, 0},
                                                             {0x40, 0x00, 0x02, 0, 0, 0, 0, 0},
                                                             {0x40, 0x03, 0x07, 0, 0, 0, 0, 0},
                                                             {0x40, 0x04, 0x08, 0, 0, 0, 0, 0},
                                                             {0x40, 0x02, 0x00, 0, 0, 0x01, 0, 0}}));
  EXPECT_TRUE(messages_.empty());
}

TEST_F(UsbLinkTest, EveryFailingConfigurationStepIsShownAndTheSequenceGoesOn) {
  state_.AddDevice(0x0105, true);
  state_.failing_requests = {1, 2, 3 * 16 + 7, 4 * 16 + 8, 2 * 16};
  state_.failing_pipe_resets = {0x00, 0x02, 0x82};
  ASSERT_EQ(link_.OpenUsb(0), 0);
  EXPECT_EQ(messages_,
            (std::vector<std::string>{"Unable to Purge Receive Buffer", "Unable to Purge Transmit Buffer",
                                      "Unable to Reset Control Pipe", "Unable to Reset Transmit Pipe",
                                      "Unable to Reset Receive Pipe", "Unable to Set Baud Rate",
                                      "Unable to set RTS/DTR", "Unable to Set Flow Control"}));
  EXPECT_TRUE(link_.IsOpen());
}

// ---- WriteUsb ----

TEST_F(UsbLinkTest, WriteWithoutDeviceOrTextFails) {
  EXPECT_EQ(link_.WriteUsb("BR\r"), 2);
  OpenOneBridge();
  EXPECT_EQ(link_.WriteUsb(""), 2);
  EXPECT_TRUE(state_.writes.empty());
  std::string text = LogText();
  std::size_t first = text.find(":  The handle to the device is NULL.\r\n");
  ASSERT_NE(first, std::string::npos);
  EXPECT_NE(text.find(":  The handle to the device is NULL.\r\n", first + 1), std::string::npos);
}

TEST_F(UsbLinkTest, WriteSendsTheTextWithoutItsNul) {
  OpenOneBridge();
  EXPECT_EQ(link_.WriteUsb("0101SM\r"), 0);
  EXPECT_EQ(state_.writes, std::vector<std::string>{"0101SM\r"});
  EXPECT_EQ(state_.write_timeouts, std::vector<std::uint32_t>{30000});
}

TEST_F(UsbLinkTest, FailedWriteIsLoggedWithTheSystemsReason) {
  OpenOneBridge();
  state_.write_fails = true;
  EXPECT_EQ(link_.WriteUsb("BR\r"), 2);
  EXPECT_TRUE(Logged("Timed out writing data to WritePipe02"));
  EXPECT_TRUE(Logged("USB: LIBUSB_ERROR_IO (-1)"));
}

// ---- ReadUsb ----

TEST_F(UsbLinkTest, ReadWithoutDeviceClearsTheBufferAndFails) {
  std::memset(reply_, 'x', sizeof reply_);
  EXPECT_EQ(link_.ReadUsb(reply_), 2);
  EXPECT_EQ(std::string(reply_, sizeof reply_), std::string(sizeof reply_, '\0'));
  EXPECT_TRUE(Logged("The handle to the device is NULL."));
}

TEST_F(UsbLinkTest, ReplyInSeveralTransfersLosesTwoBytesOfEach) {
  OpenOneBridge();
  CountLines(2);
  state_.QueueReply("VK605 ");
  state_.QueueReply("V1.07\r");
  state_.QueueReply("\n<00>\r\n");
  state_.QueueReply("unread");
  EXPECT_EQ(link_.ReadUsb(reply_), 0);
  EXPECT_STREQ(reply_, "VK605 V1.07\r\n<00>\r\n");
  EXPECT_EQ(state_.in_transfers.size(), 1u);
  EXPECT_EQ(state_.read_sizes, (std::vector<std::size_t>{8192, 8192, 8192}));
  EXPECT_EQ(state_.read_timeouts, (std::vector<std::uint32_t>{1000, 1000, 1000}));
}

TEST_F(UsbLinkTest, TransfersOfTwoBytesOrFewerAddNothing) {
  OpenOneBridge();
  CountLines(1);
  state_.in_transfers.push_back(std::string("\x31\x60", 2));
  state_.in_transfers.push_back(std::string("\x31", 1));
  state_.in_transfers.push_back(std::string(""));
  state_.QueueReply("<00>\r\n");
  EXPECT_EQ(link_.ReadUsb(reply_), 0);
  EXPECT_STREQ(reply_, "<00>\r\n");
  EXPECT_EQ(state_.read_sizes.size(), 4u);
}

TEST_F(UsbLinkTest, OnlyStatusBytesUntilTheTimeOutIsAnEmptyFailedRead) {
  OpenOneBridge();
  CountLines(1, 500);
  for (int i = 0; i < 600; ++i) state_.in_transfers.push_back(std::string("\x31\x60", 2));
  EXPECT_EQ(link_.ReadUsb(reply_), 2);
  EXPECT_STREQ(reply_, "");
  // One transfer per fake millisecond: the read gives up on the first check past 500 ms.
  EXPECT_EQ(state_.read_sizes.size(), 501u);
  EXPECT_TRUE(Logged("No data is available from ReadPipe82"));
}

TEST_F(UsbLinkTest, TheUnknownCommandReplyIsAFailure) {
  OpenOneBridge();
  matcher_.SetTerminator(">");
  state_.QueueReply("ERROR:  unknown command\n>");
  EXPECT_EQ(link_.ReadUsb(reply_), 2);
  EXPECT_STREQ(reply_, "ERROR:  unknown command\n>");
  EXPECT_TRUE(Logged("USB: the instrument does not know the command"));
  state_.QueueReply("ERROR: unknown command\n>");
  EXPECT_EQ(link_.ReadUsb(reply_), 0);
}

TEST_F(UsbLinkTest, AFailedTransferFailsTheReadThatStillCompletes) {
  OpenOneBridge();
  CountLines(1);
  state_.QueueReply("<0");
  state_.in_transfers.push_back(std::nullopt);
  state_.QueueReply("0>\r\n");
  EXPECT_EQ(link_.ReadUsb(reply_), 2);
  EXPECT_STREQ(reply_, "<00>\r\n");
  EXPECT_TRUE(Logged("Failed to read data from ReadPipe82"));
  EXPECT_TRUE(Logged("USB: LIBUSB_ERROR_NO_DEVICE (-4)"));
}

TEST_F(UsbLinkTest, ABridgeThatHasGoneEndsTheReadAtOnce) {
  OpenOneBridge();
  CountLines(1);
  state_.failed_transfer_gone = true;
  state_.QueueReply("<0");
  state_.in_transfers.push_back(std::nullopt);
  state_.QueueReply("0>\r\n");
  EXPECT_EQ(link_.ReadUsb(reply_), 2);
  EXPECT_STREQ(reply_, "<0");
  EXPECT_EQ(state_.read_sizes.size(), 2u);
  EXPECT_TRUE(Logged("USB: LIBUSB_ERROR_NO_DEVICE (-4)"));
  EXPECT_FALSE(Logged("No data is available from ReadPipe82"));
}

TEST_F(UsbLinkTest, TimeOutAfterAPartialReplyKeepsWhatArrived) {
  OpenOneBridge();
  CountLines(2, 500);
  state_.QueueReply("<00>\r\n");
  EXPECT_EQ(link_.ReadUsb(reply_), 2);
  EXPECT_STREQ(reply_, "<00>\r\n");
  EXPECT_TRUE(Logged("No data is available from ReadPipe82"));
  EXPECT_TRUE(Logged("USB: LIBUSB_ERROR_TIMEOUT (-7)"));
}

TEST_F(UsbLinkTest, OverlongReplyNeverWritesPastTheBuffer) {
  OpenOneBridge();
  CountLines(1);
  for (int i = 0; i < 3; ++i) state_.QueueReply(std::string(4000, 'a'));
  struct {
    char data[kReplyBufferSize];
    char guard[16];
  } buffer;
  std::memset(buffer.guard, 'G', sizeof buffer.guard);
  EXPECT_EQ(link_.ReadUsb(buffer.data), 2);
  EXPECT_EQ(::strnlen(buffer.data, kReplyBufferSize), kReplyBufferSize - 1);
  EXPECT_EQ(std::string(buffer.guard, sizeof buffer.guard), std::string(sizeof buffer.guard, 'G'));
}

// ---- The exchange of the channel over USB ----

class UsbChannelTest : public UsbLinkTest {
 protected:
  UsbChannelTest() : serial_(clock_), channel_(serial_, system_, clock_, log_) {
    channel_.SetLinkType(static_cast<std::int32_t>(LinkType::kUsb));
    channel_.SetTerminator("\r\n");
    channel_.SetCountedText("\r\n");
    state_.AddDevice(0x0105, true);
  }
  int Exchange(const char* command, std::uint32_t lines) {
    return channel_.Transact(command, 500, lines, reply_);
  }

  FakeSerialDevices serial_;
  CommChannel channel_;
};

TEST_F(UsbChannelTest, ExchangeWritesReadsAndClosesUnlessHeld) {
  state_.QueueReply("1.07\r\n");
  EXPECT_EQ(Exchange("SV\r", 1), 0);
  EXPECT_STREQ(reply_, "1.07\r\n");
  EXPECT_EQ(state_.writes, std::vector<std::string>{"SV\r"});
  EXPECT_EQ(state_.open_devices, 0);
  channel_.SetHoldPortOpen(1);
  state_.QueueReply("1.07\r\n");
  EXPECT_EQ(Exchange("SV\r", 1), 0);
  EXPECT_EQ(state_.open_devices, 1);
  EXPECT_EQ(serial_.open_attempts(), 0);
}

TEST_F(UsbChannelTest, StarReplyGives110AndLeavesTheCallersBufferAlone) {
  std::strcpy(reply_, "untouched");
  state_.QueueReply("*E03\r\n");
  EXPECT_EQ(Exchange("RM\r", 1), 110);
  EXPECT_STREQ(reply_, "untouched");
}

TEST_F(UsbChannelTest, FailedAttemptsAreRepeatedThreeTimes) {
  state_.write_fails = true;
  std::strcpy(reply_, "untouched");
  EXPECT_EQ(Exchange("BR\r", 2), 2);
  EXPECT_EQ(state_.writes.size(), 3u);
  EXPECT_STREQ(reply_, "untouched");
  // Each attempt reads afresh: the partial reply of the first is gone after the third.
  state_.write_fails = false;
  state_.QueueReply("<00>\r\n");
  EXPECT_EQ(Exchange("BR\r", 2), 2);
  EXPECT_EQ(state_.writes.size(), 6u);
  EXPECT_STREQ(reply_, "untouched");
}

TEST_F(UsbChannelTest, PartialReplyOfAFailedReadIsHandedBack) {
  state_.QueueReply("<00>\r\n");
  EXPECT_EQ(Exchange("", 2), 2);
  EXPECT_STREQ(reply_, "<00>\r\n");
}

TEST_F(UsbChannelTest, ReadOnlyExchangeReadsOnce) {
  EXPECT_EQ(Exchange("", 1), 2);
  EXPECT_TRUE(state_.writes.empty());
  EXPECT_EQ(state_.read_sizes.size(), 1u);
}

TEST_F(UsbChannelTest, ConfiguredBaudRateHasNoEffect) {
  channel_.SetLineBaudRate(9600);
  ASSERT_EQ(channel_.OpenPort("USB", 9600), 0);
  EXPECT_EQ(state_.control_setups[2], (SetupPacket{0x40, 0x03, 0x07, 0, 0, 0, 0, 0}));
  EXPECT_EQ(channel_.ClosePort(), 0);
  EXPECT_EQ(state_.open_devices, 0);
  EXPECT_EQ(serial_.open_attempts(), 0);
}

TEST_F(UsbChannelTest, ConfigurationOpenWithoutBridgeGives111) {
  state_.devices.clear();
  EXPECT_EQ(channel_.OpenPort("USB", 9600), 111);
  LineSettings line;
  line.baud_rate = 1234;
  EXPECT_EQ(channel_.GetDefaultLineSettings(line), 1);
  EXPECT_EQ(line.baud_rate, 1234u);
}

TEST_F(UsbChannelTest, UnaskedReadGoesToTheBridge) {
  channel_.SetHoldPortOpen(1);
  state_.QueueReply("1.07\r\n");
  ASSERT_EQ(Exchange("SV\r", 1), 0);
  state_.QueueReply("<00>\r\n");
  std::memset(reply_, 0, sizeof reply_);
  EXPECT_EQ(channel_.ReadUnasked(500, 3, reply_), 2);
  EXPECT_STREQ(reply_, "<00>\r\n");
  EXPECT_EQ(serial_.open_attempts(), 0);
}

}  // namespace
}  // namespace vk605
