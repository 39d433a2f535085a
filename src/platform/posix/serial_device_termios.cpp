#include "platform/posix/serial_device_termios.h"

namespace vk605 {

namespace {

struct Speed {
  std::uint32_t baud;
  speed_t code;
};

// Ascending.
constexpr Speed kSpeeds[] = {
    {50, B50},           {75, B75},           {110, B110},         {134, B134},         {150, B150},
    {200, B200},         {300, B300},         {600, B600},         {1200, B1200},       {1800, B1800},
    {2400, B2400},       {4800, B4800},       {9600, B9600},       {19200, B19200},     {38400, B38400},
    {57600, B57600},     {115200, B115200},   {230400, B230400},
#ifdef B460800
    {460800, B460800},
#endif
#ifdef B921600
    {921600, B921600},
#endif
#ifdef B1000000
    {1000000, B1000000}, {1500000, B1500000}, {2000000, B2000000}, {3000000, B3000000}, {4000000, B4000000},
#endif
};

constexpr std::uint32_t kFallbackBaud = 9600;

speed_t SpeedCode(std::uint32_t baud) {
  for (const Speed& speed : kSpeeds) {
    if (speed.baud == baud) return speed.code;
  }
  return B9600;
}

std::uint32_t SpeedBaud(speed_t code) {
  for (const Speed& speed : kSpeeds) {
    if (speed.code == code) return speed.baud;
  }
  return 0;
}

tcflag_t CharacterSize(std::uint8_t byte_size) {
  switch (byte_size) {
    case 6:
      return CS6;
    case 7:
      return CS7;
    case 8:
      return CS8;
    default:
      return byte_size < 6 ? CS5 : CS8;
  }
}

std::uint8_t ByteSize(tcflag_t cflag) {
  switch (cflag & CSIZE) {
    case CS5:
      return 5;
    case CS6:
      return 6;
    case CS7:
      return 7;
    default:
      return 8;
  }
}

#ifdef CMSPAR
constexpr tcflag_t kStickParity = CMSPAR;
#else
constexpr tcflag_t kStickParity = 0;
#endif

#ifdef CRTSCTS
constexpr tcflag_t kHardwareFlow = CRTSCTS;
#else
constexpr tcflag_t kHardwareFlow = 0;
#endif

tcflag_t ParityFlags(std::uint8_t parity) {
  switch (parity) {
    case 1:
      return PARENB | PARODD;
    case 2:
      return PARENB;
    case 3:
      return kStickParity == 0 ? 0 : PARENB | PARODD | kStickParity;
    case 4:
      return kStickParity == 0 ? 0 : PARENB | kStickParity;
    default:
      return 0;
  }
}

std::uint8_t Parity(tcflag_t cflag) {
  if ((cflag & PARENB) == 0) return 0;
  bool odd = (cflag & PARODD) != 0;
  if (kStickParity != 0 && (cflag & kStickParity) != 0) return odd ? 3 : 4;
  return odd ? 1 : 2;
}

}  // namespace

std::uint32_t NearestStandardBaud(std::uint32_t baud) {
  if (baud == 0) return kFallbackBaud;
  std::uint32_t best = kSpeeds[0].baud;
  for (const Speed& speed : kSpeeds) {
    std::uint32_t distance = speed.baud > baud ? speed.baud - baud : baud - speed.baud;
    std::uint32_t best_distance = best > baud ? best - baud : baud - best;
    if (distance < best_distance) best = speed.baud;
  }
  return best;
}

void ApplyLineSettings(const LineSettings& settings, termios& attributes) {
  ::cfmakeraw(&attributes);
  attributes.c_cflag |= CLOCAL | CREAD;
  // With O_NONBLOCK an empty queue reads as EAGAIN, so a read of 0 bytes means the line hung up.
  attributes.c_cc[VMIN] = 1;
  attributes.c_cc[VTIME] = 0;

  speed_t speed = SpeedCode(NearestStandardBaud(settings.baud_rate));
  ::cfsetispeed(&attributes, speed);
  ::cfsetospeed(&attributes, speed);

  attributes.c_cflag &= ~(CSIZE | PARENB | PARODD | kStickParity | CSTOPB | kHardwareFlow);
  attributes.c_cflag |= CharacterSize(settings.byte_size) | ParityFlags(settings.parity);
  if (settings.stop_bits != 0) attributes.c_cflag |= CSTOPB;

  bool rts_handshake = (settings.flags & kDcbRtsControlMask) == kDcbRtsHandshake;
  if ((settings.flags & kDcbOutxCtsFlow) != 0 || rts_handshake) attributes.c_cflag |= kHardwareFlow;
  attributes.c_iflag &= ~(IXON | IXOFF);
  if ((settings.flags & kDcbOutX) != 0) attributes.c_iflag |= IXON;
  if ((settings.flags & kDcbInX) != 0) attributes.c_iflag |= IXOFF;
}

void ReadLineSettings(const termios& attributes, LineSettings& settings) {
  settings.baud_rate = SpeedBaud(::cfgetospeed(&attributes));
  settings.byte_size = ByteSize(attributes.c_cflag);
  settings.parity = Parity(attributes.c_cflag);
  settings.stop_bits = (attributes.c_cflag & CSTOPB) != 0 ? 2 : 0;
  settings.flags = kDcbBinary;
  if (kHardwareFlow != 0 && (attributes.c_cflag & kHardwareFlow) != 0) {
    settings.flags |= kDcbOutxCtsFlow | kDcbRtsHandshake;
  }
  if ((attributes.c_iflag & IXON) != 0) settings.flags |= kDcbOutX;
  if ((attributes.c_iflag & IXOFF) != 0) settings.flags |= kDcbInX;
}

}  // namespace vk605
