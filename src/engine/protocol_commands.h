#pragma once

#include <array>
#include <cstdint>

namespace vk605 {

// One protocol command: its text (sent byte for byte), the number of CR LF lines that complete its
// reply, and the time the instrument is given to answer.
struct ProtocolCommand {
  const char* text;
  std::uint32_t reply_lines;
  std::uint32_t timeout_ms;
};

namespace command {
inline constexpr ProtocolCommand kWake{"\r", 1, 500};
inline constexpr std::array<ProtocolCommand, 8> kResetSteps{{
    {"0005CF\r", 1, 500},
    {"000CCF\r", 1, 500},
    {"0101SM\r", 1, 500},
    {"BR\r", 2, 500},  // the instrument answers BR with two lines
    {"0004CF\r", 1, 500},
    {"000BCF\r", 1, 500},
    {"1241CF\r", 1, 500},
    {"0108CF\r", 1, 500},
}};
inline constexpr ProtocolCommand kMeasuringMode{"0101SM\r", 1, 500};
inline constexpr ProtocolCommand kSerialNumber{"00SN\r", 2, 500};
inline constexpr ProtocolCommand kVersion{"SV\r", 2, 5000};
inline constexpr ProtocolCommand kCalibrationState{"01XD\r", 2, 500};
// The comma after the carriage return is part of the command as the instrument expects it.
inline constexpr ProtocolCommand kAperture{"AT\r,", 2, 500};
inline constexpr ProtocolCommand kCalibrationMode{"0601SM\r", 1, 500};
inline constexpr ProtocolCommand kMeasure{"RM\r", 1, 25000};
inline constexpr ProtocolCommand kSpectrumSpecularIncluded{"004GF\r", 3, 25000};
inline constexpr ProtocolCommand kSpectrumSpecularExcluded{"104GF\r", 3, 25000};
inline constexpr ProtocolCommand kTriggerArm{"\r", 1, 500};
}  // namespace command

}  // namespace vk605
