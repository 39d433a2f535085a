#pragma once

#include "engine/engine_context.h"

namespace vk605 {

// The calibration sequence: calibration mode, the operator prompt until the instrument reports itself
// calibrated or the operator cancels, then measuring mode again. status receives each status refresh.
// 0, 101 when cancelled while uncalibrated, or the first failed exchange's result.
int RunCalibration(EngineContext& context, StateText& status);

}  // namespace vk605
