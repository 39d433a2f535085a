#include "ui/control_panel.h"

#include "ui/driver_strings.h"
#include "ui/panel_ids.h"

namespace vk605 {

CControlPanel::CControlPanel(PanelContext context, std::int32_t profiling_enabled)
    : status_(*this), calibration_(*this), ctx_(context), profiling_enabled_(profiling_enabled) {}

int CControlPanel::ShowMessage(const std::string& text, unsigned type) {
  if (ctx_.ui.HasHostMessageBox() || view_ == nullptr) return ctx_.ui.MessageBox(text, kDriverCaption, type);
  return view_->MessageBox(text, kDriverCaption, type);
}

void CControlPanel::OnShown(PanelView& view) {
  view_ = &view;
  Activate(panel::kStatusPage);
}

void CControlPanel::Activate(int page) {
  active_ = page;
  if (page == panel::kStatusPage) {
    if (!created_[page]) status_.OnInitDialog();
    created_[page] = true;
    status_.OnSetActive();
  } else {
    if (!created_[page]) calibration_.OnInitDialog();
    created_[page] = true;
    calibration_.OnSetActive();
  }
}

bool CControlPanel::OnPageChanging(int from, int to) {
  if (from == to || (to != panel::kStatusPage && to != panel::kCalibrationPage)) return false;
  if (from == panel::kStatusPage) {
    status_.OnKillActive();
  } else if (!calibration_.OnKillActive()) {
    return false;
  }
  Activate(to);
  return true;
}

void CControlPanel::OnCommand(int control) {
  if (control == panel::kProfilingCheck && created_[panel::kStatusPage]) status_.OnCommand(control);
  if ((control == panel::kTimeCheck || control == panel::kCountCheck) && created_[panel::kCalibrationPage])
    calibration_.OnCommand(control);
}

void CControlPanel::OnTimer(unsigned id) {
  if (id == panel::kRefreshTimer && active_ == panel::kStatusPage) status_.OnTimer(id);
}

bool CControlPanel::OnOk() {
  if (active_ == panel::kCalibrationPage && !calibration_.OnKillActive()) return false;
  if (active_ == panel::kStatusPage) status_.OnKillActive();
  // Every page that was created accepts, in page order; a page never shown stores nothing.
  if (created_[panel::kStatusPage]) status_.OnOk();
  if (created_[panel::kCalibrationPage]) calibration_.OnOk();
  return true;
}

void CControlPanel::OnCancel() {
  if (created_[panel::kStatusPage]) status_.OnCancel();
  if (created_[panel::kCalibrationPage]) calibration_.OnCancel();
}

int ControlPanelHost::Run(PanelContext context) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (open_) {
      toolkit_.BringToFront();
      return -1;
    }
    open_ = true;
  }
  int result = -1;
  {
    CControlPanel sheet(context, context.settings.CalveraEnabled);
    result = toolkit_.RunModal(sheet);
    if (result != -1) context.settings.CalveraEnabled = sheet.ProfilingEnabled();
  }
  if (result == -1)
    context.ui.MessageBox(text::kControlPanelUnavailable, kDriverCaption, kMbOk | kMbIconInformation);
  std::lock_guard<std::mutex> lock(mutex_);
  open_ = false;
  return result;
}

}  // namespace vk605
