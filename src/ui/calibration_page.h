#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "ui/panel_driver.h"

namespace vk605 {

class CControlPanel;

// The second page of the control panel: when a calibration expires (a time span, a number of
// measurements, or both). Nothing reaches the calibration record before the sheet's OK.
class CCalibrationPage {
 public:
  explicit CCalibrationPage(CControlPanel& sheet) : sheet_(sheet) {}

  void OnInitDialog();
  void OnSetActive();
  // False when the edits do not validate: the page stays active.
  bool OnKillActive() { return SaveControls(); }
  void OnCommand(int control);
  void OnOk();
  void OnCancel() {}

  // Edits into members with validation; false (after its message) on the first failing check.
  bool SaveControls();
  // Members into the controls.
  void LoadControls();

  std::int32_t Hours() const { return hours_; }
  std::int32_t Minutes() const { return minutes_; }
  std::int32_t Limit() const { return limit_; }
  std::int32_t TimeRuleOn() const { return time_rule_on_; }
  std::int32_t CountRuleOn() const { return count_rule_on_; }

 private:
  // The integer in an edit (0 when empty); empty after the framework's message when it is no integer.
  std::optional<std::int32_t> ReadInteger(int control);
  bool Fail(const char* message, int focus);
  void RuleClicked(int check, std::int32_t& rule);
  void EnableEdits();

  CControlPanel& sheet_;
  std::int32_t hours_ = 0;
  std::int32_t minutes_ = 0;
  std::int32_t limit_ = 0;
  std::int32_t time_rule_on_ = 0;
  std::int32_t count_rule_on_ = 0;
  bool shown_once_ = false;
};

// The integer exchange of an edit: optional blanks, an optional sign and decimal digits within 32 bits;
// empty or blank text is 0. Empty result: not an integer.
std::optional<std::int32_t> ParseEditInteger(const std::string& text);

}  // namespace vk605
