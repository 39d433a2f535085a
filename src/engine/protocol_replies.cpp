#include "engine/protocol_replies.h"

#include <charconv>
#include <cstddef>

namespace vk605 {
namespace {

bool IsLineEnd(char c) {
  return c == '\r' || c == '\n';
}

// Reads a float the way "%f" does (leading blanks, optional sign), independent of the host's locale.
std::optional<float> ReadFloat(std::string_view field) {
  std::size_t i = 0;
  while (i < field.size() && (field[i] == ' ' || field[i] == '\t' || field[i] == '\r' || field[i] == '\n' ||
                              field[i] == '\v' || field[i] == '\f')) {
    ++i;
  }
  if (i < field.size() && field[i] == '+') ++i;
  float value = 0.0f;
  const char* first = field.data() + i;
  const char* last = field.data() + field.size();
  auto [end, error] = std::from_chars(first, last, value, std::chars_format::general);
  if (error != std::errc() || end == first) return std::nullopt;
  return value;
}

double ToReflectance(float percent) {
  double clamped = percent > 0.001 ? static_cast<double>(percent) : 0.001;
  return clamped * 0.01;
}

}  // namespace

std::string FirstReplyLine(std::string_view reply) {
  std::size_t start = 0;
  while (start < reply.size() && IsLineEnd(reply[start])) ++start;
  std::size_t end = start;
  while (end < reply.size() && !IsLineEnd(reply[end])) ++end;
  return std::string(reply.substr(start, end - start));
}

std::optional<std::string> SerialNumberLine(std::string_view reply) {
  std::size_t first_text = 0;
  while (first_text < reply.size() && IsLineEnd(reply[first_text])) ++first_text;
  if (first_text == reply.size()) return std::nullopt;
  std::size_t end = first_text;
  while (end < reply.size() && !IsLineEnd(reply[end])) ++end;
  return std::string(reply.substr(0, end));
}

bool IdentifiesInstrument(std::string_view reply) {
  constexpr std::string_view kLineEnd = "\r\n";
  if (reply.size() < kLineEnd.size() || reply.substr(reply.size() - kLineEnd.size()) != kLineEnd)
    return false;
  int line_ends = 0;
  bool any_text = false;
  for (std::size_t i = 0; i < reply.size(); ++i) {
    if (reply.substr(i, kLineEnd.size()) == kLineEnd) {
      ++line_ends;
      ++i;
      continue;
    }
    unsigned char c = static_cast<unsigned char>(reply[i]);
    if (c < 0x20 || c > 0x7E) return false;
    if (c != ' ') any_text = true;
  }
  return line_ends == 2 && any_text;
}

bool ReportsCalibrated(std::string_view reply) {
  return reply.substr(0, 2) == "00";
}

bool IsAccepted(std::string_view reply) {
  return reply.substr(0, 4) == "<00>";
}

bool ParseSpectralReply(std::string_view reply, double* values) {
  constexpr int kFirstMeasured = 4;
  constexpr int kLastMeasured = kFirstMeasured + kMeasuredPoints - 1;
  double parsed[kSpectrumPoints];
  std::size_t search = 1;  // the instrument's reply never starts with a value's decimal point
  for (int i = 0; i < kMeasuredPoints; ++i) {
    std::size_t point = reply.find('.', search);
    if (point == std::string_view::npos) return false;
    // Three characters before the point, the point and two decimals; a field that would start before
    // the reply starts at its first character.
    std::size_t start = point >= 3 ? point - 3 : 0;
    std::optional<float> read = ReadFloat(reply.substr(start, 6));
    if (!read) return false;
    parsed[kFirstMeasured + i] = ToReflectance(*read);
    search = point + 1;
  }
  // The unmeasured ends repeat the nearest measured value, whatever its sign was before clamping.
  for (int i = 0; i < kFirstMeasured; ++i) parsed[i] = parsed[kFirstMeasured];
  for (int i = kLastMeasured + 1; i < kSpectrumPoints; ++i) parsed[i] = parsed[kLastMeasured];
  if (values != nullptr) {
    for (int i = 0; i < kSpectrumPoints; ++i) values[i] = parsed[i];
  }
  return true;
}

}  // namespace vk605
