#include "reference_profile.h"

#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace vk605::reference {
namespace {

constexpr std::size_t kMaxFileSize = 1 << 20;

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) {
    text.remove_suffix(1);
  }
  return text;
}

bool ParseDouble(std::string_view text, double& value) {
  std::string copy(Trim(text));
  if (copy.empty()) return false;
  char* end = nullptr;
  value = std::strtod(copy.c_str(), &end);
  return end == copy.c_str() + copy.size();
}

// "2004-07-30 14:05:09" as an automation date (days since 1899-12-30).
bool ParseDate(std::string_view text, double& date) {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
  std::string copy(Trim(text));
  char tail = 0;
  if (std::sscanf(copy.c_str(), "%4d-%2d-%2d %2d:%2d:%2d%c", &year, &month, &day, &hour, &minute, &second,
                  &tail) != 6) {
    return false;
  }
  using namespace std::chrono;
  year_month_day civil{std::chrono::year{year}, std::chrono::month{static_cast<unsigned>(month)},
                       std::chrono::day{static_cast<unsigned>(day)}};
  if (!civil.ok() || year < 100 || hour > 23 || minute > 59 || second > 59 || hour < 0 || minute < 0 ||
      second < 0) {
    return false;
  }
  constexpr year_month_day kEpoch{std::chrono::year{1899}, std::chrono::month{12}, std::chrono::day{30}};
  auto days_since = (sys_days{civil} - sys_days{kEpoch}).count();
  date = static_cast<double>(days_since) + (hour * 3600 + minute * 60 + second) / 86400.0;
  return true;
}

// "0x80040201" or a decimal number, as a 32-bit status code.
bool ParseStatus(std::string_view text, std::int32_t& status) {
  text = Trim(text);
  int base = 10;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    text.remove_prefix(2);
    base = 16;
  }
  long long value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
  if (error != std::errc() || end != text.data() + text.size()) return false;
  if (value < INT32_MIN || value > static_cast<long long>(UINT32_MAX)) return false;
  status = static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
  return true;
}

// "reflectance.560" -> index 20 of the table.
bool ParsePoint(std::string_view key, std::string_view prefix, int& index) {
  if (key.substr(0, prefix.size()) != prefix) return false;
  key.remove_prefix(prefix.size());
  int nm = 0;
  auto [end, error] = std::from_chars(key.data(), key.data() + key.size(), nm);
  if (error != std::errc() || end != key.data() + key.size()) return false;
  if (nm < 360 || nm > 750 || nm % 10 != 0) return false;
  index = (nm - 360) / 10;
  return true;
}

bool ParseCorrection(std::string_view text, PointCorrection& correction) {
  std::istringstream in{std::string(text)};
  std::string rest;
  return static_cast<bool>(in >> correction.gain >> correction.offset) && !(in >> rest);
}

bool ApplyLine(std::string_view key, std::string_view value, ReferenceProfile& profile, bool& has_date) {
  int index = 0;
  if (key == "created") return has_date = ParseDate(value, profile.created);
  if (key == "description") {
    profile.description = std::string(value);
    return true;
  }
  if (key == "specular-included-offset") return ParseDouble(value, profile.specular_included_offset);
  if (key == "refuse") {
    double flag = 0;
    if (!ParseDouble(value, flag)) return false;
    profile.refuse = flag != 0;
    return true;
  }
  if (key == "fail") return ParseStatus(value, profile.fail_status);
  if (ParsePoint(key, "reflectance.", index)) return ParseCorrection(value, profile.reflectance[index]);
  if (ParsePoint(key, "transmission.", index)) return ParseCorrection(value, profile.transmission[index]);
  return false;
}

}  // namespace

std::optional<ReferenceProfile> ParseReferenceProfile(std::string_view text) {
  ReferenceProfile profile;
  bool has_date = false;
  while (!text.empty()) {
    std::size_t end = text.find('\n');
    std::string_view line = Trim(text.substr(0, end));
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (line.empty() || line.front() == '#') continue;
    std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) return std::nullopt;
    if (!ApplyLine(Trim(line.substr(0, equals)), Trim(line.substr(equals + 1)), profile, has_date)) {
      return std::nullopt;
    }
  }
  if (!has_date) return std::nullopt;
  return profile;
}

std::optional<ReferenceProfile> LoadReferenceProfile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return std::nullopt;
  std::string text(kMaxFileSize + 1, '\0');
  file.read(text.data(), static_cast<std::streamsize>(text.size()));
  if (file.bad() || static_cast<std::size_t>(file.gcount()) > kMaxFileSize) return std::nullopt;
  text.resize(static_cast<std::size_t>(file.gcount()));
  return ParseReferenceProfile(text);
}

std::int32_t CorrectSpectrum(const ReferenceProfile& profile, bool transmission, float* values,
                             std::int32_t specular_included, bool& corrected) {
  corrected = false;
  if (profile.fail_status < 0) return profile.fail_status;
  if (profile.refuse) return 0;
  const auto& table = transmission ? profile.transmission : profile.reflectance;
  double extra = specular_included != 0 ? profile.specular_included_offset : 0.0;
  for (int i = 0; i < kPoints; ++i) {
    values[i] = static_cast<float>(static_cast<double>(values[i]) * table[i].gain + table[i].offset + extra);
  }
  corrected = true;
  return 0;
}

}  // namespace vk605::reference
