#pragma once

#include <string>
#include <string_view>

#include "sim_settings.h"

namespace vk605::sim {

// Reply texts of the simulated instrument. Every reply is made of CR LF lines, with the number of lines
// the driver counts for that command.
inline constexpr std::string_view kAcknowledgeLine = "<00>\r\n";
inline constexpr std::string_view kRefusedLine = "<01>\r\n";
inline constexpr std::string_view kPromptLine = ">\r\n";
inline constexpr std::string_view kUnknownCommandLine = "ERROR:  unknown command\r\n";
// First lines of the two-line replies (the second line is the acknowledgement).
inline constexpr std::string_view kBaudRate = "9600";
inline constexpr std::string_view kAperture = "LAV";
inline constexpr std::string_view kCalibrated = "00";
inline constexpr std::string_view kUncalibrated = "01";

// Reply to the command named key (see SimSettings) in the instrument's present state.
std::string FormatReply(std::string_view key, const SimSettings& settings);

// The three-line spectral reply: 11 + 10 + 10 fields of "%6.2f" separated by one blank.
std::string FormatSpectrum(const Spectrum& spectrum, SpectrumForm form);

}  // namespace vk605::sim
