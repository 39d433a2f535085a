#pragma once

#include <string>

namespace vk605::tool {

// The driver's calibration-expiry record of one instrument (section CALIBRATION of <serial>.INI beside
// the driver, or of VK605.INI when the serial number is unknown), read and edited as a file.
struct CalibrationRecord {
  std::string path;
  // ISO 8601 in UTC ("2026-12-09T00:49:21Z") from the driver's local "%m/%d/%Y %H:%M:%S"; a text in no
  // such form stays as written; empty after an expiry.
  std::string calibration_date;
  std::string expiration;
  int hours = 4;
  int minutes = 0;
  int measurement_limit = 250;
  bool time_rule = false;
  bool count_rule = false;
  int measurement_count = 0;
};

// The file the driver uses for the instrument it identified as identification (model + serial number).
std::string CalibrationFilePath(const std::string& settings_directory, const std::string& identification);

CalibrationRecord ReadCalibrationRecord(const std::string& path);

// The driver's local "%m/%d/%Y %H:%M:%S" (seconds optional) as ISO 8601 UTC; other texts unchanged.
std::string IsoFromDriverDate(const std::string& text);

// Sets one key of section CALIBRATION (atomically). The driver must not have loaded this record in the
// running process, or its write-back at unload would put the old value back.
void WriteCalibrationKey(const std::string& path, const std::string& key, const std::string& value);

}  // namespace vk605::tool
