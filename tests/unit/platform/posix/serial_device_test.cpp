#include "platform/serial_device.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <ostream>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "platform/clock.h"
#include "platform/posix/serial_device_path.h"
#include "platform/posix/serial_device_termios.h"
#include "platform/posix/unique_fd.h"
#include "platform/temp_directory.h"
#include "transport/serial_port.h"

namespace vk605 {
namespace {

// ---- port names ----

struct PathCase {
  const char* name;
  const char* path;
};

void PrintTo(const PathCase& c, std::ostream* out) {
  *out << '"' << c.name << '"';
}

class SerialDevicePathTest : public ::testing::TestWithParam<PathCase> {};

TEST_P(SerialDevicePathTest, MapsComNamesAndKeepsPaths) {
  EXPECT_EQ(SerialDevicePath(GetParam().name), GetParam().path);
}

INSTANTIATE_TEST_SUITE_P(
    Names, SerialDevicePathTest,
    ::testing::Values(PathCase{"COM1:", "/dev/ttyS0"}, PathCase{"COM1", "/dev/ttyS0"},
                      PathCase{"com12:", "/dev/ttyS11"}, PathCase{"Com3", "/dev/ttyS2"},
                      PathCase{"COM999999999", "/dev/ttyS999999998"}, PathCase{"COM0", "COM0"},
                      PathCase{"COM0:", "COM0:"}, PathCase{"COM01", "COM01"}, PathCase{"COM", "COM"},
                      PathCase{"COM:", "COM:"}, PathCase{"COM1::", "COM1::"}, PathCase{"COMx", "COMx"},
                      PathCase{"COM1 ", "COM1 "}, PathCase{"XCOM1", "XCOM1"},
                      PathCase{"COM1234567890", "COM1234567890"}, PathCase{"/dev/ttyUSB0", "/dev/ttyUSB0"},
                      PathCase{"/dev/pts/3", "/dev/pts/3"}, PathCase{"", ""}));

// ---- line speeds and settings ----

struct BaudCase {
  std::uint32_t requested;
  std::uint32_t used;
};

class NearestStandardBaudTest : public ::testing::TestWithParam<BaudCase> {};

TEST_P(NearestStandardBaudTest, PicksTheNearestStandardSpeed) {
  EXPECT_EQ(NearestStandardBaud(GetParam().requested), GetParam().used);
}

INSTANTIATE_TEST_SUITE_P(Speeds, NearestStandardBaudTest,
                         ::testing::Values(BaudCase{9600, 9600}, BaudCase{38400, 38400},
                                           BaudCase{115200, 115200}, BaudCase{110, 110},
                                           BaudCase{14400, 9600}, BaudCase{56000, 57600},
                                           BaudCase{128000, 115200}, BaudCase{256000, 230400},
                                           BaudCase{0, 9600}, BaudCase{1, 50},
                                           BaudCase{0xFFFFFFFF, 4000000}));

struct SettingsCase {
  const char* name;
  LineSettings requested;
  LineSettings read_back;
};

void PrintTo(const SettingsCase& c, std::ostream* out) {
  *out << c.name;
}

LineSettings Settings(std::uint32_t baud, std::uint8_t bits, std::uint8_t parity, std::uint8_t stops,
                      std::uint32_t flags = 0) {
  LineSettings s;
  s.baud_rate = baud;
  s.byte_size = bits;
  s.parity = parity;
  s.stop_bits = stops;
  s.flags = flags;
  return s;
}

class LineSettingsTest : public ::testing::TestWithParam<SettingsCase> {};

TEST_P(LineSettingsTest, ReadsBackWhatTheTerminalHolds) {
  termios attributes{};
  ApplyLineSettings(GetParam().requested, attributes);
  LineSettings out;
  out.xon_limit = 11;
  out.xoff_limit = 22;
  ReadLineSettings(attributes, out);
  const LineSettings& expected = GetParam().read_back;
  EXPECT_EQ(out.baud_rate, expected.baud_rate);
  EXPECT_EQ(out.byte_size, expected.byte_size);
  EXPECT_EQ(out.parity, expected.parity);
  EXPECT_EQ(out.stop_bits, expected.stop_bits);
  EXPECT_EQ(out.flags, expected.flags);
  EXPECT_EQ(out.xon_limit, 11);
  EXPECT_EQ(out.xoff_limit, 22);
  // Raw mode whatever the settings: no echo, no line editing, no translation, reads of at least a byte.
  EXPECT_EQ(attributes.c_lflag & (ECHO | ICANON | ISIG | IEXTEN), 0u);
  EXPECT_EQ(attributes.c_iflag & (ICRNL | INLCR | IGNCR | ISTRIP), 0u);
  EXPECT_EQ(attributes.c_oflag & OPOST, 0u);
  EXPECT_EQ(attributes.c_cflag & (CLOCAL | CREAD), tcflag_t{CLOCAL | CREAD});
  EXPECT_EQ(attributes.c_cc[VMIN], 1);
  EXPECT_EQ(attributes.c_cc[VTIME], 0);
}

INSTANTIATE_TEST_SUITE_P(
    Settings, LineSettingsTest,
    ::testing::Values(
        SettingsCase{"Default", Settings(9600, 8, 0, 0), Settings(9600, 8, 0, 0, 0x0001)},
        SettingsCase{"SevenEvenTwo", Settings(19200, 7, 2, 2), Settings(19200, 7, 2, 2, 0x0001)},
        SettingsCase{"SixOddOneAndAHalf", Settings(38400, 6, 1, 1), Settings(38400, 6, 1, 2, 0x0001)},
        SettingsCase{"FiveBits", Settings(1200, 5, 0, 0), Settings(1200, 5, 0, 0, 0x0001)},
        SettingsCase{"FourBitsGiveFive", Settings(1200, 4, 0, 0), Settings(1200, 5, 0, 0, 0x0001)},
        SettingsCase{"NineBitsGiveEight", Settings(1200, 9, 0, 0), Settings(1200, 8, 0, 0, 0x0001)},
        SettingsCase{"MarkParity", Settings(9600, 8, 3, 0), Settings(9600, 8, 3, 0, 0x0001)},
        SettingsCase{"SpaceParity", Settings(9600, 8, 4, 0), Settings(9600, 8, 4, 0, 0x0001)},
        SettingsCase{"UnknownParityIsNone", Settings(9600, 8, 9, 0), Settings(9600, 8, 0, 0, 0x0001)},
        SettingsCase{"OddBaudRounded", Settings(14400, 8, 0, 0), Settings(9600, 8, 0, 0, 0x0001)},
        SettingsCase{"DefaultFlagsNoFlowControl", Settings(9600, 8, 0, 0, 0x4801),
                     Settings(9600, 8, 0, 0, 0x0001)},
        SettingsCase{"CtsFlowGivesRtsCts", Settings(9600, 8, 0, 0, 0x0004), Settings(9600, 8, 0, 0, 0x2005)},
        SettingsCase{"RtsHandshakeGivesRtsCts", Settings(9600, 8, 0, 0, 0x2000),
                     Settings(9600, 8, 0, 0, 0x2005)},
        SettingsCase{"RtsToggleIsNoFlowControl", Settings(9600, 8, 0, 0, 0x3000),
                     Settings(9600, 8, 0, 0, 0x0001)},
        SettingsCase{"XonXoff", Settings(9600, 8, 0, 0, 0x0300), Settings(9600, 8, 0, 0, 0x0301)}),
    [](const ::testing::TestParamInfo<SettingsCase>& param_info) { return param_info.param.name; });

// ---- a real pseudo-terminal ----

// The master side of a pseudo-terminal, standing in for the instrument.
class Pty {
 public:
  Pty() : master_(::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC)) {
    if (master_.IsValid() && ::grantpt(master_.Get()) == 0 && ::unlockpt(master_.Get()) == 0) {
      const char* name = ::ptsname(master_.Get());
      if (name != nullptr) slave_path_ = name;
    }
  }
  const std::string& SlavePath() const { return slave_path_; }
  void Send(const std::string& bytes) {
    ASSERT_EQ(::write(master_.Get(), bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  }
  // Blocks until count bytes have come from the slave side (or a second has passed).
  std::string Receive(std::size_t count) {
    std::string bytes;
    while (bytes.size() < count) {
      pollfd entry{master_.Get(), POLLIN, 0};
      if (::poll(&entry, 1, 1000) <= 0) break;
      char chunk[256];
      ssize_t n = ::read(master_.Get(), chunk, std::min(sizeof chunk, count - bytes.size()));
      if (n <= 0) break;
      bytes.append(chunk, static_cast<std::size_t>(n));
    }
    return bytes;
  }
  void Close() { master_.Close(); }

 private:
  UniqueFd master_;
  std::string slave_path_;
};

// The text with every '@' made a NUL byte.
std::string WithNuls(std::string text) {
  std::replace(text.begin(), text.end(), '@', '\0');
  return text;
}

class PtySerialDeviceTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_FALSE(pty_.SlavePath().empty()); }

