#pragma once

#include <cstdint>

namespace vk605 {

// The settings-and-capabilities block: one contiguous record, zero-filled at start-up before the defaults
// are applied. Text fields are zero-terminated with the capacity shown (terminator included).
struct SettingsBlock {
  char EmulationName[20];
  char InstrumentName[20];
  char Port[20];
  std::uint8_t ByteSize;
  std::uint8_t Parity;    // 0 none, 1 odd, 2 even
  std::uint8_t StopBits;  // 0 one, 1 one and a half, 2 two
  std::int32_t BaudRate;
  std::int32_t DefaultBaudRate;
  std::int32_t CommPortType;  // 1 serial, 2 USB
  std::int32_t ApertureSize;  // 0 large, 2 small
  std::int32_t DownloadMode;
  std::int32_t DriverRevision;
  std::int32_t Geometry;
  std::int32_t TriggerMode;
  std::int32_t LensSize;
  std::int32_t MeasurementMode;
  std::int32_t Mode;  // measurement mode passed to profiling: 0 reflectance, 1 transmission
  std::int32_t AngleCount;
  std::int32_t WavelengthCount;
  std::int32_t VisibleCount;
  std::int32_t OJReference;
  std::int32_t StartingVisible;
  std::int32_t EndingWavelength;
  std::int32_t WavelengthInterval;
  std::int32_t StartingWavelength;
  std::int32_t ReferenceFlashInterval[2];
  char SerialNumber[40];  // ModelPrefix followed by the instrument's serial line
  char ModelPrefix[40];
  std::int32_t SpecularMode;  // 1 = specular component excluded
  std::int32_t StatusLength;
  std::int32_t UploadMode;
  std::int32_t UVPosition;  // 0 included, 1 excluded, 2 partial
  std::int32_t VSAVMode;    // one-call flag, cleared by every ReadHead call
  std::int32_t APHASupported;
  std::int32_t AsymmetricalTolerancesState;
  std::int32_t Calibrated;
  std::int32_t Communications;
  std::int32_t CalibrationRequestState;
  std::int32_t EmulationMode;
  std::int32_t Halt;
  std::int32_t Initialization;
  std::int32_t Override;
  std::int32_t Ready;
  std::int32_t SpecularComponentRequired;
  std::int32_t AssessmentsSupported;
  std::int32_t CalibrationFailureModeSupported;
  std::int32_t HazeSupported;
  std::int32_t OJSupported;
  std::int32_t ReflectanceSupported;
  std::int32_t TransmissionSupported;
  std::int32_t ReflectanceTransmissionSupported;
  std::int32_t OverLightOverDarkSupported;
  std::int32_t SCISCESupported;
  std::int32_t GlossSupported;
  std::int32_t SCESupported;
  std::int32_t SCISupported;
  std::int32_t WorklistSupported;
  std::int32_t CalveraID;
  std::int32_t CalveraEnabled;
  std::int32_t LightLevelTestSupported;
  std::int32_t TranslucencyCorrectionRequired;
  std::int32_t Spare3;
  std::int32_t Spare4;
  std::int32_t HoldPortOpen;
};

// Zero-fills the block and writes every built-in default.
void ApplyDefaults(SettingsBlock& block);

// Copies text into a fixed field, truncating so that the terminator always fits.
template <std::size_t N>
void CopyField(char (&field)[N], const char* text);

// True when text (null counts as empty) fits into the field with its terminator, so that CopyField
// would keep all of it. Reads no more of text than the field holds.
template <std::size_t N>
bool FitsField(const char (&field)[N], const char* text);

}  // namespace vk605

#include "settings/settings_block_inl.h"
