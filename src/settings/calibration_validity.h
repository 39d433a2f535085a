#pragma once

#include <cstdint>
#include <optional>
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

  // Locates <serial>.INI in settings_directory and loads every key with write-back. Without such a file
  // (no serial number, or one that names VK605.INI) the record starts afresh and is kept in memory only.
  int Load(const std::string& serial_number, const std::string& settings_directory, char separator);
  // Writes the whole record. A date that no calibration set and the file did not hold is written as it
  // was read (empty on a first connect), so the load time never shows as a calibration.
  void Save();
  // 1 when an enabled rule says the calibration expired; then shows the message (through notifier) and
  // empties CALIBRATION_DATE in the file.
  int IsExpired(ExpiryNotifier& notifier);
  // Both save the changed values at once, so a host that ends without unloading loses nothing.
  int CountMeasurement();
  // Records a calibration the instrument confirmed: date now, count 0, expiry date + hours and minutes.
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
  // A date with the text it was loaded from; recorded when it came from the file or a calibration.
  struct LoadedDate {
    AutomationDate date;
    bool recorded = false;
    std::string text;
  };
  LoadedDate LoadDate(const char* key);
  std::optional<AutomationDate> ParseStoredDate(const std::string& text);
  std::string DateText(const AutomationDate& date, bool recorded, const std::string& loaded_text) const;
  void WriteKeys(bool dates, bool count);

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
  bool expiration_recorded_ = false;
  bool calibration_date_recorded_ = false;
  std::string expiration_text_;
  std::string calibration_date_text_;
};

}  // namespace vk605
