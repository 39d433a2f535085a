// Start-up, bookkeeping, measurement, calibration, status and identification exports.
#include <cstring>

#include "api/runtime.h"
#include "engine/result_code.h"
#include "platform/module_info.h"
#include "vk605/vk605.h"

using namespace vk605;

namespace {
HostState& Host() {
  return Services().state.host;
}
}  // namespace

extern "C" {

int VK605_CALL InitializeDriver(void) {
  return Guarded(0, [] { return Measurements().InitializeDriver(); });
}

int VK605_CALL StoreDriverInstance(int value) {
  Host().DriverInstance = value;
  return 0;
}
int VK605_CALL GetDriverInstance(void) {
  return Host().DriverInstance;
}
int VK605_CALL IncrementReferenceCount(void) {
  ++Host().ReferenceCount;
  return 0;
}
int VK605_CALL DecrementReferenceCount(void) {
  --Host().ReferenceCount;
  return 0;
}
int VK605_CALL GetReferenceCount(void) {
  return Host().ReferenceCount;
}

int VK605_CALL SetLanguage(const char* text) {
  CopyField(Host().Language, text);
  return 0;
}
int VK605_CALL GetLanguage(char* out) {
  if (out != nullptr) std::strcpy(out, Host().Language);
  return 0;
}

int VK605_CALL InstrumentTranslationTarget(void** module, void** loaders) {
  if (module != nullptr) *module = ModuleHandle();
  if (loaders != nullptr) ResourceLoaders(loaders);
  return 0;
}

int VK605_CALL PerformMeasurement(double* spectra) {
  return Guarded(result::kFailedToMeasure, [&] { return Measurements().Measure(8, spectra, nullptr); });
}
int VK605_CALL PerformTriggerMeasurement(double* spectra, int options) {
  return Guarded(result::kTriggerAborted, [&] { return Measurements().Measure(37, spectra, &options); });
}
int VK605_CALL PerformRemoteMeasurement(double* spectra) {
  return Guarded(result::kTriggerAborted, [&] { return Measurements().Measure(37, spectra, nullptr); });
}
int VK605_CALL PerformMeasurement_SCI_SCE(double* spectra, char* status) {
  return Guarded(result::kFeatureNotSupported,
                 [&] { return Measurements().MeasureTwoChannels(127, spectra, nullptr, status); });
}
int VK605_CALL PerformTriggerMeasurement_SCI_SCE(double* spectra, int options) {
  return Guarded(result::kFeatureNotSupported,
                 [&] { return Measurements().MeasureTwoChannels(128, spectra, &options, nullptr); });
}
int VK605_CALL PerformGlossMeasurement(double*, char*, int) {
  return Guarded(-1, [] { return Measurements().MeasureGloss(); });
}
int VK605_CALL PerformRemoteGlossMeasurement(double*, char*, int) {
  return Guarded(-1, [] { return Measurements().MeasureGloss(); });
}
int VK605_CALL PerformCalibration(void) {
  return Guarded(0, [] { return Measurements().PerformCalibration(); });
}
int VK605_CALL PerformWhiteCalibration(void) {
  return Guarded(0, [] { return Measurements().RunCode(123); });
}
int VK605_CALL PerformBlackCalibration(void) {
  return Guarded(0, [] { return Measurements().RunCode(22); });
}
int VK605_CALL GetCalibrationStatus(char* out) {
  return Guarded(0, [&] { return Measurements().GetCalibrationStatus(out); });
}
int VK605_CALL GetInstrumentStatus(char* out) {
  return Guarded(0, [&] { return Measurements().GetInstrumentStatus(out); });
}
int VK605_CALL GetMeasurementStatus(char* out) {
  return Guarded(0, [&] { return Measurements().GetMeasurementStatus(out); });
}
int VK605_CALL GetCurrentStatus(char* out) {
  return Guarded(0, [&] { return Measurements().GetCurrentStatus(out); });
}
int VK605_CALL GetSerialNumber(char* out) {
  return Guarded(result::kLinkFailure, [&] { return Measurements().GetSerialNumber(out); });
}
int VK605_CALL IsValidInstrument(void) {
  return Guarded(0, [] { return Measurements().IsValidInstrument(); });
}
int VK605_CALL GetReady(void) {
  return Guarded(0, [] { return Measurements().GetReady(); });
}
int VK605_CALL GetFirmwareVersion(char* out) {
  return Guarded(result::kLinkFailure, [&] { return Measurements().GetFirmwareVersion(out); });
}
int VK605_CALL GetDriverVersion(char* out) {
  return Guarded(result::kVersionBlockUnavailable, [&] { return Measurements().GetDriverVersion(out); });
}

unsigned int VK605_CALL ReadHead(unsigned int code, double* spectra, int* options, char* text) {
  return Guarded(2u, [&] { return Services().engine.ReadHead(code, spectra, options, text); });
}

}  // extern "C"
