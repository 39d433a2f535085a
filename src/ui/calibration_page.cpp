#include "ui/calibration_page.h"

#include <cctype>
#include <cstdint>

#include "ui/control_panel.h"
#include "ui/driver_strings.h"
#include "ui/panel_ids.h"

namespace vk605 {

namespace t = text::panel;

std::optional<std::int32_t> ParseEditInteger(const std::string& text) {
  std::size_t i = 0;
  auto blank = [&](std::size_t at) { return std::isspace(static_cast<unsigned char>(text[at])) != 0; };
  while (i < text.size() && blank(i)) ++i;
  if (i == text.size()) return 0;
  bool negative = false;
  if (text[i] == '+' || text[i] == '-') negative = text[i++] == '-';
  std::int64_t value = 0;
  std::size_t digits = 0;
  for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])) != 0; ++i, ++digits) {
    value = value * 10 + (text[i] - '0');
    if (value > 2147483648LL) return std::nullopt;
  }
  if (digits == 0) return std::nullopt;
  while (i < text.size() && blank(i)) ++i;
  if (i != text.size()) return std::nullopt;
  if (negative) value = -value;
  if (value > INT32_MAX || value < INT32_MIN) return std::nullopt;
  return static_cast<std::int32_t>(value);
}

void CCalibrationPage::OnInitDialog() {
  CalibrationLimits& limits = sheet_.Limits();
  limits.ReadLimits(hours_, minutes_, limit_);
  time_rule_on_ = limits.IsTimeRuleOn();
  count_rule_on_ = limits.IsCountRuleOn();
  EnableEdits();
  LoadControls();
}

void CCalibrationPage::OnSetActive() {
  // The first activation follows the initialisation, which loaded the controls already.
  if (shown_once_) LoadControls();
  shown_once_ = true;
}

void CCalibrationPage::EnableEdits() {
  PanelView& view = sheet_.View();
  view.Enable(panel::kHoursEdit, time_rule_on_ != 0);
  view.Enable(panel::kMinutesEdit, time_rule_on_ != 0);
  view.Enable(panel::kLimitEdit, count_rule_on_ != 0);
}

void CCalibrationPage::LoadControls() {
  PanelView& view = sheet_.View();
  view.SetCheck(panel::kTimeCheck, time_rule_on_ != 0);
  view.SetCheck(panel::kCountCheck, count_rule_on_ != 0);
  view.SetText(panel::kLimitEdit, std::to_string(limit_));
  view.SetText(panel::kHoursEdit, std::to_string(hours_));
  view.SetText(panel::kMinutesEdit, std::to_string(minutes_));
}

std::optional<std::int32_t> CCalibrationPage::ReadInteger(int control) {
  std::optional<std::int32_t> value = ParseEditInteger(sheet_.View().GetText(control));
  if (!value) Fail(t::kNotAnInteger, control);
  return value;
}

bool CCalibrationPage::Fail(const char* message, int focus) {
  sheet_.ShowMessage(message, kMbOk);
  if (focus != 0) sheet_.View().SetFocus(focus);
  return false;
}

bool CCalibrationPage::SaveControls() {
  std::optional<std::int32_t> hours = ReadInteger(panel::kHoursEdit);
  if (!hours) return false;
  hours_ = *hours;
  std::optional<std::int32_t> minutes = ReadInteger(panel::kMinutesEdit);
  if (!minutes) return false;
  minutes_ = *minutes;
  if (hours_ == 0 && minutes_ == 0) return Fail(t::kZeroTime, 0);
  if (minutes_ < 0 || minutes_ >= 60) return Fail(t::kMinutesRange, panel::kMinutesEdit);
  if (hours_ < 0 || hours_ > 720) return Fail(t::kHoursRange, panel::kHoursEdit);
  std::optional<std::int32_t> limit = ReadInteger(panel::kLimitEdit);
  if (!limit) return false;
  limit_ = *limit;
  if (limit_ < 1 || limit_ > 10000) return Fail(t::kLimitRange, panel::kLimitEdit);
  return true;
}

void CCalibrationPage::RuleClicked(int check, std::int32_t& rule) {
  PanelView& view = sheet_.View();
  if (!SaveControls()) {
    view.SetCheck(check, true);
    return;
  }
  rule = view.IsChecked(check) ? 1 : 0;
  EnableEdits();
}

void CCalibrationPage::OnCommand(int control) {
  if (control == panel::kTimeCheck) RuleClicked(panel::kTimeCheck, time_rule_on_);
  if (control == panel::kCountCheck) RuleClicked(panel::kCountCheck, count_rule_on_);
}

void CCalibrationPage::OnOk() {
  const double span_days = hours_ / 24.0 + minutes_ / 1440.0;
  // Its outcome does not matter here: the active page was validated before the sheet's OK.
  static_cast<void>(SaveControls());
  CalibrationLimits& limits = sheet_.Limits();
  limits.SetLimits(hours_, minutes_, limit_);
  limits.ApplySpan(span_days);
  limits.SetTimeRule(time_rule_on_);
  limits.SetCountRule(count_rule_on_);
  limits.Save();
}

}  // namespace vk605
