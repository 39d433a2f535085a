#pragma once

#include <cstdint>

#include "engine/engine_context.h"
#include "engine/trigger_measurement.h"

namespace vk605 {

// Command codes the driver's own exports pass to ReadHead.
namespace code {
inline constexpr unsigned kInit = 0;
inline constexpr unsigned kReset = 1;
inline constexpr unsigned kStatus = 2;
inline constexpr unsigned kVersion = 3;
inline constexpr unsigned kReflect = 4;
inline constexpr unsigned kReflectAlternate = 5;
inline constexpr unsigned kCalibrate = 6;
inline constexpr unsigned kCalibrateAlternate = 7;
inline constexpr unsigned kMeasure = 8;
inline constexpr unsigned kReopenPort = 10;
inline constexpr unsigned kClose = 19;
inline constexpr unsigned kBlackCalibration = 22;
inline constexpr unsigned kUvCheck = 26;
inline constexpr unsigned kColdReset = 29;
inline constexpr unsigned kHeadSync = 32;
inline constexpr unsigned kModeTwo = 36;
inline constexpr unsigned kTrigger = 37;
inline constexpr unsigned kWavelengthInterval = 38;
inline constexpr unsigned kSpecularIncluded = 49;
inline constexpr unsigned kSpecularExcluded = 50;
inline constexpr unsigned kUvIncluded = 67;
inline constexpr unsigned kUvExcluded = 68;
inline constexpr unsigned kPreMeasureCheck = 86;
inline constexpr unsigned kInstrumentStatus = 89;
inline constexpr unsigned kSetApertureSize = 117;
inline constexpr unsigned kSetLensSize = 119;
inline constexpr unsigned kWhiteCalibration = 123;
inline constexpr unsigned kSpecularPartial = 126;
inline constexpr unsigned kMeasureSciSce = 127;
inline constexpr unsigned kTriggerSciSce = 128;
}  // namespace code

// The one entry through which every instrument operation passes: connect on demand, log the command's
// name, run its sequence, copy its text into the caller's buffer.
class CommandEngine {
 public:
  explicit CommandEngine(EngineContext context) : ctx_(context) {}

  // text may be null: then nothing is copied.
  unsigned ReadHead(unsigned command_code, double* spectra, int* options, char* text);

  EngineContext& Context() { return ctx_; }
  // Cancels the exchanges of trigger workers left running by an abort, then waits for them (unload).
  void JoinWorkers() { workers_.JoinAll(); }
  void CancelWorkers() { workers_.CancelAll(); }

 private:
  int Dispatch(unsigned command_code, double* spectra, int* options, char* text, int provisional);
  int Measure(double* spectra, char* text, int provisional);
  int Trigger(double* spectra, int* options, char* text, int provisional);
  // Marks both status texts uncalibrated and copies the instrument status when the calibration expired.
  bool ExpiredBeforeMeasuring(char* text);
  int CalibrateOnRequest(const char* completion_message);
  int Close(char* text);
  void Log(const char* line) { ctx_.log.LogLine(line); }

  EngineContext ctx_;
  TriggerWorkers workers_;
};

}  // namespace vk605
