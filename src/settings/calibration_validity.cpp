#include "settings/calibration_validity.h"

#include <cmath>
#include <optional>
#include <utility>

#include "settings/ini_document.h"
#include "settings/settings_block.h"
#include "settings/settings_paths.h"

namespace vk605 {

namespace {

constexpr const char* kSection = "CALIBRATION";
// Holds the longest date text the file is expected to contain.
constexpr std::size_t kDateTextCapacity = 80;

constexpr std::uint16_t kDefaultHours = 4;
constexpr std::uint16_t kDefaultMinutes = 0;
constexpr std::uint16_t kDefaultLimit = 250;

// Dates live at one-second resolution; comparing whole seconds keeps the binary fraction's error out.
long long WholeSeconds(const AutomationDate& date) {
  return std::llround(date.days * 86400.0);
}

}  // namespace

CalibrationValidity::CalibrationValidity(CurrentSettingsFile& current, PrivateProfile& profile, Clock& clock)
    : current_(current),
      profile_(profile),
      clock_(clock),
      expiration_(DateNow(clock)),
      calibration_date_(DateNow(clock)) {}

int CalibrationValidity::Load(const std::string& serial_number, const std::string& settings_directory,
                              char separator) {
  path_ = LocateCalibrationFile(settings_directory, serial_number, separator, profile_);
  if (path_.empty()) {
    // No file to keep a record in: the factory limits, no calibration known, nothing counted.
    hours_ = kDefaultHours;
    minutes_ = kDefaultMinutes;
    measurement_limit_ = kDefaultLimit;
    expiration_ = calibration_date_ = DateNow(clock_);
    expiration_recorded_ = calibration_date_recorded_ = false;
    expiration_text_.clear();
    calibration_date_text_.clear();
    measurement_count_ = 0;
    return 0;
  }
  ReadLimits(&hours_, &minutes_, &measurement_limit_);
  LoadedDate expiration = LoadDate("EXPIRATION");
  expiration_ = expiration.date;
  expiration_recorded_ = expiration.recorded;
  expiration_text_ = std::move(expiration.text);
  LoadedDate calibration = LoadDate("CALIBRATION_DATE");
  calibration_date_ = calibration.date;
  calibration_date_recorded_ = calibration.recorded;
  calibration_date_text_ = std::move(calibration.text);
  {
    IniDocument document(kSection, current_, profile_);
    document.Open(path_);
    document.ExchangeInt("bTIME", &time_rule_on_, 0);
    document.ExchangeInt("bMEASUREMENTS", &count_rule_on_, 0);
    document.Close();
  }
  IniDocument document(kSection, current_, profile_);
  document.Open(path_);
  measurement_count_ = 0;
  document.ExchangeInt("MEASUREMENT_COUNT", &measurement_count_, 0);
  document.Close();
  return 0;
}

// The written form first, so no locale exchanges day and month of what the driver wrote itself; then
// the user's locale form, as another program may have written it.
std::optional<AutomationDate> CalibrationValidity::ParseStoredDate(const std::string& text) {
  if (std::optional<AutomationDate> written = ParseCalibrationDate(text)) return written;
  if (text.empty()) return std::nullopt;
  std::optional<LocalTime> local = clock_.ParseLocaleDateTime(text);
  if (!local) return std::nullopt;
  AutomationDate date = DateFromLocalTime(*local);
  if (!date.IsValid()) return std::nullopt;
  return date;
}

CalibrationValidity::LoadedDate CalibrationValidity::LoadDate(const char* key) {
  char text[kDateTextCapacity] = "";
  IniDocument document(kSection, current_, profile_);
  document.Open(path_);
  document.ExchangeText(key, text, sizeof text, 0);
  document.Close();
  LoadedDate loaded;
  loaded.text = text;
  std::optional<AutomationDate> date = ParseStoredDate(loaded.text);
  // A text that is no date counts from now for the rules, but is not a calibration to record.
  loaded.recorded = date.has_value();
  loaded.date = date ? *date : DateNow(clock_);
  return loaded;
}

std::string CalibrationValidity::DateText(const AutomationDate& date, bool recorded,
                                          const std::string& loaded_text) const {
  return recorded ? FormatCalibrationDate(date) : loaded_text;
}

void CalibrationValidity::Save() {
  if (path_.empty()) return;
  IniDocument document(kSection, current_, profile_);
  document.Open(path_);
  document.ExchangeInt("bTIME", &time_rule_on_, 1);
  document.ExchangeInt("bMEASUREMENTS", &count_rule_on_, 1);
  char text[kDateTextCapacity];
  CopyField(text, DateText(calibration_date_, calibration_date_recorded_, calibration_date_text_).c_str());
  document.ExchangeText("CALIBRATION_DATE", text, sizeof text, 1);
  CopyField(text, DateText(expiration_, expiration_recorded_, expiration_text_).c_str());
  document.ExchangeText("EXPIRATION", text, sizeof text, 1);
  std::uint16_t hours = static_cast<std::uint16_t>(hours_);
  std::uint16_t minutes = static_cast<std::uint16_t>(minutes_);
  std::uint16_t limit = static_cast<std::uint16_t>(measurement_limit_);
  document.ExchangeWord("HOURS", &hours, 1);
  document.ExchangeWord("MINUTES", &minutes, 1);
  document.ExchangeWord("MEASUREMENTS", &limit, 1);
  document.ExchangeInt("MEASUREMENT_COUNT", &measurement_count_, 1);
  document.Close();
}

// Each key is one atomic replacement of the file: a crash between two leaves whole keys only.
void CalibrationValidity::WriteKeys(bool dates, bool count) {
  if (path_.empty()) return;
  IniDocument document(kSection, current_, profile_);
  document.Open(path_);
  if (dates) {
    char text[kDateTextCapacity];
    CopyField(text, DateText(calibration_date_, calibration_date_recorded_, calibration_date_text_).c_str());
    document.ExchangeText("CALIBRATION_DATE", text, sizeof text, 1);
    CopyField(text, DateText(expiration_, expiration_recorded_, expiration_text_).c_str());
    document.ExchangeText("EXPIRATION", text, sizeof text, 1);
  }
  if (count) document.ExchangeInt("MEASUREMENT_COUNT", &measurement_count_, 1);
  document.Close();
}

int CalibrationValidity::IsExpired(ExpiryNotifier& notifier) {
  bool expired = false;
  if (time_rule_on_ != 0) {
    AutomationDate now = DateNow(clock_);
    if (now.IsValid() && expiration_.IsValid()) expired = WholeSeconds(now) > WholeSeconds(expiration_);
  }
  if (count_rule_on_ != 0 && measurement_count_ >= measurement_limit_) expired = true;
  if (!expired) return 0;
  notifier.ShowCalibrationExpired();
  if (path_.empty()) return 1;
  // Only the file loses the date; the record keeps it, so the next Save writes it back.
  char empty[1] = "";
  IniDocument document(kSection, current_, profile_);
  document.Open(path_);
  document.ExchangeText("CALIBRATION_DATE", empty, sizeof empty, 1);
  document.Close();
  return 1;
}

int CalibrationValidity::CountMeasurement() {
  ++measurement_count_;
  WriteKeys(false, true);
  return 0;
}

int CalibrationValidity::ResetAfterCalibration() {
  calibration_date_ = DateNow(clock_);
  measurement_count_ = 0;
  expiration_ = AddDays(calibration_date_, hours_ / 24.0 + minutes_ / 1440.0);
  calibration_date_recorded_ = expiration_recorded_ = true;
  // The dates before the count: a crash in between leaves the old count with the new dates, a record that
  // asks for a calibration sooner, never one whose old expiry comes with a fresh count.
  WriteKeys(true, true);
  return 0;
}

int CalibrationValidity::ReadLimits(std::int32_t* hours, std::int32_t* minutes, std::int32_t* limit) {
  // The fixed defaults, not the values in memory: a file without the keys gets the factory limits.
  std::uint16_t stored_hours = kDefaultHours;
  std::uint16_t stored_minutes = kDefaultMinutes;
  std::uint16_t stored_limit = kDefaultLimit;
  IniDocument document(kSection, current_, profile_);
  document.Open(path_);
  document.ExchangeWord("HOURS", &stored_hours, 0);
  document.ExchangeWord("MINUTES", &stored_minutes, 0);
  document.ExchangeWord("MEASUREMENTS", &stored_limit, 0);
  document.Close();
  if (hours != nullptr) *hours = stored_hours;
  if (minutes != nullptr) *minutes = stored_minutes;
  if (limit != nullptr) *limit = stored_limit;
  return 0;
}

int CalibrationValidity::SetLimits(std::int32_t hours, std::int32_t minutes, std::int32_t limit) {
  hours_ = hours;
  minutes_ = minutes;
  measurement_limit_ = limit;
  return 0;
}

int CalibrationValidity::ApplySpan(double days, bool span_valid) {
  if (!span_valid) return 0;
  expiration_ = AddDays(calibration_date_, days);
  // Measured from a calibration only when one is known; otherwise no expiry date is recorded either.
  expiration_recorded_ = calibration_date_recorded_;
  if (!expiration_recorded_) expiration_text_.clear();
  return 0;
}

int CalibrationValidity::SetTimeRule(std::int32_t on) {
  time_rule_on_ = on;
  return 0;
}

int CalibrationValidity::SetCountRule(std::int32_t on) {
  count_rule_on_ = on;
  return 0;
}

}  // namespace vk605
