#pragma once

#include <cstdint>

#include "platform/serial_device.h"
#include "platform/win32/windows_headers.h"

namespace vk605 {

// The DCB's bit fields as one 32-bit word, bit 0 fBinary up to fAbortOnError at bit 14 and the reserved
// fDummy2 from bit 15, the layout the flag word of LineSettings uses.
std::uint32_t DcbFlagWord(const DCB& dcb);
void SetDcbFlagWord(DCB& dcb, std::uint32_t flags);

// Copies the line settings into a DCB; its characters (XON, XOFF, error, end of file, event) are left as
// they are, so a DCB read from the device keeps the device's.
void ApplyLineSettings(const LineSettings& settings, DCB& dcb);
void ReadLineSettings(const DCB& dcb, LineSettings& settings);

}  // namespace vk605
