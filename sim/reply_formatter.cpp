#include "reply_formatter.h"

#include <array>
#include <cstdio>

namespace vk605::sim {

namespace {

// Fields per line of the spectral reply.
constexpr std::array<std::size_t, 3> kFieldsPerLine = {11, 10, 10};
// The short form stops after this many values.
constexpr std::size_t kShortSpectrumValues = 20;
// An unreadable field: it has a decimal point but no digits.
constexpr std::string_view kGarbageField = "  -.--";

std::string Field(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%6.2f", value);
  return text;
}

std::string FieldAt(const Spectrum& spectrum, SpectrumForm form, std::size_t index) {
  if (form == SpectrumForm::kGarbage) return std::string(kGarbageField);
  return Field(spectrum[index]);
}

std::size_t ValueCount(SpectrumForm form) {
  return form == SpectrumForm::kShort ? kShortSpectrumValues : kSpectrumValues;
}

bool IsPlainAcknowledged(std::string_view key) {
  static const std::array<std::string_view, 8> kKeys = {"0005CF", "000CCF", "0101SM", "0004CF",
                                                        "000BCF", "1241CF", "0108CF", "0601SM"};
  for (const std::string_view known : kKeys) {
    if (key == known) return true;
  }
  return false;
}

// Two-line replies: an information line followed by the acknowledgement.
std::string TwoLines(std::string_view first) {
  std::string reply(first);
  reply += "\r\n";
  reply += kAcknowledgeLine;
  return reply;
}

}  // namespace

std::string FormatSpectrum(const Spectrum& spectrum, SpectrumForm form) {
  const std::size_t values = ValueCount(form);
  std::string reply;
  std::size_t index = 0;
  for (const std::size_t fields : kFieldsPerLine) {
    for (std::size_t i = 0; i < fields && index < values; ++i, ++index) {
      if (i > 0) reply += ' ';
      reply += FieldAt(spectrum, form, index);
    }
    reply += "\r\n";
  }
  return reply;
}

std::string FormatReply(std::string_view key, const SimSettings& settings) {
  if (key.empty()) return std::string(kPromptLine);
  if (IsPlainAcknowledged(key)) return std::string(kAcknowledgeLine);
  if (key == "RM") return std::string(settings.refuse_measure ? kRefusedLine : kAcknowledgeLine);
  if (key == "004GF" || key == "104GF") return FormatSpectrum(settings.spectrum, settings.spectrum_form);
  if (key == "BR") return TwoLines(kBaudRate);
  if (key == "00SN") return TwoLines(settings.serial_number);
  if (key == "SV") return TwoLines(settings.firmware_version);
  if (key == "01XD") return TwoLines(settings.calibrated ? kCalibrated : kUncalibrated);
  if (key == "AT") return TwoLines(kAperture);
  return std::string(kUnknownCommandLine);
}

}  // namespace vk605::sim
