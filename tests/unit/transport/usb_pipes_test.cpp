#include "transport/usb_pipes.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

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

TEST(UsbPipes, WithoutTheKernelDriverNoDeviceOpens) {
  EXPECT_EQ(UsbPipes::CountDevices(0x0403, 0x8372), 0);
  EXPECT_EQ(UsbPipes::ErrorText(), "Failed opening WinDriver device\n");
  EXPECT_FALSE(UsbPipes::Open(1, 1, 0, 0));
  EXPECT_EQ(UsbPipes::Transfer(), -1);
  EXPECT_EQ(UsbPipes::PurgeTransmitBuffer(false), 1);
  EXPECT_EQ(UsbPipes::PurgeTransmitBuffer(true), -1);
}

}  // namespace
}  // namespace vk605
