#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "fakes/fake_clock.h"
#include "fakes/fake_panel_view.h"
#include "fakes/fake_user_interface.h"
#include "settings/settings_block.h"
#include "ui/control_panel.h"

namespace vk605::testing {

// The instrument as the status page asks it, with a record of each exchange.
class FakePanelInstrument : public PanelInstrument {
 public:
  int ReadVersion(std::string& text) override {
    calls.push_back("version");
    if (version_result == 0) text = version;
    return version_result;
  }
  std::string QuerySerialNumber() override {
    calls.push_back("serial");
    return serial;
  }
  int version_result = 0;
  std::string version = "VK605 V2.14";
  std::string serial = "40123";
  std::vector<std::string> calls;
};

class FakePanelProfiling : public PanelProfiling {
 public:
  int Open(const std::string& serial_number) override {
    calls.push_back("open " + serial_number);
    return loaded ? 0 : 401;
  }
  int Close() override {
    calls.push_back("close");
    return 0;
  }
  int IsComponentRunning() override { return running; }
  int IsProfileLoaded() override { return loaded; }
  int running = 1;
  int loaded = 1;
  std::vector<std::string> calls;
};

// The calibration record: the values it hands out and every call in order.
class FakeCalibrationLimits : public CalibrationLimits {
 public:
  void ReadLimits(std::int32_t& h, std::int32_t& m, std::int32_t& l) override {
    calls.push_back("ReadLimits");
    h = hours;
    m = minutes;
    l = limit;
  }
  std::int32_t IsTimeRuleOn() override { return time_rule; }
  std::int32_t IsCountRuleOn() override { return count_rule; }
  void SetLimits(std::int32_t h, std::int32_t m, std::int32_t l) override {
    calls.push_back("SetLimits " + std::to_string(h) + " " + std::to_string(m) + " " + std::to_string(l));
  }
  void ApplySpan(double days) override {
    span_days = days;
    calls.push_back("ApplySpan");
  }
  void SetTimeRule(std::int32_t on) override { calls.push_back("SetTimeRule " + std::to_string(on)); }
  void SetCountRule(std::int32_t on) override { calls.push_back("SetCountRule " + std::to_string(on)); }
  void Save() override { calls.push_back("Save"); }
  std::int32_t hours = 4;
  std::int32_t minutes = 0;
  std::int32_t limit = 250;
  std::int32_t time_rule = 1;
  std::int32_t count_rule = 1;
  double span_days = -1;
  std::vector<std::string> calls;
};

// One control panel over fakes: settings with communications established, a profile loaded.
struct PanelRig {
  PanelRig() {
    settings.Communications = 1;
    settings.CalveraEnabled = 1;
    std::snprintf(settings.SerialNumber, sizeof(settings.SerialNumber), "%s", "VK40123");
  }
  PanelContext Context() { return PanelContext{settings, instrument, profiling, limits, ui}; }

  FakeClock clock;
  FakePanelView view{clock};
  SettingsBlock settings{};
  FakePanelInstrument instrument;
  FakePanelProfiling profiling;
  FakeCalibrationLimits limits;
  FakeUserInterface ui;
};

}  // namespace vk605::testing
