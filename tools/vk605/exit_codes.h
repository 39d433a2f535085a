#pragma once

namespace vk605::tool {

// Exit statuses of the vk605 program. They are part of its interface (scripts test them), so values never
// change meaning; new ones are only added.
enum class ExitCode : int {
  kOk = 0,
  kFailure = 1,             // the driver reported another failure (measurement refused, file not written...)
  kUsage = 2,               // bad command line
  kNoInstrument = 3,        // the port cannot be opened or no instrument answers on it
  kNotCalibrated = 4,       // the instrument is uncalibrated (calibration declined or cancelled)
  kCalibrationExpired = 5,  // the calibration has expired (time or measurement-count limit)
  kAborted = 6,             // a triggered measurement was aborted or ended without a result
  kDriverUnavailable = 7,   // the driver library or the simulator cannot be loaded or started
  kNotWritten = 8,          // readings were taken but a file could not be written (they are printed instead)
  kInterrupted = 130,       // Ctrl-C at a prompt: the prompt was cancelled and the driver unloaded
};

inline int ToInt(ExitCode code) {
  return static_cast<int>(code);
}

}  // namespace vk605::tool
