#include "calibration_record.h"

#include <charconv>

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

std::string CalibrationFilePath(const std::string& settings_directory, const std::string& identification) {
  return settings_directory + "/" + (identification.empty() ? std::string("VK605") : identification) + ".INI";
}

CalibrationRecord ReadCalibrationRecord(const std::string& path) {
  CalibrationRecord record;
  record.path = path;
  std::string content;
  if (ReadWholeFile(path, content)) return record;
  IniText ini(content, SectionNames::kPlain, IniStyle::kEdited);
  record.calibration_date = ini.Find(kSection, "CALIBRATION_DATE").value_or("");
  record.expiration = ini.Find(kSection, "EXPIRATION").value_or("");
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