  std::unique_ptr<SerialHandle> OpenSlave() { return SystemSerialDevices().Open(pty_.SlavePath()); }

  // Waits until input has arrived and reports how much is waiting.
  std::size_t WaitingInput(SerialHandle& handle) {
    EXPECT_TRUE(handle.WaitForInput(1000));
    std::size_t waiting = 0;
    bool output_empty = false;
    EXPECT_TRUE(handle.ClearErrors(waiting, output_empty));
    return waiting;
  }

  Pty pty_;
};

TEST_F(PtySerialDeviceTest, ExchangesBytesBothWaysUntranslated) {
  std::unique_ptr<SerialHandle> handle = OpenSlave();
  ASSERT_NE(handle, nullptr);
  ASSERT_TRUE(handle->Write("0005CF\r", 7));
  EXPECT_EQ(pty_.Receive(7), "0005CF\r");

  pty_.Send("<00>\r\n");
  EXPECT_EQ(WaitingInput(*handle), 6u);
  char buffer[16] = {};
  EXPECT_EQ(handle->Read(buffer, sizeof buffer), 6);
  EXPECT_EQ(std::string(buffer, 6), "<00>\r\n");
  std::size_t waiting = 1;
  bool output_empty = false;
  ASSERT_TRUE(handle->ClearErrors(waiting, output_empty));
  EXPECT_EQ(waiting, 0u);
  EXPECT_TRUE(output_empty);
}

TEST_F(PtySerialDeviceTest, ReadReturnsNoBytesWhenNothingWaitsAndStopsAtCapacity) {
  std::unique_ptr<SerialHandle> handle = OpenSlave();
  ASSERT_NE(handle, nullptr);
  char buffer[4] = {};
  EXPECT_EQ(handle->Read(buffer, sizeof buffer), 0);
  EXPECT_TRUE(handle->WaitForInput(1));  // nothing arrives: a time-out, not a failure

  pty_.Send("abcdef");
  EXPECT_EQ(WaitingInput(*handle), 6u);
  EXPECT_EQ(handle->Read(buffer, 3), 3);
  EXPECT_EQ(std::string(buffer, 3), "abc");
  EXPECT_EQ(handle->Read(buffer, 0), 0);
}

TEST_F(PtySerialDeviceTest, OpensExclusively) {
  std::unique_ptr<SerialHandle> first = OpenSlave();
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(OpenSlave(), nullptr);
  if (::geteuid() != 0) {
    // TIOCEXCL keeps out other programs too (root is exempt from it).
    UniqueFd other(::open(pty_.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC));
    EXPECT_FALSE(other.IsValid());
  }
  first.reset();
  // Closing ends the exclusive mode, so the port opens again while the other end stays open.
  EXPECT_NE(OpenSlave(), nullptr);
  UniqueFd plain(::open(pty_.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC));
  EXPECT_TRUE(plain.IsValid());
}

TEST_F(PtySerialDeviceTest, RefusesWhatIsNotATerminal) {
  testing::TempDirectory directory;
  std::string file = directory.File("plain");
  UniqueFd created(::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
  ASSERT_TRUE(created.IsValid());
  EXPECT_EQ(SystemSerialDevices().Open(file), nullptr);
  EXPECT_EQ(SystemSerialDevices().Open(directory.File("missing")), nullptr);
  EXPECT_EQ(SystemSerialDevices().Open(""), nullptr);
}

TEST_F(PtySerialDeviceTest, DetectsHangUpWhenTheOtherEndCloses) {
  std::unique_ptr<SerialHandle> handle = OpenSlave();
  ASSERT_NE(handle, nullptr);
  pty_.Send("late\r\n");
  EXPECT_EQ(WaitingInput(*handle), 6u);
  pty_.Close();
  // The hang-up throws the waiting input away; every later request fails.
  EXPECT_FALSE(handle->WaitForInput(60000));
  char buffer[8];
  EXPECT_EQ(handle->Read(buffer, sizeof buffer), -1);
  std::size_t waiting = 0;
  bool output_empty = false;
  EXPECT_FALSE(handle->ClearErrors(waiting, output_empty));
  EXPECT_FALSE(handle->Write("BR\r", 3));
}

TEST_F(PtySerialDeviceTest, AppliesAndReportsLineSettings) {
  std::unique_ptr<SerialHandle> handle = OpenSlave();
  ASSERT_NE(handle, nullptr);
  ASSERT_TRUE(handle->SetLineSettings(Settings(19200, 7, 2, 2, 0x4801)));
  LineSettings out;
  ASSERT_TRUE(handle->GetLineSettings(out));
  EXPECT_EQ(out.baud_rate, 19200u);
  // Linux keeps a pseudo-terminal at 8 bits without parity whatever is asked.
  EXPECT_EQ(out.byte_size, 8);
  EXPECT_EQ(out.parity, 0);
  EXPECT_EQ(out.stop_bits, 2);
  EXPECT_EQ(out.flags, 0x0001u);
  // The requests a pseudo-terminal has no use for still succeed.
  EXPECT_TRUE(handle->ClearDtr());
  EXPECT_TRUE(handle->SetQueueSizes(8192, 8192));
  EXPECT_TRUE(handle->SetEventMaskCharReceived(true));
  EXPECT_TRUE(handle->SetTimeouts(PortTimeouts{}));
}

TEST_F(PtySerialDeviceTest, NullStrippingDiscardsReceivedNulBytes) {
  std::unique_ptr<SerialHandle> handle = OpenSlave();
  ASSERT_NE(handle, nullptr);
  ASSERT_TRUE(handle->SetLineSettings(Settings(9600, 8, 0, 0, 0x4801)));
  pty_.Send(WithNuls("@<0@@0>\r\n@"));
  EXPECT_EQ(WaitingInput(*handle), 10u);
  char buffer[16] = {};
  EXPECT_EQ(handle->Read(buffer, sizeof buffer), 6);
  EXPECT_EQ(std::string(buffer, 6), "<00>\r\n");

  // Nothing but NULs reads as nothing arrived.
  pty_.Send(WithNuls("@@"));
  EXPECT_EQ(WaitingInput(*handle), 2u);
  EXPECT_EQ(handle->Read(buffer, sizeof buffer), 0);
  std::size_t waiting = 1;
  bool output_empty = false;
  ASSERT_TRUE(handle->ClearErrors(waiting, output_empty));
  EXPECT_EQ(waiting, 0u);
}

TEST_F(PtySerialDeviceTest, NulBytesAreKeptWithoutNullStripping) {
  std::unique_ptr<SerialHandle> handle = OpenSlave();
  ASSERT_NE(handle, nullptr);
  ASSERT_TRUE(handle->SetLineSettings(Settings(9600, 8, 0, 0, 0x4001)));
  pty_.Send(WithNuls("<0@0>"));
  EXPECT_EQ(WaitingInput(*handle), 5u);
  char buffer[16] = {};
  EXPECT_EQ(handle->Read(buffer, sizeof buffer), 5);
  EXPECT_EQ(std::string(buffer, 5), WithNuls("<0@0>"));
}

// With the default line settings a reply's stray NULs neither cut the reply text short nor count.
TEST_F(PtySerialDeviceTest, SerialPortReplyWithDefaultLineSettingsHoldsNoNul) {
  ReplyMatcher matcher;
  SerialPort port(SystemSerialDevices(), SystemClock(), matcher);
  port.SetPortName(pty_.SlavePath());
  matcher.SetTerminator("\r\n");
  matcher.SetCountedText("\r\n");
  matcher.SetRequiredCount(2);
  matcher.SetTimeout(60000);
  LineSettings settings;
  ASSERT_EQ(port.GetDefaultLineSettings(settings), 0);
  port.SetLineSettings(settings);
  ASSERT_EQ(port.OpenPort(pty_.SlavePath(), 9600), 0);
  pty_.Send(WithNuls("@VK605@ V1.07\r\n<00>\r\n@"));
  char reply[kReplyBufferSize];
  EXPECT_EQ(port.ReadPort(reply), 0);
  EXPECT_STREQ(reply, "VK605 V1.07\r\n<00>\r\n");
  EXPECT_EQ(port.ClosePort(), 0);
}

TEST_F(PtySerialDeviceTest, PurgeThrowsAwayArrivedInput) {
  std::unique_ptr<SerialHandle> handle = OpenSlave();
  ASSERT_NE(handle, nullptr);
  pty_.Send("stale");
  EXPECT_EQ(WaitingInput(*handle), 5u);
  ASSERT_TRUE(handle->Purge(kPurgeTxClear));
  std::size_t waiting = 0;
  bool output_empty = false;
  ASSERT_TRUE(handle->ClearErrors(waiting, output_empty));
  EXPECT_EQ(waiting, 5u);
  ASSERT_TRUE(handle->Purge(kPurgeRxClear));
  ASSERT_TRUE(handle->ClearErrors(waiting, output_empty));
  EXPECT_EQ(waiting, 0u);
  EXPECT_TRUE(handle->Purge(0));
}

// The serial-port layer over a real terminal: the read blocks on the device until the reply is complete.
TEST_F(PtySerialDeviceTest, SerialPortExchangesAReplyArrivingInPieces) {
  ReplyMatcher matcher;
  SerialPort port(SystemSerialDevices(), SystemClock(), matcher);
  matcher.SetTerminator("\r\n");
  matcher.SetCountedText("\r\n");
  matcher.SetRequiredCount(2);
  matcher.SetTimeout(60000);
  port.SetPortTimeouts(0xFFFFFFFF, 0, 0, 0, 65000);
  ASSERT_EQ(port.OpenPort(pty_.SlavePath(), 9600), 0);
  ASSERT_EQ(port.WritePort("SV\r"), 0);
  EXPECT_EQ(pty_.Receive(3), "SV\r");

  std::thread instrument([this] {
    pty_.Send("1.0");
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    pty_.Send("2\r\n>");
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    pty_.Send("\r\n");
  });
  char reply[kReplyBufferSize];
  LinkResult result = port.ReadPort(reply);
  instrument.join();
  EXPECT_EQ(result, 0);
  EXPECT_STREQ(reply, "1.02\r\n>\r\n");
  EXPECT_EQ(port.ClosePort(), 0);
}

}  // namespace
}  // namespace vk605
