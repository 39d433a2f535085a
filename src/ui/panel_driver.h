#pragma once

#include <cstdint>
#include <string>

namespace vk605 {

// What the control panel asks of the driver; the api layer implements these over the command engine,
// the profiling client and the calibration record.

// The instrument exchanges of the status page.
class PanelInstrument {
 public:
  virtual ~PanelInstrument() = default;
  // ReadHead with command code 3; 0 on success, text then holds the firmware version.
  virtual int ReadVersion(std::string& text) = 0;
  // The serial-number exchange; empty when the instrument does not answer.
  virtual std::string QuerySerialNumber() = 0;
};

// The status page's own profiling client.
class PanelProfiling {
 public:
  virtual ~PanelProfiling() = default;
  virtual int Open(const std::string& serial_number) = 0;
  virtual int Close() = 0;
  virtual int IsComponentRunning() = 0;
  virtual int IsProfileLoaded() = 0;
};

// The calibration-expiry record as the calibration page edits it.
class CalibrationLimits {
 public:
  virtual ~CalibrationLimits() = default;
  virtual void ReadLimits(std::int32_t& hours, std::int32_t& minutes, std::int32_t& limit) = 0;
  virtual std::int32_t IsTimeRuleOn() = 0;
  virtual std::int32_t IsCountRuleOn() = 0;
  virtual void SetLimits(std::int32_t hours, std::int32_t minutes, std::int32_t limit) = 0;
  // A span of days (fractions are the time of day).
  virtual void ApplySpan(double days) = 0;
  virtual void SetTimeRule(std::int32_t on) = 0;
  virtual void SetCountRule(std::int32_t on) = 0;
  virtual void Save() = 0;
};

}  // namespace vk605
