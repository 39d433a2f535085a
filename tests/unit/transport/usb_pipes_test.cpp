#include "transport/usb_pipes.h"

#include <string>
#include <vector>

#include <array>
#include <cstring>
#include <memory>

#include <gtest/gtest.h>

#include "fakes/fake_usb.h"

namespace vk605 {
namespace {

TEST(PipeReply, DropsTheTwoStatusBytesOfEveryTransfer) {
  PipeReply reply;
  reply.AddTransfer("st<0");
  reply.AddTransfer("st");  // only the status bytes: nothing to add
  reply.AddTransfer("st0>");
  EXPECT_EQ(reply.Text(), "<00>");
  EXPECT_TRUE(reply.IsComplete());
}

TEST(PipeReply, IsCompleteOnlyWhenTheTextEndsWithTheClosingBracket) {
  PipeReply reply;
  EXPECT_FALSE(reply.IsComplete());
  reply.AddTransfer("ab<00> ");
  EXPECT_EQ(reply.Text(), "<00> ");
  EXPECT_FALSE(reply.IsComplete());
  reply.AddTransfer("xy>");
  EXPECT_TRUE(reply.IsComplete());
}

TEST(UsbPipes, ProcessDataCopiesUpToTheFirstZero) {
  const char data[] = {'R', 'M', '\0', 'X'};
  char text[UsbPipes::kTextSize];
  EXPECT_EQ(UsbPipes::ProcessData(data, sizeof(data), text), 1);
  EXPECT_STREQ(text, "RM");
}

TEST(UsbPipes, ProcessDataStopsOneByteShortOfTheTextBuffer) {
  std::vector<char> data(UsbPipes::kTextSize + 10, 'a');
  std::vector<char> text(UsbPipes::kTextSize, 'z');
  EXPECT_EQ(UsbPipes::ProcessData(data.data(), static_cast<unsigned>(data.size()), text.data()), 1);
  EXPECT_EQ(std::string(text.data()), std::string(UsbPipes::kTextSize - 1, 'a'));
}

TEST(UsbPipes, ProcessDataOfNothingOrWithoutBuffers) {
  char text[4] = "old";
  EXPECT_EQ(UsbPipes::ProcessData("ab", 0, text), 0);
  EXPECT_STREQ(text, "old");
  EXPECT_EQ(UsbPipes::ProcessData(nullptr, 2, text), 1);
  EXPECT_EQ(UsbPipes::ProcessData("ab", 2, nullptr), 1);
  EXPECT_STREQ(text, "old");
}

TEST(UsbPipes, WithoutTheDriverNothingIsCountedOrOpened) {
  EXPECT_EQ(UsbPipes::CountDevices(NoUsb(), 0x0971, 0), 0);
  EXPECT_EQ(UsbPipes::ErrorText(), "Failed opening WinDriver device\n");
  EXPECT_EQ(UsbPipes::Open(NoUsb(), 1, 1, 0, 0), nullptr);
  char buffer[8];
  EXPECT_EQ(UsbPipes::ReadPipe82(nullptr, buffer, sizeof buffer), -1);
  EXPECT_EQ(UsbPipes::WritePipe02(nullptr, buffer, sizeof buffer), -1);
  EXPECT_EQ(UsbPipes::ResetPipe(nullptr, 0x82), -1);
  EXPECT_EQ(UsbPipes::PurgeTransmitBuffer(nullptr), 1);
}

class UsbPipesFake : public ::testing::Test {
 protected:
  UsbPipesFake() : state_(clock_), system_(state_) {}
  testing::FakeClock clock_;
  testing::FakeUsbState state_;
  testing::FakeUsbSystem system_;
};

TEST_F(UsbPipesFake, CountsTheScannedDevices) {
  EXPECT_EQ(UsbPipes::CountDevices(system_, 0x0971, 0), 0);
  EXPECT_EQ(UsbPipes::ErrorText(), "No devices found\n");
  state_.AddDevice(0x0101, true);
  state_.AddDevice(0x0102, false);
  EXPECT_EQ(UsbPipes::CountDevices(system_, 0x0971, 0), 2);
  state_.driver_status = UsbDriverStatus::kWrongVersion;
  EXPECT_EQ(UsbPipes::CountDevices(system_, 0x0971, 0), 0);
  EXPECT_EQ(UsbPipes::ErrorText(), "Incorrect WinDriver version\n");
}

TEST_F(UsbPipesFake, OpenFailureLeavesItsText) {
  state_.open_fails = true;
  EXPECT_EQ(UsbPipes::Open(system_, 0x0101, 0, 0, 0), nullptr);
  EXPECT_EQ(UsbPipes::ErrorText(), "Could not open device\n");
  EXPECT_EQ(state_.open_devices, 0);
}

TEST_F(UsbPipesFake, TransfersUseTheirPipesAndTimeOuts) {
  std::unique_ptr<UsbPipeDevice> device = UsbPipes::Open(system_, 0x0101, 0, 0, 0);
  ASSERT_NE(device, nullptr);
  std::uint32_t word7 = 0;
  std::memcpy(&word7, device->info.data() + 28, 4);
  EXPECT_EQ(word7, 64u);
  const char command[] = "BR\r";
  EXPECT_EQ(UsbPipes::WritePipe02(device.get(), command, 3), 3);
  EXPECT_EQ(state_.writes, std::vector<std::string>{"BR\r"});
  state_.QueueReply("<00>");
  char buffer[16] = {};
  EXPECT_EQ(UsbPipes::ReadPipe82(device.get(), buffer, sizeof buffer), 6);
  EXPECT_EQ(UsbPipes::ReadPipe82(device.get(), buffer, sizeof buffer), -1);
  EXPECT_EQ(UsbPipes::LastError(device.get()).name, "LIBUSB_ERROR_TIMEOUT");
  EXPECT_EQ(state_.read_timeouts, (std::vector<std::uint32_t>{1000, 1000}));
  EXPECT_EQ(state_.write_timeouts, std::vector<std::uint32_t>{30000});
  EXPECT_EQ(UsbPipes::ResetPipe(device.get(), 0x82), 1);
  state_.failing_pipe_resets = {0x02};
  EXPECT_EQ(UsbPipes::ResetPipe(device.get(), 0x02), -1);
  EXPECT_EQ(UsbPipes::StopTransfer(device.get(), 0x82), 1);
  EXPECT_EQ(state_.halts, std::vector<std::uint32_t>{0x82});
  EXPECT_EQ(UsbPipes::ResetDevice(device.get()), 1);
}

TEST_F(UsbPipesFake, PurgeTransmitSendsItsRequestAndReturns0) {
  std::unique_ptr<UsbPipeDevice> device = UsbPipes::Open(system_, 0x0101, 0, 0, 0);
  ASSERT_NE(device, nullptr);
  EXPECT_EQ(UsbPipes::PurgeTransmitBuffer(device.get()), 0);
  ASSERT_EQ(state_.control_setups.size(), 1u);
  EXPECT_EQ(state_.control_setups[0], (std::array<std::uint8_t, 8>{0x40, 0x00, 0x02, 0, 0, 0, 0, 0}));
  // A refused request is still reported as sent.
  state_.failing_requests = {2};
  EXPECT_EQ(UsbPipes::PurgeTransmitBuffer(device.get()), 0);
}

}  // namespace
}  // namespace vk605
