// Configuration, identity, wavelength-grid, option, host-held value and capability exports.
#include <cstring>

#include "api/runtime.h"
#include "engine/result_code.h"
#include "settings/shared_flag.h"
#include "vk605/vk605.h"

using namespace vk605;

namespace {
SettingsBlock& S() {
  return Services().state.settings;
}

int CopyOut(char* out, const char* text) {
  if (out != nullptr) std::strcpy(out, text);
  return 0;
}
}  // namespace

extern "C" {

int VK605_CALL GetPort(char* out) {
  return CopyOut(out, S().Port);
}
int VK605_CALL SetPort(const char* name) {
  return Guarded(0, [&] { return Configuration().SetPort(name); });
}
int VK605_CALL GetBaudRate(void) {
  return S().BaudRate;
}
int VK605_CALL GetDefaultBaudRate(void) {
  return S().DefaultBaudRate;
}
int VK605_CALL SetBaudRate(int rate) {
  return Guarded(0, [&] { return Configuration().SetBaudRate(rate); });
}
int VK605_CALL GetParity(void) {
  return S().Parity;
}
int VK605_CALL SetParity(char digit) {
  return Guarded(0, [&] { return Configuration().SetParity(digit); });
}
int VK605_CALL GetStopBits(void) {
  return S().StopBits;
}
int VK605_CALL SetStopBits(char digit) {
  return Guarded(0, [&] { return Configuration().SetStopBits(digit); });
}
int VK605_CALL GetByteSize(void) {
  return S().ByteSize;
}
int VK605_CALL SetByteSize(char digit) {
  return Guarded(0, [&] { return Configuration().SetByteSize(digit); });
}
int VK605_CALL GetCommPortType(void) {
  return S().CommPortType;
}
int VK605_CALL IsRS232Supported(void) {
  return (S().CommPortType & 1) != 0 ? 1 : 0;
}
int VK605_CALL IsUSBSupported(void) {
  return (S().CommPortType & 2) != 0 ? 1 : 0;
}
int VK605_CALL IsParallelSupported(void) {
  return (S().CommPortType & 4) != 0 ? 1 : 0;
}
int VK605_CALL IsEtherNetSupported(void) {
  return (S().CommPortType & 8) != 0 ? 1 : 0;
}
int VK605_CALL GetCommunications(void) {
  return Guarded(0, [] { return Configuration().GetCommunications(); });
}
int VK605_CALL SetCommunications(int value) {
  S().Communications = value;
  return 0;
}

int VK605_CALL GetEmulationName(char* out) {
  return CopyOut(out, S().EmulationName);
}
int VK605_CALL GetInstrumentName(char* out) {
  return CopyOut(out, S().InstrumentName);
}
int VK605_CALL GetDriverRevision(void) {
  return S().DriverRevision;
}
int VK605_CALL GetStatusLength(void) {
  return S().StatusLength;
}
int VK605_CALL GetStartingWavelength(void) {
  return S().StartingWavelength;
}
int VK605_CALL GetEndingWavelength(void) {
  return S().EndingWavelength;
}
int VK605_CALL GetWavelengthInterval(void) {
  return S().WavelengthInterval;
}
int VK605_CALL GetWavelengthCount(void) {
  return S().WavelengthCount;
}
int VK605_CALL GetVisibleCount(void) {
  return S().VisibleCount;
}
int VK605_CALL GetStartingVisible(void) {
  return S().StartingVisible;
}
int VK605_CALL SetWavelengthInterval(int interval) {
  return Guarded(0, [&] { return Configuration().SetWavelengthInterval(interval); });
}
int VK605_CALL GetAngleCount(void) {
  return S().AngleCount;
}
int VK605_CALL GetGeometry(void) {
  return S().Geometry;
}
int VK605_CALL GetOJReference(void) {
  return S().OJReference;
}
int VK605_CALL GetAngleLabel(int, char* out) {
  return CopyOut(out, " ");
}

int VK605_CALL GetMode(void) {
  return S().Mode;
}
int VK605_CALL SetMode(int mode) {
  return Guarded(0, [&] { return Configuration().SetMode(mode); });
}
int VK605_CALL GetSpecularComponent(void) {
  return Guarded(-1, [] { return Configuration().GetSpecularComponent(); });
}
int VK605_CALL SetSpecularComponent(int component) {
  return Guarded(result::kFeatureNotSupported,
                 [&] { return Configuration().SetSpecularComponent(component); });
}
int VK605_CALL GetSpecularComponentRequired(void) {
  return S().SpecularComponentRequired;
}
int VK605_CALL GetUVPosition(void) {
  return S().UVPosition;
}
int VK605_CALL SetUVPosition(int position) {
  return Guarded(0, [&] { return Configuration().SetUVPosition(position); });
}
int VK605_CALL SetUVIncluded(void) {
  return Guarded(0, [] { return Configuration().SetUVPosition(0); });
}
int VK605_CALL SetUVExcluded(void) {
  return Guarded(0, [] { return Configuration().SetUVPosition(1); });
}
int VK605_CALL IsUVIncluded(void) {
  return Guarded(0, [] { return Configuration().IsUVPosition(0); });
}
int VK605_CALL IsUVExcluded(void) {
  return Guarded(0, [] { return Configuration().IsUVPosition(1); });
}
int VK605_CALL IsUVPartial(void) {
  return Guarded(0, [] { return Configuration().IsUVPosition(2); });
}
int VK605_CALL GetLensSize(void) {
  return S().LensSize;
}
int VK605_CALL IsLens(int size) {
  return Guarded(0, [&] { return Configuration().IsLens(size); });
}
int VK605_CALL SetLensSize(int) {
  return 0;
}
int VK605_CALL SetApertureSize(int) {
  return 0;
}
int VK605_CALL GetApertureSize(void) {
  return LoadFlag(S().ApertureSize);
}
int VK605_CALL IsAperture(int size) {
  return Guarded(0, [&] { return Configuration().IsAperture(size); });
}
int VK605_CALL GetMeasurementMode(void) {
  return S().MeasurementMode;
}
int VK605_CALL SetMeasurementMode(int mode) {
  S().MeasurementMode = mode;
  return 0;
}
int VK605_CALL GetVSAVMode(void) {
  return LoadFlag(S().VSAVMode);
}
int VK605_CALL SetVSAVMode(int mode) {
  StoreFlag(S().VSAVMode, mode);
  return 0;
}
int VK605_CALL GetTriggerMode(void) {
  return S().TriggerMode;
}
int VK605_CALL SetTriggerMode(int mode) {
  S().TriggerMode = mode;
  return 0;
}
int VK605_CALL GetReferenceFlashInterval(int index) {
  return Configuration().GetReferenceFlashInterval(index);
}
int VK605_CALL SetReferenceFlashInterval(int index, int interval) {
  return Configuration().SetReferenceFlashInterval(index, interval);
}
int VK605_CALL GetEmulationMode(void) {
  return S().EmulationMode;
}
int VK605_CALL SetEmulationMode(int mode) {
  return Guarded(0, [&] { return Configuration().SetEmulationMode(mode); });
}

int VK605_CALL GetInitialization(void) {
  return S().Initialization;
}
int VK605_CALL SetInitialization(int value) {
  S().Initialization = value;
  return 0;
}
int VK605_CALL GetCalibrationRequestState(void) {
  return S().CalibrationRequestState;
}
int VK605_CALL SetCalibrationRequestState(int value) {
  S().CalibrationRequestState = value;
  return 0;
}
int VK605_CALL GetAsymmetricalTolerancesState(void) {
  return S().AsymmetricalTolerancesState;
}
int VK605_CALL SetAsymmetricalTolerancesState(int value) {
  S().AsymmetricalTolerancesState = value;
  return 0;
}
int VK605_CALL GetSpare3(void) {
  return S().Spare3;
}
int VK605_CALL SetSpare3(int value) {
  S().Spare3 = value;
  return 0;
}
int VK605_CALL GetSpare4(void) {
  return S().Spare4;
}
int VK605_CALL SetSpare4(int value) {
  S().Spare4 = value;
  return 0;
}
int VK605_CALL GetDownloadMode(void) {
  return S().DownloadMode;
}
int VK605_CALL SetDownloadMode(int value) {
  S().DownloadMode = value;
  return 0;
}
int VK605_CALL GetUploadMode(void) {
  return S().UploadMode;
}
int VK605_CALL SetUploadMode(int value) {
  S().UploadMode = value;
  return 0;
}
int VK605_CALL GetOverride(void) {
  return S().Override;
}
int VK605_CALL SetOverride(int value) {
  S().Override = value;
  return 0;
}
int VK605_CALL SetReady(int value) {
  S().Ready = value;
  return 0;
}
int VK605_CALL GetHalt(void) {
  return S().Halt;
}
int VK605_CALL SetHalt(void) {
  S().Halt = 1;
  return 0;
}

int VK605_CALL ReflectanceSupported(void) {
  return S().ReflectanceSupported;
}
int VK605_CALL TransmissionSupported(void) {
  return S().TransmissionSupported;
}
int VK605_CALL ReflectanceTransmissionSupported(void) {
  return S().ReflectanceTransmissionSupported;
}
int VK605_CALL SCESupported(void) {
  return S().SCESupported;
}
int VK605_CALL SCISupported(void) {
  return S().SCISupported;
}
int VK605_CALL SCISCESupported(void) {
  return S().SCISCESupported;
}
int VK605_CALL OverLightOverDarkSupported(void) {
  return S().OverLightOverDarkSupported;
}
int VK605_CALL APHASupported(void) {
  return S().APHASupported;
}
int VK605_CALL HazeSupported(void) {
  return S().HazeSupported;
}
int VK605_CALL OJSupported(void) {
  return S().OJSupported;
}
int VK605_CALL GlossSupported(void) {
  return S().GlossSupported;
}
int VK605_CALL WorklistSupported(void) {
  return S().WorklistSupported;
}
int VK605_CALL AssessmentsSupported(void) {
  return S().AssessmentsSupported;
}
int VK605_CALL CalibrationFailureModeSupported(void) {
  return S().CalibrationFailureModeSupported;
}
int VK605_CALL Calibrated(void) {
  return S().Calibrated;
}
int VK605_CALL IsLightLevelTestSupported(void) {
  return S().LightLevelTestSupported;
}
int VK605_CALL IsTranslucencyCorrectionRequired(void) {
  return S().TranslucencyCorrectionRequired;
}

}  // extern "C"
