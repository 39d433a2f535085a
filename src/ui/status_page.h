#pragma once

#include "ui/panel_driver.h"

namespace vk605 {

class CControlPanel;

// The first page of the control panel: communications state, firmware version, serial number, the
// instrument's fixed descriptions and the profiling switch. Refreshes every 5 s while it is active.
class CStatusPage {
 public:
  explicit CStatusPage(CControlPanel& sheet) : sheet_(sheet) {}

  void OnInitDialog();
  void OnSetActive();
  void OnKillActive();
  void OnTimer(unsigned id);
  void OnCommand(int control);
  void OnOk() { End(); }
  void OnCancel() { End(); }
  void Refresh();

 private:
  void RefreshProfilingLine();
  void End();

  CControlPanel& sheet_;
  // What the system answered to the last timer start: the identifier, or 0 when refused.
  unsigned timer_ = 0;
};

}  // namespace vk605
