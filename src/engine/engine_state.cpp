#include "engine/engine_state.h"

#include <cstring>

namespace vk605 {

void ResetStatusTexts(EngineState& state) {
  std::strcpy(state.InstrumentStatus, "CREILL");
  std::strcpy(state.CalibrationStatus, "CREILL");
  std::strcpy(state.MeasurementStatus, "CREILL");
}

}  // namespace vk605
