#pragma once

#include "api/driver_services.h"

namespace vk605 {

// Bodies of the measurement, calibration, status and identification exports.
class MeasurementCommands {
 public:
  explicit MeasurementCommands(DriverServices& services) : s_(services) {}

  int InitializeDriver();
  // PerformMeasurement (code 8) and the triggered measurements (code 37): expiry check, ReadHead,
  // counting, profiling, post-processing.
  int Measure(unsigned command_code, double* spectra, int* options);
  // The two-channel exports: this model measures nothing for codes 127 and 128, so they answer 1023
  // after the expiry check and their ReadHead call.
  int MeasureTwoChannels(unsigned command_code, double* spectra, int* options, char* status);
  int MeasureGloss();
  int PerformCalibration();
  int RunCode(unsigned command_code);
  int GetCalibrationStatus(char* out);
  int GetInstrumentStatus(char* out);
  int GetMeasurementStatus(char* out);
  int GetCurrentStatus(char* out);
  int GetSerialNumber(char* out);
  int IsValidInstrument();
  int GetReady();
  int GetFirmwareVersion(char* out);
  int GetDriverVersion(char* out);

 private:
  DriverServices& s_;
};

}  // namespace vk605
