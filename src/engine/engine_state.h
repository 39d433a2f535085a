#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "platform/named_mutex.h"

namespace vk605 {

inline constexpr std::size_t kTextBufferSize = 8192;

// The command engine's working state: connection flag, the two connect-created mutexes, the firmware
// version cache and the three status texts (instrument, calibration, measurement).
struct EngineState {
  std::int32_t Connected = 0;
  std::unique_ptr<NamedMutex> MeasurementMutex;
  std::unique_ptr<NamedMutex> GetDataMutex;
  char FirmwareVersion[kTextBufferSize] = {};
  char InstrumentStatus[kTextBufferSize] = {};
  char CalibrationStatus[kTextBufferSize] = {};
  char MeasurementStatus[kTextBufferSize] = {};
};

// Sets all three status texts to the start-up status "CREILL".
void ResetStatusTexts(EngineState& state);

}  // namespace vk605
