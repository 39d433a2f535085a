#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vk605 {

// Checks and parsers of instrument replies. Pure functions on the reply text, no I/O.

// The first non-empty line: leading CR/LF skipped, cut at the next CR or LF ("" when there is none).
std::string FirstReplyLine(std::string_view reply);

// The serial-number line: the reply from its very start up to the first CR or LF that follows a character
// other than CR and LF (leading line ends stay part of it); empty when the reply holds only line ends.
std::optional<std::string> SerialNumberLine(std::string_view reply);

// True when a serial-number reply shows that an instrument answered: exactly two complete CR LF lines,
// nothing but printable ASCII between the line ends, and some text. A read that timed out, a port that
// floods noise and a reply of bare line ends all fail it.
bool IdentifiesInstrument(std::string_view reply);

// "01XD" answers "00..." when the instrument is calibrated.
bool ReportsCalibrated(std::string_view reply);

// "RM" and the trigger acknowledgement begin "<00>" when the instrument accepted the measurement.
bool IsAccepted(std::string_view reply);

// Number of spectral points: 40 from 360 to 750 nm; the instrument measures 31 of them (400 to 700 nm).
inline constexpr int kSpectrumPoints = 40;
inline constexpr int kMeasuredPoints = 31;

// Reads the 31 percentages of a spectral reply into 40 reflectance factors: each value is the field of
// six characters around its decimal point, clamped to at least 0.001 % and divided by 100; 360-390 nm
// copy 400 nm and 710-750 nm copy 700 nm. False (values untouched) unless all 31 values read.
bool ParseSpectralReply(std::string_view reply, double* values);

}  // namespace vk605
