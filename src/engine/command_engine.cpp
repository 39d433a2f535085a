#include "engine/command_engine.h"

#include <cstring>

#include "engine/calibration.h"
#include "engine/connection.h"
#include "engine/engine_state.h"
#include "engine/measurement.h"
#include "engine/result_code.h"
#include "engine/vk605_instrument.h"
#include "settings/shared_flag.h"
#include "ui/driver_strings.h"

namespace vk605 {
namespace {

// Holds a connect-created mutex for the measurement commands; without one (never connected) the
// command runs unserialised, as it always did.
class OptionalMutexLock {
 public:
  explicit OptionalMutexLock(NamedMutex* mutex) : mutex_(mutex) {
    if (mutex_ != nullptr && !mutex_->Lock()) mutex_ = nullptr;
  }
  ~OptionalMutexLock() {
    if (mutex_ != nullptr) mutex_->Unlock();
  }
  OptionalMutexLock(const OptionalMutexLock&) = delete;
  OptionalMutexLock& operator=(const OptionalMutexLock&) = delete;

 private:
  NamedMutex* mutex_;
};

bool NeedsConnect(unsigned command_code) {
  return command_code != code::kInit && command_code != code::kReopenPort && command_code != code::kClose;
}

}  // namespace

unsigned CommandEngine::ReadHead(unsigned command_code, double* spectra, int* options, char* text) {
  Vk605Instrument instrument(ctx_);
  int result = 0;
  if (ctx_.settings.EmulationMode == 0 && LoadFlag(ctx_.state.Connected) == 0 && NeedsConnect(command_code)) {
    result = instrument.Connect(text);
  }
  result = Dispatch(command_code, spectra, options, text, result);
  StoreFlag(ctx_.settings.VSAVMode, 0);
  return static_cast<unsigned>(result);
}

int CommandEngine::Dispatch(unsigned command_code, double* spectra, int* options, char* text,
                            int provisional) {
  EngineState& state = ctx_.state;
  Connection connection(ctx_);
  switch (command_code) {
    case code::kInit:
      Log("COMM_INIT");
      if (LoadFlag(state.Connected) != 0) {
        CopyText(text, ctx_.settings.SerialNumber);
        return provisional;
      }
      if (text == nullptr) return provisional;
      return Vk605Instrument(ctx_).Connect(text);
    case code::kReset:
      Log("COMM_RESET");
      return connection.ResetInstrument(text);
    case code::kStatus:
      Log("COMM_STATUS");
      connection.RefreshStatus(state.InstrumentStatus);
      CopyTextTo(state, state.InstrumentStatus, text);
      return provisional;
    case code::kVersion:
      if (LoadText(state, state.FirmwareVersion).empty()) {
        Log("COMM_VERSION");
        return connection.QueryVersion(text);
      }
      CopyTextTo(state, state.FirmwareVersion, text);
      return provisional;
    case code::kReflect:
    case code::kReflectAlternate:
    case 20:
    case 88:
      Log("COMM_REFLECT");
      CopyTextTo(state, state.CalibrationStatus, text);
      return provisional;
    case code::kCalibrate:
    case code::kCalibrateAlternate:
    case code::kWhiteCalibration:
      Log("COMM_WHITECAL");
      RunCalibration(ctx_, state.CalibrationStatus);
      return provisional;
    case code::kMeasure:
      Log("COMM_MEASURE");
      return Measure(spectra, text, provisional);
    case code::kReopenPort:
      if (ctx_.settings.Communications == 1) {
        ctx_.channel.ClosePort();
        connection.ConfigurePort();
        CopyTextTo(state, state.InstrumentStatus, text);
      }
      return 0;
    case code::kClose:
      return Close(text);
    case code::kUvCheck: {
      Log("COMM_UVCHECK");
      // Only a text at least four characters long has an index 3 to look at; the host's text need not be
      // terminated, so nothing past index 3 is read.
      bool uv = text != nullptr;
      for (int i = 0; uv && i < 3; ++i) uv = text[i] != '\0';
      uv = uv && text[3] == '1';
      return uv ? 1 : 0;
    }
    case code::kColdReset:
      Log("COMM_COLDRESET");
      return ctx_.settings.EmulationMode != 0 ? 0 : connection.ResetInstrument(text);
    case code::kHeadSync:
      Log("COMM_HEADSYNC");
      return provisional;
    case code::kTrigger:
      Log("COMM_TRIGGER");
      return Trigger(spectra, options, text, provisional);
    case code::kSpecularIncluded:
    case code::kSpecularExcluded:
      // The instrument measures with the specular component excluded whichever is asked for.
      ctx_.settings.SpecularMode = 1;
      return connection.RefreshStatus(state.MeasurementStatus);
    case code::kPreMeasureCheck:
      Log("COMM_PREMEASCHECK");
      CopyTextTo(state, state.CalibrationStatus, text);
      return provisional;
    case code::kInstrumentStatus:
      Log("COMM_INSTRSTATUS");
      CopyTextTo(state, state.InstrumentStatus, text);
      return provisional;
    case code::kSetApertureSize:
      Log("COMM_SET_APERTURE_SIZE");
      return 0;
    case code::kSetLensSize:
      Log("COMM_SET_LENS_SIZE");
      return 0;
    default:
      Log("UNSUPPORTED_COMMAND");
      CopyTextTo(state, state.InstrumentStatus, text);
      return 0;
  }
}

bool CommandEngine::ExpiredBeforeMeasuring(char* text) {
  if (ctx_.validity.IsExpired(ctx_.expiry) == 0) return false;
  MarkUncalibrated(ctx_.state);
  CopyTextTo(ctx_.state, ctx_.state.InstrumentStatus, text);
  return true;
}

int CommandEngine::CalibrateOnRequest(const char* completion_message) {
  int answer = ctx_.ui.MessageBox(text::kUncalibratedPrompt, kDriverCaption, kMbYesNo | kMbIconQuestion);
  if (answer != kIdYes) return result::kUncalibrated;
  int result = RunCalibration(ctx_, ctx_.state.CalibrationStatus);
  if (result != 0) return result;
  StoreText(ctx_.state, ctx_.state.InstrumentStatus,
            LoadText(ctx_.state, ctx_.state.CalibrationStatus).c_str());
  ctx_.ui.MessageBox(completion_message, kDriverCaption, kMbOk);
  return 0;
}

int CommandEngine::Measure(double* spectra, char* text, int provisional) {
  OptionalMutexLock lock(ctx_.state.MeasurementMutex.get());
  if (ExpiredBeforeMeasuring(text)) return provisional;
  Connection connection(ctx_);
  int result = connection.RefreshStatus(ctx_.state.InstrumentStatus);
  if (result != 0) return result;
  if (IsUncalibrated(ctx_.state, ctx_.state.InstrumentStatus)) {
    result = CalibrateOnRequest(text::kCalibrationCompleteMeasure);
    if (result != 0) return result;
  }
  result = MeasureSpectrum(ctx_, text, spectra);
  if (result != 0) return result;
  result = connection.RefreshStatus(ctx_.state.MeasurementStatus);
  CopyTextTo(ctx_.state, ctx_.state.MeasurementStatus, text);
  return result;
}

int CommandEngine::Trigger(double* spectra, int* options, char* text, int provisional) {
  OptionalMutexLock lock(ctx_.state.MeasurementMutex.get());
  if (ExpiredBeforeMeasuring(text)) return provisional;
  Connection connection(ctx_);
  // Unlike a plain measurement, the trigger goes ahead even when calibration is declined or fails: the
  // operator is already at the instrument.
  if (connection.RefreshStatus(ctx_.state.InstrumentStatus) == 0 &&
      IsUncalibrated(ctx_.state, ctx_.state.InstrumentStatus)) {
    CalibrateOnRequest(text::kCalibrationCompleteTrigger);
  }
  return TriggerMeasurement(ctx_, workers_, options, spectra, text);
}

int CommandEngine::Close(char* text) {
  Log("COMM_CLOSE");
  Connection connection(ctx_);
  connection.ResetInstrument(text);
  ctx_.channel.ClosePort();
  ctx_.state.GetDataMutex.reset();
  ctx_.state.MeasurementMutex.reset();
  StoreFlag(ctx_.state.Connected, 0);
  // The instrument needs two seconds after the reset before the port may be opened again.
  ctx_.clock.WaitMs(2000);
  return 0;
}

}  // namespace vk605
