#include "calibration_record.h"

#include <charconv>
#include <cstdio>
#include <ctime>

#include "base/ini_text.h"
#include "platform/file_io.h"
#include "tool_error.h"

namespace vk605::tool {

namespace {

constexpr const char* kSection = "CALIBRATION";

int Number(const IniText& ini, const char* key, int fallback) {
  std::optional<std::string> text = ini.Find(kSection, key);
  if (!text) return fallback;
  int value = fallback;
  std::from_chars(text->data(), text->data() + text->size(), value);
  return value;
}

}  // namespace

std::string IsoFromDriverDate(const std::string& text) {
  std::tm local{};
  int consumed = 0;
  int fields = std::sscanf(text.c_str(), "%2d/%2d/%4d %2d:%2d%n", &local.tm_mon, &local.tm_mday,
                           &local.tm_year, &local.tm_hour, &local.tm_min, &consumed);
  if (fields != 5) return text;
  if (text[static_cast<std::size_t>(consumed)] == ':') {
    int seconds_consumed = 0;
    if (std::sscanf(text.c_str() + consumed, ":%2d%n", &local.tm_sec, &seconds_consumed) != 1) return text;
    consumed += seconds_consumed;
  }
  if (static_cast<std::size_t>(consumed) != text.size()) return text;
  if (local.tm_mon < 1 || local.tm_mon > 12 || local.tm_mday < 1 || local.tm_mday > 31) return text;
  local.tm_mon -= 1;
  local.tm_year -= 1900;
  local.tm_isdst = -1;  // the driver writes local time; the zone's rules decide summer time
  std::time_t when = std::mktime(&local);
  if (when == static_cast<std::time_t>(-1)) return text;
  std::tm utc{};
  if (gmtime_r(&when, &utc) == nullptr) return text;
  char iso[32];
  std::strftime(iso, sizeof iso, "%Y-%m-%dT%H:%M:%SZ", &utc);
  return iso;
}

std::string CalibrationFilePath(const std::string& settings_directory, const std::string& identification) {
  return settings_directory + "/" + (identification.empty() ? std::string("VK605") : identification) + ".INI";
}

CalibrationRecord ReadCalibrationRecord(const std::string& path) {
  CalibrationRecord record;
  record.path = path;
  std::string content;
  if (ReadWholeFile(path, content)) return record;
  IniText ini(content, SectionNames::kPlain, IniStyle::kEdited);
  record.calibration_date = IsoFromDriverDate(ini.Find(kSection, "CALIBRATION_DATE").value_or(""));
  record.expiration = IsoFromDriverDate(ini.Find(kSection, "EXPIRATION").value_or(""));
  record.hours = Number(ini, "HOURS", record.hours);
  record.minutes = Number(ini, "MINUTES", record.minutes);
  record.measurement_limit = Number(ini, "MEASUREMENTS", record.measurement_limit);
  record.time_rule = Number(ini, "bTIME", 0) != 0;
  record.count_rule = Number(ini, "bMEASUREMENTS", 0) != 0;
  record.measurement_count = Number(ini, "MEASUREMENT_COUNT", 0);
  return record;
}

void WriteCalibrationKey(const std::string& path, const std::string& key, const std::string& value) {
  std::string content;
  (void)ReadWholeFile(path, content);  // a missing or unreadable file starts empty
  IniText ini(content, SectionNames::kPlain, IniStyle::kEdited);
  ini.Set(kSection, key, value);
  WriteFileOrFail(path, ini.Serialise());
}

}  // namespace vk605::tool
