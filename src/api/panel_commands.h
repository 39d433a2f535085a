#pragma once

#include <string>

#include "api/driver_services.h"
#include "api/profiling_adapters.h"
#include "profiling/profiling_client.h"
#include "ui/control_panel.h"
#include "ui/panel_driver.h"

namespace vk605 {

// The status page's instrument exchanges through the command engine.
class EnginePanelInstrument : public PanelInstrument {
 public:
  explicit EnginePanelInstrument(CommandEngine& engine) : engine_(engine) {}
  int ReadVersion(std::string& text) override;
  std::string QuerySerialNumber() override;

 private:
  CommandEngine& engine_;
};

// The status page's profiling client.
class ClientPanelProfiling : public PanelProfiling {
 public:
  explicit ClientPanelProfiling(DriverServices& s)
      : alerts_(s.ui), client_(s.components, s.registry, alerts_) {}
  int Open(const std::string& serial_number) override { return client_.Open(serial_number); }
  int Close() override { return client_.Close(); }
  int IsComponentRunning() override { return client_.IsComponentRunning(); }
  int IsProfileLoaded() override { return client_.IsProfileLoaded(); }

 private:
  UiProfilingAlerts alerts_;
  ProfilingClient client_;
};

// The calibration page's limits in the driver's calibration record.
class ValidityLimits : public CalibrationLimits {
 public:
  explicit ValidityLimits(CalibrationValidity& validity) : validity_(validity) {}
  void ReadLimits(std::int32_t& hours, std::int32_t& minutes, std::int32_t& limit) override {
    validity_.ReadLimits(&hours, &minutes, &limit);
  }
  std::int32_t IsTimeRuleOn() override { return validity_.IsTimeRuleOn(); }
  std::int32_t IsCountRuleOn() override { return validity_.IsCountRuleOn(); }
  void SetLimits(std::int32_t hours, std::int32_t minutes, std::int32_t limit) override {
    validity_.SetLimits(hours, minutes, limit);
  }
  void ApplySpan(double days) override { validity_.ApplySpan(days); }
  void SetTimeRule(std::int32_t on) override { validity_.SetTimeRule(on); }
  void SetCountRule(std::int32_t on) override { validity_.SetCountRule(on); }
  void Save() override { validity_.Save(); }

 private:
  CalibrationValidity& validity_;
};

// Body of ControlPanel.
int RunControlPanel(DriverServices& s, ControlPanelHost& host);

}  // namespace vk605
