#include "platform/win32/serial_device_dcb.h"

namespace vk605 {

namespace {

constexpr unsigned Bit(std::uint32_t flags, int position) {
  return (flags >> position) & 1u;
}

}  // namespace

std::uint32_t DcbFlagWord(const DCB& dcb) {
  std::uint32_t flags = 0;
  flags |= std::uint32_t{dcb.fBinary} << 0;
  flags |= std::uint32_t{dcb.fParity} << 1;
  flags |= std::uint32_t{dcb.fOutxCtsFlow} << 2;
  flags |= std::uint32_t{dcb.fOutxDsrFlow} << 3;
  flags |= std::uint32_t{dcb.fDtrControl} << 4;  // two bits
  flags |= std::uint32_t{dcb.fDsrSensitivity} << 6;
  flags |= std::uint32_t{dcb.fTXContinueOnXoff} << 7;
  flags |= std::uint32_t{dcb.fOutX} << 8;
  flags |= std::uint32_t{dcb.fInX} << 9;
  flags |= std::uint32_t{dcb.fErrorChar} << 10;
  flags |= std::uint32_t{dcb.fNull} << 11;
  flags |= std::uint32_t{dcb.fRtsControl} << 12;  // two bits
  flags |= std::uint32_t{dcb.fAbortOnError} << 14;
  flags |= std::uint32_t{dcb.fDummy2} << 15;  // seventeen bits
  return flags;
}

void SetDcbFlagWord(DCB& dcb, std::uint32_t flags) {
  dcb.fBinary = Bit(flags, 0);
  dcb.fParity = Bit(flags, 1);
  dcb.fOutxCtsFlow = Bit(flags, 2);
  dcb.fOutxDsrFlow = Bit(flags, 3);
  dcb.fDtrControl = (flags >> 4) & 3u;
  dcb.fDsrSensitivity = Bit(flags, 6);
  dcb.fTXContinueOnXoff = Bit(flags, 7);
  dcb.fOutX = Bit(flags, 8);
  dcb.fInX = Bit(flags, 9);
  dcb.fErrorChar = Bit(flags, 10);
  dcb.fNull = Bit(flags, 11);
  dcb.fRtsControl = (flags >> 12) & 3u;
  dcb.fAbortOnError = Bit(flags, 14);
  dcb.fDummy2 = flags >> 15;
}

void ApplyLineSettings(const LineSettings& settings, DCB& dcb) {
  dcb.DCBlength = sizeof(DCB);
  dcb.BaudRate = settings.baud_rate;
  dcb.ByteSize = settings.byte_size;
  dcb.Parity = settings.parity;
  dcb.StopBits = settings.stop_bits;
  SetDcbFlagWord(dcb, settings.flags);
  dcb.XonLim = settings.xon_limit;
  dcb.XoffLim = settings.xoff_limit;
}

void ReadLineSettings(const DCB& dcb, LineSettings& settings) {
  settings.baud_rate = dcb.BaudRate;
  settings.byte_size = dcb.ByteSize;
  settings.parity = dcb.Parity;
  settings.stop_bits = dcb.StopBits;
  settings.flags = DcbFlagWord(dcb);
  settings.xon_limit = dcb.XonLim;
  settings.xoff_limit = dcb.XoffLim;
}

}  // namespace vk605
