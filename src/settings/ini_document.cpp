#include "settings/ini_document.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <system_error>
#include <utility>

#include "settings/one_line.h"

namespace vk605 {

namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Decimal exponent of the number written in [first, last) (sign already skipped), enough to tell an
// overflow from an underflow when the value does not fit a double.
long long DecimalMagnitude(const char* first, const char* last) {
  long long magnitude = 0;
  bool seen_nonzero = false;
  bool after_point = false;
  const char* p = first;
  for (; p != last && *p != 'e' && *p != 'E'; ++p) {
    if (*p == '.') {
      after_point = true;
    } else if (!after_point && (seen_nonzero || *p != '0')) {
      seen_nonzero = true;
      ++magnitude;
    } else if (after_point && !seen_nonzero) {
      if (*p != '0')
        seen_nonzero = true;
      else
        --magnitude;
    }
  }
  if (p == last) return magnitude;
  ++p;  // the exponent letter
  bool negative = p != last && *p == '-';
  if (p != last && (*p == '+' || *p == '-')) ++p;
  long long exponent = 0;
  if (std::from_chars(p, last, exponent).ec != std::errc()) exponent = LLONG_MAX / 4;
  exponent = std::min(exponent, LLONG_MAX / 4);
  return negative ? magnitude - exponent : magnitude + exponent;
}

// Reads a decimal floating-point number like strtod in the "C" locale: leading blanks skipped, the
// longest numeric prefix used, 0.0 when there is none. The host's locale never changes the reading.
double ReadDouble(std::string_view text) {
  const char* first = text.data();
  const char* last = text.data() + text.size();
  while (first != last && IsBlank(*first)) ++first;
  if (first != last && *first == '+') {
    ++first;
    if (first != last && *first == '-') return 0.0;
  }
  double value = 0.0;
  std::from_chars_result result = std::from_chars(first, last, value);
  if (result.ec == std::errc()) return value;
  if (result.ec != std::errc::result_out_of_range) return 0.0;
  bool negative = *first == '-';
  const char* digits = negative ? first + 1 : first;
  double magnitude = DecimalMagnitude(digits, result.ptr) > 0 ? HUGE_VAL : 0.0;
  return negative ? -magnitude : magnitude;
}

// printf-style formatting of one double; the decimal point is always '.', whatever locale the host set.
std::string FormatDouble(const std::string& format, double value) {
  char small[128];
  int length = std::snprintf(small, sizeof small, format.c_str(), value);
  if (length < 0) return {};
  std::string text;
  if (static_cast<std::size_t>(length) < sizeof small) {
    text.assign(small, static_cast<std::size_t>(length));
  } else {
    text.resize(static_cast<std::size_t>(length) + 1);
    std::snprintf(text.data(), text.size(), format.c_str(), value);
    text.resize(static_cast<std::size_t>(length));
  }
  const char* point = std::localeconv()->decimal_point;
  if (point != nullptr && point[0] != '\0' && std::strcmp(point, ".") != 0) {
    std::size_t at = text.find(point);
    if (at != std::string::npos) text.replace(at, std::strlen(point), ".");
  }
  return text;
}

}  // namespace

IniDocument::IniDocument(std::string section, CurrentSettingsFile& current, PrivateProfile& profile)
    : section_(std::move(section)), current_(current), profile_(profile) {}

// Deliberately leaves the current settings file alone: every Open is closed by its caller.
IniDocument::~IniDocument() = default;

void IniDocument::Open(const std::string& path) {
  if (path.empty()) return;
  saved_files_.push_back(current_.Get());
  current_.Set(path);
}

void IniDocument::Close() {
  if (saved_files_.empty()) return;
  current_.Set(std::move(saved_files_.back()));
  saved_files_.pop_back();
}

void IniDocument::SetNumberFormat(const std::string& format) {
  if (!format.empty()) number_format_ = format;
}

int IniDocument::ExchangeWord(const char* key, std::uint16_t* value, int save_only) {
  if (key == nullptr || value == nullptr) return 1;
  if (save_only == 0) {
    // Only the low 16 bits are kept: a stored -1 comes back as 65535.
    *value = static_cast<std::uint16_t>(profile_.GetInt(section_, key, *value, current_.Get()));
  }
  profile_.WriteString(section_, key, std::to_string(static_cast<unsigned>(*value)), current_.Get());
  return 1;
}

int IniDocument::ExchangeInt(const char* key, std::int32_t* value, int save_only) {
  if (key == nullptr || value == nullptr) return 1;
  if (save_only == 0) *value = profile_.GetInt(section_, key, *value, current_.Get());
  profile_.WriteString(section_, key, std::to_string(*value), current_.Get());
  return 1;
}

int IniDocument::ExchangeString(const char* key, std::string* value, int save_only) {
  if (key == nullptr || value == nullptr) return 1;
  std::string text = *value;
  if (save_only == 0) {
    // A value is taken up to its first line end, as it is written back: a stray CR inside a line would
    // otherwise give the caller a text that the write-back then cuts, and the next load something else.
    text = OneLine(profile_.GetString(section_, key, *value, current_.Get()));
    // A key present with an empty value falls back to the caller's value.
    if (text.empty()) text = *value;
  }
  profile_.WriteString(section_, key, OneLine(text), current_.Get());
  *value = std::move(text);
  return 1;
}

int IniDocument::ExchangeText(const char* key, char* buffer, std::size_t capacity, int save_only) {
  if (key == nullptr || buffer == nullptr || capacity == 0) return 1;
  std::string current(buffer, std::find(buffer, buffer + capacity, '\0'));
  if (current.size() == capacity) current.pop_back();  // an unterminated buffer keeps its first bytes
  std::string text = current;
  if (save_only == 0) {
    text = OneLine(profile_.GetString(section_, key, current, current_.Get()));
    if (text.empty()) text = current;
    // A stored text longer than the caller's buffer is cut to fit, and the file then holds what the
    // caller holds.
    if (text.size() >= capacity) text.resize(capacity - 1);
  }
  profile_.WriteString(section_, key, OneLine(text), current_.Get());
  std::memcpy(buffer, text.data(), text.size());
  buffer[text.size()] = '\0';
  return 1;
}

std::string IniDocument::ReadText(const char* key) {
  if (key == nullptr) return std::string();
  std::string stored = profile_.GetString(section_, key, "", current_.Get());
  return std::string(OneLine(stored));
}

int IniDocument::ExchangeDouble(const char* key, double* value, int save_only) {
  if (key == nullptr || value == nullptr) return 1;
  if (save_only == 0) {
    std::string stored =
        profile_.GetString(section_, key, FormatDouble(number_format_, *value), current_.Get());
    // The caller keeps the full precision of the stored text; only the file is rounded.
    *value = ReadDouble(stored);
  }
  profile_.WriteString(section_, key, FormatDouble(number_format_, *value), current_.Get());
  return 1;
}

}  // namespace vk605
