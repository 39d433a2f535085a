#include "pty_server.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>
#include <filesystem>

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "control_client.h"
#include "control_interpreter.h"
#include "control_server.h"
#include "sim_test_support.h"

namespace vk605::sim {
namespace {

using testing::CountLineEnds;
using testing::TempDirectory;

constexpr int kReplyTimeoutMs = 5000;

// Reads from fd until the text holds `lines` CR LF line ends, or nothing arrives for a long time.
std::string ReadLines(int fd, std::size_t lines) {
  std::string text;
  while (CountLineEnds(text) < lines) {
    pollfd watch{fd, POLLIN, 0};
    if (::poll(&watch, 1, kReplyTimeoutMs) <= 0) break;
    char buffer[512];
    const ssize_t length = ::read(fd, buffer, sizeof buffer);
    if (length <= 0) break;
    text.append(buffer, static_cast<std::size_t>(length));
  }
  return text;
}

bool WriteText(int fd, const std::string& text) {
  return ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

class SimPtyServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(directory_.IsValid());
    std::string error;
    ASSERT_TRUE(terminal_.Open(error)) << error;
    ASSERT_TRUE(terminal_.Link(directory_.File("port"), error)) << error;
    ASSERT_TRUE(control_.Listen(directory_.File("control"), error)) << error;
    ASSERT_TRUE(server_.IsReady(error)) << error;
    // As vk605-sim does: the control requests unplug and replug act on the terminal.
    interpreter_.SetPlugHandler([this](bool plugged) -> std::optional<std::string> {
      std::string plug_error;
      if (!plugged) {
        terminal_.Unplug();
      } else if (!terminal_.Replug(plug_error)) {
        return plug_error;
      }
      return std::nullopt;
    });
    thread_ = std::thread([this] { served_ = server_.Serve(serve_error_); });
  }

  void TearDown() override {
    server_.RequestStop();
    if (thread_.joinable()) thread_.join();
    EXPECT_TRUE(served_) << serve_error_;
  }

  TempDirectory directory_;  // first: it outlives the link and the socket inside it
  InstrumentModel model_;
  PseudoTerminal terminal_;
  ControlInterpreter interpreter_{model_, SimSettings{}};
  ControlServer control_{interpreter_};
  PtyServer server_{{model_, terminal_, &control_, nullptr, false}};
  std::thread thread_;
  bool served_ = false;
  std::string serve_error_;
};

// The driver's view: a serial device it opens, writes commands to and reads CR LF replies from; closed
// and opened again between exchanges, as with hold-port-open off.
TEST_F(SimPtyServerTest, ExchangesRepliesThroughTheSlaveDeviceAcrossReopens) {
  for (int round = 0; round < 2; ++round) {
    const int fd = ::open(directory_.File("port").c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(fd, 0) << "round " << round;
    ASSERT_TRUE(WriteText(fd, "00SN\r"));
    EXPECT_EQ(ReadLines(fd, 2), "12345\r\n<00>\r\n");
    ASSERT_TRUE(WriteText(fd, "AT\r,"));
    EXPECT_EQ(ReadLines(fd, 2), "LAV\r\n<00>\r\n");
    ::close(fd);
  }
  ControlClient client;
  ASSERT_TRUE(client.Connect(directory_.File("control")));
  EXPECT_EQ(client.Commands(), (std::vector<std::string>{"00SN\\r", "AT\\r,", "00SN\\r", "AT\\r,"}));
}

TEST_F(SimPtyServerTest, ControlChangesTakeEffectBeforeTheirAnswer) {
  ControlClient client;
  ASSERT_TRUE(client.Connect(directory_.File("control")));
  EXPECT_EQ(client.Request("refuse-measure"), "OK");
  EXPECT_EQ(client.Request("trigger-after-ms 0"), "OK");
  EXPECT_EQ(client.Request("bogus"), "ERROR unknown option: bogus");
  const int fd = ::open(terminal_.SlavePath().c_str(), O_RDWR | O_NOCTTY);
  ASSERT_GE(fd, 0);
  ASSERT_TRUE(WriteText(fd, "RM\r"));
  EXPECT_EQ(ReadLines(fd, 1), "<01>\r\n");
  // Armed with a zero delay: the unsolicited acknowledgement follows the reply to the bare CR.
  ASSERT_TRUE(WriteText(fd, "0101SM\r\r"));
  EXPECT_EQ(ReadLines(fd, 3), "<00>\r\n>\r\n<00>\r\n");
  ::close(fd);
  EXPECT_EQ(client.Request("state"), "OK calibrated=1 prompts=0 armed=0 commands=3");
}

// Unplugged, the driver's open port hangs up and the link leads nowhere; plugged in again, the link leads to
// a working line.
TEST_F(SimPtyServerTest, UnplugHangsUpTheLineAndReplugGivesANewOne) {
  ControlClient client;
  ASSERT_TRUE(client.Connect(directory_.File("control")));
  const int old_fd = ::open(directory_.File("port").c_str(), O_RDWR | O_NOCTTY);
  ASSERT_GE(old_fd, 0);
  ASSERT_TRUE(WriteText(old_fd, "00SN\r"));
  EXPECT_EQ(ReadLines(old_fd, 2), "12345\r\n<00>\r\n");
  EXPECT_EQ(client.Request("unplug"), "OK");
  pollfd watch{old_fd, POLLIN, 0};
  ASSERT_EQ(::poll(&watch, 1, kReplyTimeoutMs), 1);
  EXPECT_NE(watch.revents & POLLHUP, 0);
  EXPECT_LT(::open(directory_.File("port").c_str(), O_RDWR | O_NOCTTY), 0);
  // The link goes too: left behind, it would lead to whichever simulator is given that pty number next.
  EXPECT_FALSE(std::filesystem::is_symlink(std::filesystem::symlink_status(directory_.File("port"))));
  EXPECT_EQ(client.Request("replug"), "OK");
  EXPECT_EQ(client.Request("replug"), "OK");  // already plugged in: nothing changes
  const int new_fd = ::open(directory_.File("port").c_str(), O_RDWR | O_NOCTTY);
  ASSERT_GE(new_fd, 0);
  ASSERT_TRUE(WriteText(new_fd, "00SN\r"));
  EXPECT_EQ(ReadLines(new_fd, 2), "12345\r\n<00>\r\n");
  ::close(new_fd);
  ::close(old_fd);
}

TEST(SimPtyServerRecordTest, RecordFileHoldsEveryCommandEscaped) {
  TempDirectory directory;
  ASSERT_TRUE(directory.IsValid());
  const std::string record_path = directory.File("record");
  InstrumentModel model;
  PseudoTerminal terminal;
  RecordFile record(record_path);
  std::string error;
  ASSERT_TRUE(terminal.Open(error)) << error;
  PtyServer server({model, terminal, nullptr, &record, false});
  bool served = false;
  std::thread thread([&] { served = server.Serve(error); });
  const int fd = ::open(terminal.SlavePath().c_str(), O_RDWR | O_NOCTTY);
  EXPECT_GE(fd, 0);
  EXPECT_TRUE(WriteText(fd, "\r0101SM\rAT\r,"));
  EXPECT_EQ(ReadLines(fd, 4), ">\r\n<00>\r\nLAV\r\n<00>\r\n");
  ::close(fd);
  server.RequestStop();
  thread.join();
  EXPECT_TRUE(served) << error;
  // The record is written before the replies go out, so it is complete once the last reply has arrived.
  EXPECT_EQ(ReadFile(record_path), "\\r\n0101SM\\r\nAT\\r,\n");
}

}  // namespace
}  // namespace vk605::sim
