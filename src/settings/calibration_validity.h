#pragma once

#include <cstdint>
#include <string>

#include "platform/clock.h"
#include "platform/private_profile.h"
#include "settings/automation_date.h"
#include "settings/current_settings_file.h"

namespace vk605 {

// Shows the expiry message; implemented by the user-interface layer.
class ExpiryNotifier {
 public:
  virtual ~ExpiryNotifier() = default;
  virtual void ShowCalibrationExpired() = 0;
};

// The calibration record of the connected instrument: calibration date, expiry, measurement count, limits
// and rule switches, kept in section CALIBRATION of the instrument's calibration file.
class CalibrationValidity {
 public:
  CalibrationValidity(CurrentSettingsFile& current, PrivateProfile& profile, Clock& clock);

  // Locates <serial>.INI in settings_directory and loads every key with write-back.
  int Load(const std::string& serial_number, const std::string& settings_directory, char separator);
  void Save();
  // 1 when an enabled rule says the calibration expired; then shows the message (through notifier) and
  // empties CALIBRATION_DATE in the file.
  int IsExpired(ExpiryNotifier& notifier);
  int CountMeasurement();
  int ResetAfterCalibration();
  int ReadLimits(std::int32_t* hours, std::int32_t* minutes, std::int32_t* limit);
  int SetLimits(std::int32_t hours, std::int32_t minutes, std::int32_t limit);
  int ApplySpan(double days, bool span_valid = true);
  int SetTimeRule(std::int32_t on);
  int SetCountRule(std::int32_t on);
  std::int32_t IsTimeRuleOn() const { return time_rule_on_; }
  std::int32_t IsCountRuleOn() const { return count_rule_on_; }

  const std::string& Path() const { return path_; }
  std::int32_t MeasurementCount() const { return measurement_count_; }
  std::int32_t Hours() const { return hours_; }
  std::int32_t Minutes() const { return minutes_; }
  std::int32_t MeasurementLimit() const { return measurement_limit_; }
  const AutomationDate& Expiration() const { return expiration_; }
  const AutomationDate& CalibrationDate() const { return calibration_date_; }
  void SetExpirationForTest(const AutomationDate& date) { expiration_ = date; }

 private:
  AutomationDate LoadDate(const char* key);

  CurrentSettingsFile& current_;
  PrivateProfile& profile_;
  Clock& clock_;
  std::string path_;
  std::int32_t hours_ = 4;
  std::int32_t minutes_ = 0;
  std::int32_t measurement_limit_ = 250;
  std::int32_t time_rule_on_ = 0;
  std::int32_t count_rule_on_ = 0;
  std::int32_t measurement_count_ = 0;
  AutomationDate expiration_;
  AutomationDate calibration_date_;
};

}  // namespace vk605
