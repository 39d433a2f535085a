#include "calibration_record.h"

#include <charconv>

#include "atomic_file.h"
#include "ini_file.h"

namespace vk605::tool {

namespace {

constexpr const char* kSection = "CALIBRATION";

int Number(const IniFile& ini, const char* key, int fallback) {
  std::optional<std::string> text = ini.Get(kSection, key);
  if (!text) return fallback;
  int value = fallback;
  std::from_chars(text->data(), text->data() + text->size(), value);
  return value;
}

}  // namespace

std::string CalibrationFilePath(const std::string& settings_directory, const std::string& identification) {
  return settings_directory + "/" + (identification.empty() ? std::string("VK605") : identification) + ".INI";
}

CalibrationRecord ReadCalibrationRecord(const std::string& path) {
  CalibrationRecord record;
  record.path = path;
  std::string content;
  if (!ReadWholeFile(path, content)) return record;
  IniFile ini(content);
  record.calibration_date = ini.Get(kSection, "CALIBRATION_DATE").value_or("");
  record.expiration = ini.Get(kSection, "EXPIRATION").value_or("");
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
  ReadWholeFile(path, content);
  IniFile ini(content);
  ini.Set(kSection, key, value);
  WriteFileAtomically(path, ini.Text());
}

}  // namespace vk605::tool
