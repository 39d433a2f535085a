#pragma once

#include <termios.h>

#include <cstdint>

#include "platform/serial_device.h"

namespace vk605 {

// DCB flag bits that have a termios counterpart.
inline constexpr std::uint32_t kDcbBinary = 0x0001;
inline constexpr std::uint32_t kDcbOutxCtsFlow = 0x0004;
inline constexpr std::uint32_t kDcbOutX = 0x0100;
inline constexpr std::uint32_t kDcbInX = 0x0200;
inline constexpr std::uint32_t kDcbRtsControlMask = 0x3000;
inline constexpr std::uint32_t kDcbRtsHandshake = 0x2000;
// Null stripping: received NUL bytes are discarded. Termios has no such switch; the handle drops them as
// it reads.
inline constexpr std::uint32_t kDcbNull = 0x0800;

// The standard line speed used for a requested baud rate: the speed itself when the system has it,
// otherwise the nearest one (the lower of two equally near); 0 is no speed here and gives 9600.
std::uint32_t NearestStandardBaud(std::uint32_t baud);

// Puts the terminal into raw mode for a serial line (no echo, no line editing, no translation; the
// modem lines ignored; a read returns what has arrived) with the given line settings. Byte sizes below 5
// give 5 and above 8 give 8; parity 3 (mark) and 4 (space) use stick parity where the system has it and
// none elsewhere; stop bits 1 (one and a half, which termios does not have) and 2 give two stop bits.
// From the flag word only flow control is taken: CTS output flow or RTS handshaking give RTS/CTS,
// XON/XOFF output and input give IXON and IXOFF.
void ApplyLineSettings(const LineSettings& settings, termios& attributes);

// The line settings the terminal is set to, in the terms of ApplyLineSettings. The flag word reports
// binary mode and the flow control; the XON and XOFF limits, which termios does not have, are left as
// they were.
void ReadLineSettings(const termios& attributes, LineSettings& settings);

}  // namespace vk605
