#pragma once

#include <cstdint>
#include <mutex>
#include <string>

#include "platform/panel_toolkit.h"
#include "settings/settings_block.h"
#include "ui/calibration_page.h"
#include "ui/panel_driver.h"
#include "ui/status_page.h"
#include "ui/user_interface.h"

namespace vk605 {

// What a control panel works with while it is open.
struct PanelContext {
  SettingsBlock& settings;
  PanelInstrument& instrument;
  PanelProfiling& profiling;
  CalibrationLimits& limits;
  // The driver's message boxes: a host's handler takes the panel's messages too.
  UserInterface& ui;
};

// The control panel's sheet: the status page, then the calibration page. It receives the toolkit's
// events, creates a page when it is first shown and keeps the profiling switch while it is open.
class CControlPanel : public PanelEvents {
 public:
  CControlPanel(PanelContext context, std::int32_t profiling_enabled);

  void OnShown(PanelView& view) override;
  bool OnPageChanging(int from, int to) override;
  void OnCommand(int control) override;
  void OnTimer(unsigned id) override;
  bool OnOk() override;
  void OnCancel() override;

  std::int32_t ProfilingEnabled() const { return profiling_enabled_; }
  void SetProfilingEnabled(std::int32_t on) { profiling_enabled_ = on; }
  int ActivePage() const { return active_; }

  // For the pages.
  PanelView& View() { return *view_; }
  const SettingsBlock& Settings() const { return ctx_.settings; }
  PanelInstrument& Instrument() { return ctx_.instrument; }
  PanelProfiling& Profiling() { return ctx_.profiling; }
  CalibrationLimits& Limits() { return ctx_.limits; }
  // A message box with the caption "VK605": the host's when it handles message boxes, else the toolkit's.
  int ShowMessage(const std::string& text, unsigned type);

  CStatusPage& StatusPage() { return status_; }
  CCalibrationPage& CalibrationPage() { return calibration_; }

 private:
  void Activate(int page);

  CStatusPage status_;
  CCalibrationPage calibration_;
  PanelContext ctx_;
  std::int32_t profiling_enabled_;
  PanelView* view_ = nullptr;
  int active_ = -1;
  bool created_[2] = {false, false};
};

// The body of ControlPanel: one panel at a time, run modally by the toolkit.
class ControlPanelHost {
 public:
  explicit ControlPanelHost(PanelToolkit& toolkit) : toolkit_(toolkit) {}

  // IDOK or IDCANCEL; -1 when a panel is open already (that one comes to the front) or when the
  // sheet cannot be created (after message 101). CalveraEnabled takes the sheet's switch on OK and
  // on Cancel.
  int Run(PanelContext context);

 private:
  PanelToolkit& toolkit_;
  std::mutex mutex_;
  bool open_ = false;
};

}  // namespace vk605
