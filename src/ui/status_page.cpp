#include "ui/status_page.h"

#include <cstdio>

#include "ui/control_panel.h"
#include "ui/driver_strings.h"
#include "ui/panel_ids.h"

namespace vk605 {

namespace t = text::panel;

void CStatusPage::OnInitDialog() {
  sheet_.Profiling().Open(sheet_.Settings().SerialNumber);
  sheet_.View().SetCheck(panel::kProfilingCheck, sheet_.ProfilingEnabled() != 0);
  Refresh();
  timer_ = sheet_.View().StartTimer(panel::kRefreshTimer, panel::kRefreshPeriodMs) ? panel::kRefreshTimer : 0;
  if (timer_ == 0) sheet_.ShowMessage(t::kTimerRefused, kMbOk);  // 122
}

void CStatusPage::OnSetActive() {
  timer_ = sheet_.View().StartTimer(panel::kRefreshTimer, panel::kRefreshPeriodMs) ? panel::kRefreshTimer : 0;
  if (timer_ == 0) sheet_.ShowMessage(t::kTimerRefused, kMbOk);  // 1130
  Refresh();
}

void CStatusPage::OnKillActive() {
  sheet_.View().StopTimer(panel::kRefreshTimer);
}

void CStatusPage::OnTimer(unsigned) {
  Refresh();
}

void CStatusPage::OnCommand(int control) {
  if (control != panel::kProfilingCheck) return;
  sheet_.SetProfilingEnabled(sheet_.View().IsChecked(panel::kProfilingCheck) ? 1 : 0);
  Refresh();
}

void CStatusPage::End() {
  sheet_.View().StopTimer(panel::kRefreshTimer);
  sheet_.Profiling().Close();
}

void CStatusPage::Refresh() {
  PanelView& view = sheet_.View();
  const SettingsBlock& settings = sheet_.Settings();
  if (settings.Communications != 0) {
    std::string version;
    const int result = sheet_.Instrument().ReadVersion(version);
    if (result == 0) {
      // The instrument is not asked for these: this model measures reflectance with UV included.
      view.SetText(panel::kVersion, version);
      view.SetText(panel::kCalibration, t::kCalibrated);
      view.SetText(panel::kMode, t::kReflectance);
      view.SetText(panel::kSpecular, settings.SpecularMode == 0 ? t::kIncluded : t::kExcluded);
      view.SetText(panel::kUv, t::kIncluded);
      view.SetText(panel::kLensPosition, " ");
      view.SetText(panel::kAperture, " ");
    }
    if (settings.EmulationMode != 0) {
      view.SetText(panel::kSystemStatus, t::kEmulating);
    } else {
      view.SetText(panel::kSystemStatus,
                   result != 0 ? t::kCommunicationsFailure : t::kCommunicationsEstablished);
    }
    view.SetText(panel::kSerialNumber, sheet_.Instrument().QuerySerialNumber());
  } else {
    view.SetText(panel::kSystemStatus, t::kCommunicationsFailure);
  }
  RefreshProfilingLine();
}

void CStatusPage::RefreshProfilingLine() {
  PanelView& view = sheet_.View();
  PanelProfiling& profiling = sheet_.Profiling();
  if (profiling.IsComponentRunning() == 0) {
    view.Enable(panel::kProfilingCheck, false);
    view.SetCheck(panel::kProfilingCheck, false);
    view.SetText(panel::kProfilingLine, t::kProfilingNotInstalled);
  } else if (profiling.IsProfileLoaded() != 0) {
    view.Enable(panel::kProfilingCheck, true);
    const bool enabled = sheet_.ProfilingEnabled() != 0;
    view.SetCheck(panel::kProfilingCheck, enabled);
    view.SetText(panel::kProfilingLine, enabled ? t::kProfilingEnabled : t::kProfilingTurnedOff);
  } else {
    view.Enable(panel::kProfilingCheck, false);
    view.SetCheck(panel::kProfilingCheck, false);
    const std::string serial = sheet_.Instrument().QuerySerialNumber();
    char line[256];
    std::snprintf(line, sizeof(line), "No profile available for s/n %s", serial.c_str());  // 1147
    view.SetText(panel::kProfilingLine, line);
  }
}

}  // namespace vk605
